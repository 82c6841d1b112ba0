// The window's proxy guard: the checkable tray item "自动切换代理" (kept in "\data\guard"), a
// ProxyGuard that watches the proxy the program has switched on while the item is checked, and
// the walk to another working row (or off) when that proxy stops answering: each candidate is
// checked before the switch, so the guard never moves onto a proxy that is dead too.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window_state.h"
#include "app/main_window_state_observer.h"
#include "app/proxy_switch_controller.h"
#include "config/user_prompts.h"
#include "history/proxy_health.h"
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

  // The recorded history that ranks the working rows when the guarded proxy dies (may be null:
  // they go by their measured seconds then). It must outlive the controller.
  void SetHealthSource(const HealthSource* health) { health_ = health; }
  // The item's check as "\data\guard" keeps it (start of the program).
  void LoadSetting();
  // "自动切换代理": flips the check, saves it, starts or stops the guard.
  void Toggle();
  // A validation run starts or the program exits: the guard stops at once (a check in flight is
  // abandoned). It starts again when a proxy is switched on while the item is checked.
  void Stop();
  // Program end: stops and never starts again.
  void Shutdown();

  // Two failed checks of `address`: its rows get the verdict "失败", and the rows whose verdict is
  // "成功" are walked best first (by the history's score, else by measured seconds; BestFirst), ties
  // in the order shown from the one after it, wrapping around to the top, once.
  // Each is checked (on the fetch driver, off the UI thread); one that fails gets "失败", and the
  // first that passes becomes the system proxy, as "切换IE代理" would set it. None passing: the
  // proxy goes off. A stop, another proxy switched on, or unticking the item abandons the walk.
  void MoveOn(const std::string& address);
  // A walk is going on (tests wait on it).
  bool Walking() const { return walk_.id != 0; }

  const ProxyGuard& Guard() const { return guard_; }

  void OnStateChanged(ControlId control) override;

 private:
  // Runs the guard exactly while the item is checked and a proxy set by the program is on.
  void Sync();
  // The row the guarded proxy came from: the current row when it holds that address, else the
  // first row that does, else the current row.
  int RowOf(const std::string& address) const;
  // The row that held `address` at `row` when the walk began: the same row if it still does,
  // else the first row that does (rows may have been added or deleted meanwhile); -1 when none.
  int FindRowAgain(int row, const std::string& address) const;
  // Checks the walk's next candidate still passing by its verdict; ends the walk when none is
  // left.
  void CheckNextCandidate();
  // The answer of the walk's check `walk_id` of `candidate`.
  void OnCandidateChecked(std::uint64_t walk_id, std::size_t candidate, bool relayed);
  // Writes "失败" into the row (a verdict, so with its colour) unless it has no "成功" left.
  void MarkDead(int row);
  void AbandonWalk();
  void Tell(const std::string& text);

  struct Candidate {
    int row;              // where it was when the walk began
    std::string address;  // what it held then
  };
  struct Walk {
    std::uint64_t id = 0;  // 0: no walk
    std::string dead;      // the guarded address that stopped answering
    std::vector<Candidate> candidates;
    std::size_t next = 0;
  };

  UiThread& ui_;
  MainWindowState& state_;
  ProxyList& list_;
  ProxySwitchController& proxy_switch_;
  UserPrompts& prompts_;
  DataDir data_dir_;
  ProxyGuard::Check check_;
  const HealthSource* health_ = nullptr;
  Walk walk_;
  std::uint64_t last_walk_id_ = 0;
  // Failure reports posted to the UI thread check it, so none runs after the controller is gone.
  // (Declared before the guard, whose failure handler holds a weak reference to it.)
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  ProxyGuard guard_;
  bool shut_down_ = false;
};

}  // namespace lumvex
