#include "app/guard_controller.h"

#include <cstddef>
#include <optional>
#include <utility>

#include "proxylist/proxy_entry.h"
#include "settings/settings.h"
#include "sysproxy/next_proxy.h"
#include "sysproxy/proxy_address.h"
#include "sysproxy/proxy_apply.h"
#include "text/proxy_host.h"

namespace lumvex {
namespace {

std::string RowAddress(const ProxyList& list, int row) {
  return list.GetCell(row, kColAddress) + ":" + list.GetCell(row, kColPort);
}

}  // namespace

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

void GuardController::Stop() { guard_.Stop(); }

void GuardController::Shutdown() {
  shut_down_ = true;
  guard_.Stop();
}

void GuardController::Sync() {
  const bool run =
      !shut_down_ && state_.Checked(TrayItem::kGuard) && state_.Checked(TrayItem::kSavedProxy);
  const std::string address = CaptionAddress(state_.Text(TrayItem::kSavedProxy));
  if (!run || !ParseProxyAddress(address)) {
    guard_.Stop();
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
  if (current >= 0 && RowAddress(list_, current) == address) return current;
  const int count = list_.ListCount();
  for (int row = 0; row < count; ++row) {
    if (RowAddress(list_, row) == address) return row;
  }
  return current;
}

void GuardController::Tell(const std::string& text) {
  if (!prompts_.ShowTrayMessage(kProgramName, text)) state_.SetText(control::kStatusLine, text);
}

void GuardController::MoveOn(const std::string& address) {
  // The report is about the proxy still guarded, not one the user has left meanwhile.
  if (shut_down_ || !guard_.Running() || guard_.Address() != address) return;
  // The rows below it count as passing by their verdict; no row is checked afresh here.
  const NextProxy found = FindNextProxy(
      static_cast<std::size_t>(RowOf(address) + 1), static_cast<std::size_t>(list_.ListCount()),
      [this](std::size_t index) {
        const int row = static_cast<int>(index);
        if (!list_.GetCheckState(row).Ok()) return CandidateTest::kFail;
        // A row that names no usable address is passed over like a failed one.
        const std::optional<ProxyAddress> parsed = ParseProxyAddress(RowAddress(list_, row));
        if (!parsed || !DesktopCanTake(*parsed)) return CandidateTest::kFail;
        return CandidateTest::kPass;
      });
  if (found.outcome == NextProxy::Outcome::kFound) {
    const int row = static_cast<int>(found.index);
    const std::string next = RowAddress(list_, row);
    // The cursor moves there and the view follows, as with "切换IE代理".
    list_.MoveCursorTo(row);
    proxy_switch_.SetIeProxyFromCurrentRow();
    if (!state_.Checked(TrayItem::kSavedProxy)) {
      // The store refused it; the status line says so and the guard has stopped (Sync).
      guard_.Stop();
      return;
    }
    Tell(std::string(kGuardSwitchedPrefix) + text::MaskPassword(next));
    // The same address as before (a duplicate row) changes no state: the guard goes on with it.
    guard_.Guard(next);
    return;
  }
  proxy_switch_.CancelIeProxy();
  guard_.Stop();
  Tell(std::string(kGuardNoneLeft));
}

}  // namespace lumvex
