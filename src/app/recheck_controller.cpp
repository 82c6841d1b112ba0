#include "app/recheck_controller.h"

#include <algorithm>
#include <deque>
#include <iterator>
#include <mutex>
#include <system_error>
#include <utility>

#include "app/main_window_controls.h"
#include "proxylist/compact_row.h"
#include "proxylist/proxy_entry.h"

namespace lumvex {
namespace {

// Verdicts written in one UI-thread step at most, as a validation run's.
constexpr std::size_t kVerdictsPerStep = 512;

std::string AddressOf(const CompactRow& row) {
  std::string address(row.Cell(kColAddress));
  address += ':';
  address += row.Cell(kColPort);
  return address;
}

}  // namespace

// The verdicts on their way from the fetch driver to the UI thread, many in one step; a step runs
// only while the controller lives.
class RecheckController::Inbox : public std::enable_shared_from_this<Inbox> {
 public:
  Inbox(UiThread& ui, RecheckController* owner) : ui_(ui), owner_(owner) {}

  void Add(const std::string& address, const CheckState& state) {
    std::lock_guard lock(queue_mutex_);
    verdicts_.emplace_back(address, state);
    if (std::exchange(posted_, true)) return;
    ui_.Post([self = shared_from_this()] { self->Deliver(); });
  }
  void Forget() {
    std::lock_guard lock(life_mutex_);
    owner_ = nullptr;
  }

 private:
  void Deliver() {
    std::vector<std::pair<std::string, CheckState>> batch;
    {
      std::lock_guard lock(queue_mutex_);
      const std::size_t take = std::min(verdicts_.size(), kVerdictsPerStep);
      batch.assign(std::make_move_iterator(verdicts_.begin()),
                   std::make_move_iterator(verdicts_.begin() + static_cast<std::ptrdiff_t>(take)));
      verdicts_.erase(verdicts_.begin(), verdicts_.begin() + static_cast<std::ptrdiff_t>(take));
      posted_ = !verdicts_.empty();
      if (posted_) ui_.Post([self = shared_from_this()] { self->Deliver(); });
    }
    std::lock_guard life(life_mutex_);
    if (owner_ != nullptr) owner_->Write(batch);
  }

  UiThread& ui_;
  std::mutex life_mutex_;
  RecheckController* owner_;  // guarded by life_mutex_
  std::mutex queue_mutex_;
  std::deque<std::pair<std::string, CheckState>> verdicts_;  // guarded by queue_mutex_
  bool posted_ = false;                                      // guarded by queue_mutex_
};

RecheckController::RecheckController(UiThread& ui, MainWindowState& state,
                                     const WindowSession& session, ProxyList& list,
                                     http::FetchClient& fetcher, CheckTarget target,
                                     std::function<bool()> validation_on,
                                     std::chrono::milliseconds tick, RecheckTiming timing)
    : ui_(ui),
      state_(state),
      session_(session),
      list_(list),
      fetcher_(fetcher),
      validation_on_(std::move(validation_on)),
      tick_(tick),
      inbox_(std::make_shared<Inbox>(ui, this)),
      recheck_(fetcher, std::move(target), timing,
               [inbox = inbox_.get()](const std::string& address, const CheckState& state) {
                 inbox->Add(address, state);
               }) {
  ui_.RunSync([this] { state_.AddObserver(this); });
}

RecheckController::~RecheckController() {
  Shutdown();
  inbox_->Forget();
  alive_.reset();
  if (ui_.IsUiThread()) {
    state_.RemoveObserver(this);
  } else {
    ui_.RunSync([this] { state_.RemoveObserver(this); });
  }
}

bool RecheckController::Active() const {
  if (shut_down_) return false;
  if (state_.Checked(ContextItem::kBackgroundRecheck)) return true;
  // The local gateway relays through the rows that pass: they stay checked while it runs.
  if (state_.Checked(TrayItem::kGateway)) return true;
  // The guard watches a proxy exactly while its item is checked and a proxy is on.
  return state_.Checked(TrayItem::kGuard) && state_.Checked(TrayItem::kSavedProxy);
}

void RecheckController::Toggle() {
  state_.SetChecked(ContextItem::kBackgroundRecheck,
                    !state_.Checked(ContextItem::kBackgroundRecheck));
  Schedule();
  if (Active()) Tick();  // the user asked: the first checks start now
}

void RecheckController::OnStateChanged(ControlId control) {
  if (control == ControlId(TrayItem::kGuard) || control == ControlId(TrayItem::kSavedProxy) ||
      control == ControlId(TrayItem::kGateway)) {
    Schedule();
  }
}

void RecheckController::Schedule() {
  if (scheduled_ || !Active()) return;
  scheduled_ = true;
  fetcher_.After(tick_, [&ui = ui_, weak = std::weak_ptr<bool>(alive_), this] {
    ui.Post([weak, this] {
      if (!weak.lock()) return;
      scheduled_ = false;
      Tick();
      Schedule();
    });
  });
}

StrictRule RecheckController::CurrentRule() const {
  StrictRule rule = session_.Get().strict;
  if (rule.Judged() && rule.own_addresses.empty() && run_rule_ && run_rule_->judge == rule.judge) {
    rule.own_addresses = run_rule_->own_addresses;
  }
  return rule;
}

void RecheckController::Tick() {
  // A validation run checks every row itself meanwhile: no row is checked twice at once.
  if (!Active()) return;
  if (look_.valid() && look_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  const bool validation_on = validation_on_();
  const bool run_ended = std::exchange(validation_was_on_, validation_on) && !validation_on;
  if (validation_on) return;
  const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
  if (run_ended) {
    // The run's verdicts are as fresh as a re-check's: none is due again at once.
    std::vector<std::string> checked;
    for (const CompactRow& row : rows) {
      if (row.Status() == CheckStatus::kOk || row.Status() == CheckStatus::kFailed) {
        checked.push_back(AddressOf(row));
      }
    }
    recheck_.CheckedElsewhere(checked);
  }
  std::vector<RecheckRow> view;
  view.reserve(rows.size());
  for (const CompactRow& row : rows) view.push_back({AddressOf(row), row.Status()});
  auto look = [this, view = std::move(view), rule = CurrentRule(),
               limit = session_.ChecksAtOnce()]() mutable {
    recheck_.SetStrictRule(std::move(rule));
    recheck_.Tick(view, limit);
  };
  // Picking the due rows of a long list takes longer than the window may wait.
  try {
    look_ = std::async(std::launch::async, std::move(look));
  } catch (const std::system_error&) {
    // No thread to be had: this look is skipped, the next tick tries again.
  }
}

std::vector<int> RecheckController::RowsOf(const std::string& address) {
  const std::vector<CompactRow>& rows = list_.RowsOnUiThread();
  auto fits = [&](const std::vector<int>& found) {
    return std::all_of(found.begin(), found.end(), [&](int row) {
      return row >= 0 && static_cast<std::size_t>(row) < rows.size() &&
             AddressOf(rows[static_cast<std::size_t>(row)]) == address;
    });
  };
  if (const auto it = index_.find(address); it != index_.end() && fits(it->second)) {
    return it->second;
  }
  // Rows were added, deleted or replaced since the index was made.
  index_.clear();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    index_[AddressOf(rows[row])].push_back(static_cast<int>(row));
  }
  const auto it = index_.find(address);
  return it == index_.end() ? std::vector<int>{} : it->second;
}

void RecheckController::Write(const std::vector<std::pair<std::string, CheckState>>& verdicts) {
  if (shut_down_ || validation_on_()) return;
  for (const auto& [address, state] : verdicts) {
    // A row gone meanwhile is skipped.
    for (const int row : RowsOf(address)) list_.SetCheckState(row, state);
    if (recorder_ && state.Decided()) recorder_(address, state);
  }
}

void RecheckController::Shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  recheck_.CancelAll();
  if (look_.valid()) look_.wait();
}

}  // namespace lumvex
