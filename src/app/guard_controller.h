// The window's proxy guard: the checkable tray item "自动切换代理" (kept in "\data\guard"), a
// ProxyGuard that watches the proxy the program has switched on while the item is checked, and
// the move to the next row whose verdict is "成功" (or off) when that proxy stops answering.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "app/main_window_state.h"
#include "app/main_window_state_observer.h"
#include "app/proxy_switch_controller.h"
#include "app/user_prompts.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "settings/data_dir.h"
#include "sysproxy/proxy_guard.h"

namespace lumvex {

// Texts the guard shows (tray message, or the status line without a tray).
inline constexpr std::string_view kGuardSwitchedPrefix = "已自动切换到 ";
inline constexpr std::string_view kGuardNoneLeft = "没有可用代理，已取消代理";

// Public methods run on the UI thread.
class GuardController : public MainWindowStateObserver {
 public:
  // All references must outlive the controller. `check` is the guard's re-check of a proxy.
  GuardController(UiThread& ui, MainWindowState& state, ProxyList& list,
                  ProxySwitchController& proxy_switch, UserPrompts& prompts, DataDir data_dir,
                  ProxyGuard::Check check,
                  std::chrono::milliseconds interval = ProxyGuard::kDefaultInterval);
  ~GuardController() override;
  GuardController(const GuardController&) = delete;
  GuardController& operator=(const GuardController&) = delete;

  // The item's check as "\data\guard" keeps it (start of the program).
  void LoadSetting();
  // "自动切换代理": flips the check, saves it, starts or stops the guard.
  void Toggle();
  // A validation run starts or the program exits: the guard stops at once (a check in flight is
  // abandoned). It starts again when a proxy is switched on while the item is checked.
  void Stop();
  // Program end: stops and never starts again.
  void Shutdown();

  // Two failed checks of `address`: the next row below it whose verdict is exactly "成功" becomes
  // the system proxy, as "切换IE代理" would set it; none left: the proxy goes off.
  void MoveOn(const std::string& address);

  const ProxyGuard& Guard() const { return guard_; }

  void OnStateChanged(ControlId control) override;

 private:
  // Runs the guard exactly while the item is checked and a proxy set by the program is on.
  void Sync();
  // The row the guarded proxy came from: the current row when it holds that address, else the
  // first row that does, else the current row.
  int RowOf(const std::string& address) const;
  void Tell(const std::string& text);

  UiThread& ui_;
  MainWindowState& state_;
  ProxyList& list_;
  ProxySwitchController& proxy_switch_;
  UserPrompts& prompts_;
  DataDir data_dir_;
  // Failure reports posted to the UI thread check it, so none runs after the controller is gone.
  // (Declared before the guard, whose failure handler holds a weak reference to it.)
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  ProxyGuard guard_;
  bool shut_down_ = false;
};

}  // namespace lumvex
