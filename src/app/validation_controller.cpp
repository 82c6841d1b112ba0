#include "app/validation_controller.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "app/window_events.h"
#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

// States written in one UI-thread step at most: thousands of verdicts arriving together are
// spread over several steps, so the window keeps painting and answering between them.
constexpr std::size_t kStatesPerStep = 512;

}  // namespace

// The fetch driver must never wait for the UI thread, so events are queued here and one posted
// step writes all that have arrived. A step runs only while the controller lives (`life`).
class ValidationController::Inbox : public std::enable_shared_from_this<Inbox> {
 public:
  Inbox(UiThread& ui, ValidationController* owner) : ui_(ui), owner_(owner) {}

  void Started(int row) { Add(row, CheckState{CheckStatus::kRunningPool}); }
  void Finished(int row, const CheckState& state) { Add(row, state); }
  void Limited(int limit) {
    std::lock_guard lock(queue_mutex_);
    limited_ = limit;
    PostLocked();
  }
  // The owner goes: later steps do nothing.
  void Forget() {
    std::lock_guard lock(life_mutex_);
    owner_ = nullptr;
  }

 private:
  void Add(int row, const CheckState& state) {
    std::lock_guard lock(queue_mutex_);
    states_.emplace_back(row, state);
    PostLocked();
  }

  void PostLocked() {
    if (posted_) return;
    posted_ = true;
    ui_.Post([self = shared_from_this()] { self->Deliver(); });
  }

  void Deliver() {
    std::vector<std::pair<int, CheckState>> batch;
    int limited = 0;
    {
      std::lock_guard lock(queue_mutex_);
      const std::size_t take = std::min(states_.size(), kStatesPerStep);
      batch.assign(states_.begin(), states_.begin() + static_cast<std::ptrdiff_t>(take));
      states_.erase(states_.begin(), states_.begin() + static_cast<std::ptrdiff_t>(take));
      limited = std::exchange(limited_, 0);
      posted_ = false;
      if (!states_.empty()) PostLocked();
    }
    std::lock_guard life(life_mutex_);
    if (owner_ == nullptr) return;
    // No verdict is written after the program's exit began.
    if (owner_->run_.Cancelled()) return;
    for (const auto& [row, state] : batch) {
      owner_->list_.SetCheckState(row, state);
      if (state.Decided() && owner_->recorder_) owner_->Record(row, state);
    }
    if (limited > 0) owner_->ShowLimited(limited);
  }

  UiThread& ui_;
  std::mutex life_mutex_;
  ValidationController* owner_;  // guarded by life_mutex_
  std::mutex queue_mutex_;
  std::deque<std::pair<int, CheckState>> states_;  // guarded by queue_mutex_
  int limited_ = 0;                                // guarded by queue_mutex_
  bool posted_ = false;                            // guarded by queue_mutex_
};

ValidationController::ValidationController(UiThread& ui, MainWindowState& state,
                                           const WindowSession& session, ProxyList& list,
                                           http::FetchClient& fetcher, CheckTarget target)
    : state_(state),
      session_(session),
      list_(list),
      inbox_(std::make_shared<Inbox>(ui, this)),
      run_(fetcher, std::move(target),
           // Each row shows its check as it goes; the tick counts the verdicts.
           ValidationRun::Events{[inbox = inbox_.get()](int row) { inbox->Started(row); },
                                 [inbox = inbox_.get()](int row, const CheckState& check) {
                                   inbox->Finished(row, check);
                                 },
                                 [inbox = inbox_.get()](int limit) { inbox->Limited(limit); }}) {}

ValidationController::~ValidationController() { inbox_->Forget(); }

void ValidationController::SetSystemProxyOff(std::function<void()> hook) {
  system_proxy_off_ = std::move(hook);
}

void ValidationController::SetVerdictRecorder(VerdictRecorder recorder) {
  recorder_ = std::move(recorder);
}

void ValidationController::Record(int row, const CheckState& state) {
  const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) return;
  const CompactRow& entry = rows[static_cast<std::size_t>(row)];
  recorder_(std::string(entry.Cell(kColAddress)) + ':' + std::string(entry.Cell(kColPort)), state);
}

void ValidationController::SetTick(bool on) {
  tick_on_ = on;
  state_.SetValue(control::kTimer, on ? kTickMs : 0);
}

void ValidationController::ShowLimited(int limit) {
  limited_note_ = "可用文件描述符不足，同时验证数减为" + text::FormatInt(limit);
  if (tick_on_) state_.SetText(control::kStatusLine, limited_note_);
}

void ValidationController::StartValidation() {
  if (system_proxy_off_) system_proxy_off_();
  Announce(state_, WindowEvent::kValidationStarted);
  SetTick(true);
  if (!run_.Running()) limited_note_.clear();

  // One step on the UI thread: no other list operation can come between reading the rows.
  const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
  if (rows.empty()) return;
  run_.Start(rows, session_.ChecksAtOnce());
}

void ValidationController::ValidationTick() {
  if (!tick_on_) return;
  std::int64_t success = 0;
  std::int64_t failure = 0;
  // Checks the judge refused until their deadline: done, but neither verdict.
  std::int64_t unclassified = 0;
  const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
  for (const CompactRow& row : rows) {
    if (row.Status() == CheckStatus::kOk) {
      ++success;
    } else if (row.Status() == CheckStatus::kFailed) {
      ++failure;
    } else if (row.Status() == CheckStatus::kNone && row.Check().Unclassified()) {
      ++unclassified;
    }
  }
  state_.SetCount(Counter::kSuccess, success);
  state_.SetCount(Counter::kFailure, failure);
  if (rows.empty()) return;
  // Within one tick only the last status text would be seen; it is written once, in full.
  const std::string obtained = state_.Text(Counter::kList);
  const std::string ok = text::FormatInt(success);
  const std::string failed = text::FormatInt(failure);
  // Said once, at the end of the line, while any row is left without a verdict for it.
  const std::string busy_note =
      unclassified > 0 ? "  判定服务器繁忙，" + text::FormatInt(unclassified) + "个代理IP未判定"
                       : std::string();
  if (success + failure + unclassified != static_cast<std::int64_t>(rows.size())) {
    std::string progress = "正在验证代理IP.... 共：" + obtained + "个  验证成功：" + ok +
                           "个  验证失败：" + failed + "个";
    if (!limited_note_.empty()) progress += "  " + limited_note_;
    state_.SetText(control::kStatusLine, progress + busy_note);
    return;
  }
  state_.SetText(control::kStatusLine, "代理IP验证完毕  共：" + obtained + "  可用代理IP：" + ok +
                                           "  不可用代理IP：" + failed + busy_note);
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
