#include "app/guard_controller.h"

#include <cstddef>
#include <ctime>
#include <optional>
#include <utility>

#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "settings/settings.h"
#include "sysproxy/next_proxy.h"
#include "sysproxy/proxy_address.h"
#include "sysproxy/proxy_apply.h"
#include "text/proxy_host.h"

namespace lumvex {

GuardController::GuardController(UiThread& ui, MainWindowState& state, ProxyList& list,
                                 ProxySwitchController& proxy_switch, UserPrompts& prompts,
                                 DataDir data_dir, ProxyGuard::Check check,
                                 std::chrono::milliseconds interval)
    : ui_(ui),
      state_(state),
      list_(list),
      proxy_switch_(proxy_switch),
      prompts_(prompts),
      data_dir_(std::move(data_dir)),
      check_(check),
      alive_(std::make_shared<bool>(true)),
      guard_(
          std::move(check),
          [&ui, weak = std::weak_ptr<bool>(alive_), this](const std::string& address) {
            ui.Post([weak, this, address] {
              if (weak.lock()) MoveOn(address);
            });
          },
          interval) {
  ui_.RunSync([this] { state_.AddObserver(this); });
}

GuardController::~GuardController() {
  Shutdown();
  alive_.reset();
  if (ui_.IsUiThread()) {
    state_.RemoveObserver(this);
  } else {
    ui_.RunSync([this] { state_.RemoveObserver(this); });
  }
}

void GuardController::LoadSetting() {
  state_.SetChecked(TrayItem::kGuard, Settings(data_dir_).Read(SettingKey::kGuard) == kYes);
  Sync();
}

void GuardController::Toggle() {
  const bool checked = !state_.Checked(TrayItem::kGuard);
  Settings(data_dir_).Write(SettingKey::kGuard, checked ? kYes : kNo);
  state_.SetChecked(TrayItem::kGuard, checked);
  Sync();
}

void GuardController::Stop() {
  AbandonWalk();
  guard_.Stop();
}

void GuardController::Shutdown() {
  shut_down_ = true;
  Stop();
}

void GuardController::AbandonWalk() {
  // Answers still on their way find another walk id (or none) and are dropped.
  walk_ = Walk{};
}

void GuardController::Sync() {
  const bool run =
      !shut_down_ && state_.Checked(TrayItem::kGuard) && state_.Checked(TrayItem::kSavedProxy);
  const std::string address = CaptionAddress(state_.Text(TrayItem::kSavedProxy));
  if (!run || !ParseProxyAddress(address)) {
    Stop();
    return;
  }
  if (!guard_.Running() || guard_.Address() != address) guard_.Guard(address);
}

void GuardController::OnStateChanged(ControlId control) {
  // The saved-proxy item (caption, visibility, check) and the guard item's check.
  if (control == ControlId(TrayItem::kSavedProxy) || control == ControlId(TrayItem::kGuard)) {
    Sync();
  }
}

int GuardController::RowOf(const std::string& address) const {
  const int current = list_.CurrentRow();
  if (current >= 0 && RowProxyAddress(list_, current) == address) return current;
  const int count = list_.ListCount();
  for (int row = 0; row < count; ++row) {
    if (RowProxyAddress(list_, row) == address) return row;
  }
  return current;
}

void GuardController::Tell(const std::string& text) {
  if (!prompts_.ShowTrayMessage(kProgramName, text)) state_.SetText(control::kStatusLine, text);
}

int GuardController::FindRowAgain(int row, const std::string& address) const {
  if (RowProxyAddress(list_, row) == address) return row;
  const int count = list_.ListCount();
  for (int other = 0; other < count; ++other) {
    if (RowProxyAddress(list_, other) == address) return other;
  }
  return -1;
}

void GuardController::MarkDead(int row) {
  if (row < 0 || !list_.GetCheckState(row).Ok()) return;
  CheckState dead;
  dead.status = CheckStatus::kFailed;
  list_.SetCheckState(row, dead);
}

void GuardController::MoveOn(const std::string& address) {
  // The report is about the proxy still guarded, not one the user has left meanwhile, and it
  // comes once per failure: a walk for it already going on is not started again.
  if (shut_down_ || !guard_.Running() || guard_.Address() != address) return;
  if (walk_.id != 0 && walk_.dead == address) return;
  // The guard found it dead: its rows (duplicates included) say so, as a check run would.
  const int count = list_.ListCount();
  for (int row = 0; row < count; ++row) {
    if (SameProxyAddress(RowProxyAddress(list_, row), address)) MarkDead(row);
  }
  walk_ = Walk{};
  walk_.id = ++last_walk_id_;
  walk_.dead = address;
  // From the dead proxy's row; when the list does not hold it (a proxy restored at start-up),
  // from the current row, which is then a candidate too, the last one.
  const int from = RowOf(address);
  const std::optional<std::size_t> current =
      from >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(from)) : std::nullopt;
  std::vector<std::size_t> rows = WalkAfter(proxy_switch_.RowsAsShown(), current, /*wrap=*/true);
  if (current) rows.push_back(*current);
  const std::int64_t now = std::time(nullptr);
  rows = BestFirst(rows, [this, now](std::size_t index) {
    const int row = static_cast<int>(index);
    const CheckState state = list_.GetCheckState(row);
    CandidateMerit merit{state.Ok(), std::nullopt, state.seconds};
    if (health_ != nullptr) {
      if (const std::optional<ProxyHealth> health = health_->HealthOf(RowProxyAddress(list_, row))) {
        merit.score = HealthScore(*health, now);
      }
    }
    return merit;
  });
  for (const std::size_t index : rows) {
    const int row = static_cast<int>(index);
    const std::string candidate = RowProxyAddress(list_, row);
    // Only "成功" rows are candidates; one that names no usable address (or one the desktop
    // cannot take), or the dead proxy again, is passed over unchecked.
    const std::optional<ProxyAddress> parsed = ParseProxyAddress(candidate);
    if (!list_.GetCheckState(row).Ok() || !parsed || !DesktopCanTake(*parsed) ||
        SameProxyAddress(candidate, address)) {
      continue;
    }
    walk_.candidates.push_back({row, candidate});
  }
  CheckNextCandidate();
}

void GuardController::CheckNextCandidate() {
  while (walk_.next < walk_.candidates.size()) {
    const std::size_t index = walk_.next++;
    const Candidate& candidate = walk_.candidates[index];
    const int row = FindRowAgain(candidate.row, candidate.address);
    // Only rows still passing by their verdict are worth a check.
    if (row < 0 || !list_.GetCheckState(row).Ok()) continue;
    check_(candidate.address, [&ui = ui_, weak = std::weak_ptr<bool>(alive_), this, id = walk_.id,
                               index](bool relayed) {
      ui.Post([weak, this, id, index, relayed] {
        if (weak.lock()) OnCandidateChecked(id, index, relayed);
      });
    });
    return;
  }
  // Not one row passed: the proxy goes off.
  AbandonWalk();
  proxy_switch_.CancelIeProxy();
  guard_.Stop();
  Tell(std::string(kGuardNoneLeft));
}

void GuardController::OnCandidateChecked(std::uint64_t walk_id, std::size_t candidate,
                                         bool relayed) {
  if (walk_id != walk_.id || candidate >= walk_.candidates.size()) return;  // abandoned
  if (shut_down_ || !guard_.Running() || guard_.Address() != walk_.dead) {
    AbandonWalk();  // the user switched or stopped meanwhile
    return;
  }
  const Candidate& checked = walk_.candidates[candidate];
  const int row = FindRowAgain(checked.row, checked.address);
  if (!relayed) {
    MarkDead(row);
    CheckNextCandidate();
    return;
  }
  if (row < 0) {  // it works, but the row is gone from the list
    CheckNextCandidate();
    return;
  }
  const std::string next = checked.address;
  AbandonWalk();
  // The cursor moves there and the view follows, as with "切换IE代理".
  list_.MoveCursorTo(row);
  proxy_switch_.SetIeProxyFromCurrentRow();
  if (!state_.Checked(TrayItem::kSavedProxy)) {
    // The store refused it; the status line says so and the guard has stopped (Sync).
    guard_.Stop();
    return;
  }
  Tell(std::string(kGuardSwitchedPrefix) + text::MaskPassword(next));
  guard_.Guard(next);
}

}  // namespace lumvex
