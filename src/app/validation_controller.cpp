#include "app/validation_controller.h"

#include <string>
#include <utility>
#include <vector>

#include "app/window_events.h"
#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "text/text_util.h"

namespace lumvex {

ValidationController::ValidationController(MainWindowState& state, ProxyList& list,
                                           WorkerPool& pool, http::FetchClient& fetcher,
                                           CheckTarget target)
    : state_(state),
      list_(list),
      run_(pool, fetcher, std::move(target),
           // Each row shows its check as it goes; the tick counts the verdicts.
           ValidationRun::Events{[list = &list](int row) {
                                   list->SetCheckState(row, CheckState{CheckStatus::kRunningPool});
                                 },
                                 [list = &list](int row, const CheckState& state) {
                                   list->SetCheckState(row, state);
                                 }}) {}

void ValidationController::SetSystemProxyOff(std::function<void()> hook) {
  system_proxy_off_ = std::move(hook);
}

int ValidationController::ThreadCountOf(const std::string& text) {
  const int count = text::AtoI(text);
  return count == 0 ? kDefaultThreads : count;
}

void ValidationController::SetTick(bool on) {
  tick_on_ = on;
  state_.SetValue(control::kTimer, on ? kTickMs : 0);
}

void ValidationController::StartValidation() {
  if (system_proxy_off_) system_proxy_off_();
  Announce(state_, WindowEvent::kValidationStarted);
  SetTick(true);

  // One step on the UI thread: no other list operation can come between reading the rows.
  const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
  if (rows.empty()) return;
  run_.Start(rows, ThreadCountOf(state_.Text(Field::kThreadCount)));
}

void ValidationController::ValidationTick() {
  if (!tick_on_) return;
  std::int64_t success = 0;
  std::int64_t failure = 0;
  const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
  for (const CompactRow& row : rows) {
    if (row.Status() == CheckStatus::kOk) {
      ++success;
    } else if (row.Status() == CheckStatus::kFailed) {
      ++failure;
    }
  }
  state_.SetCount(Counter::kSuccess, success);
  state_.SetCount(Counter::kFailure, failure);
  if (rows.empty()) return;
  // Within one tick only the last status text would be seen; it is written once, in full.
  const std::string obtained = state_.Text(Counter::kList);
  const std::string ok = text::FormatInt(success);
  const std::string failed = text::FormatInt(failure);
  if (success + failure != static_cast<std::int64_t>(rows.size())) {
    state_.SetText(control::kStatusLine, "正在验证代理IP.... 共：" + obtained + "个  验证成功：" +
                                             ok + "个  验证失败：" + failed + "个");
    return;
  }
  state_.SetText(control::kStatusLine, "代理IP验证完毕  共：" + obtained + "  可用代理IP：" + ok +
                                           "  不可用代理IP：" + failed);
  EnableEditing();
  SetTick(false);
  run_.Stop();
}

void ValidationController::StopValidation() {
  Announce(state_, WindowEvent::kValidationStopped);
  SetTick(false);
  run_.Stop();
  state_.SetText(control::kStatusLine,
                 "已停止代理IP验证！  共有代理IP：" + state_.Text(Counter::kList) + "个");
}

void ValidationController::EnableEditing() { Announce(state_, WindowEvent::kValidationFinished); }

}  // namespace lumvex
