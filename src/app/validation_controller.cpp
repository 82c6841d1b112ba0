#include "app/validation_controller.h"

#include <string>
#include <utility>
#include <vector>

#include "app/window_events.h"
#include "proxylist/proxy_entry.h"
#include "text/text_util.h"
#include "validate/proxy_check.h"

namespace lumvex {

ValidationController::ValidationController(MainWindowState& state, ProxyList& list,
                                           WorkerPool& pool, ProxyChecker& checker)
    : state_(state), list_(list), pool_(pool), checker_(checker) {}

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
  const std::vector<ProxyEntry>& rows = list_.RowsOnUiThread();
  const int n = static_cast<int>(rows.size());
  if (n == 0) return;
  // A second start while running finds the pool running: the rows go to the running pool again.
  pool_.Create(
      ThreadCountOf(state_.Text(Field::kThreadCount)),
      [checker = &checker_](std::int32_t row_number) { checker->CheckProxyTask(row_number); });
  ValidationTaskTable::Records records;
  records.reserve(rows.size());
  for (const ProxyEntry& row : rows) {
    records.push_back(row.cells[kColAddress] + ":" + row.cells[kColPort]);
  }
  checker_.Tasks().Rebuild(std::move(records));
  // A task that cannot be queued leaves its row without a verdict from this run.
  for (int i = 1; i <= n; ++i) pool_.Post(i);
}

void ValidationController::ValidationTick() {
  if (!tick_on_) return;
  std::int64_t success = 0;
  std::int64_t failure = 0;
  const std::vector<ProxyEntry>& rows = list_.RowsOnUiThread();
  for (const ProxyEntry& row : rows) {
    if (row.check.Ok()) {
      ++success;
    } else if (row.check.Failed()) {
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
  pool_.Stop();
}

void ValidationController::StopValidation() {
  Announce(state_, WindowEvent::kValidationStopped);
  SetTick(false);
  pool_.Stop();
  state_.SetText(control::kStatusLine,
                 "已停止代理IP验证！  共有代理IP：" + state_.Text(Counter::kList) + "个");
}

void ValidationController::EnableEditing() { Announce(state_, WindowEvent::kValidationFinished); }

}  // namespace lumvex
