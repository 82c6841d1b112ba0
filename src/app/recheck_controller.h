// The window's list that keeps itself checked: the list menu's checkable "后台复查" switches
// background re-checks on and off, and they are on as well while the proxy guard ("自动切换代理")
// watches a proxy. A tick every few seconds hands the rows to a ListRecheck (the same checks as
// "验证代理IP", the checks at once of the session); each verdict is written into the rows of its
// address as a run's verdict is (state, 实测(秒), colour, reason), without the run's counters or
// status line. While a validation run is on, the re-checks pause and their verdicts are dropped:
// the run's own verdicts are the ones that count. Public methods run on the UI thread.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/main_window_state.h"
#include "app/main_window_state_observer.h"
#include "app/window_session.h"
#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "validate/list_recheck.h"
#include "validate/proxy_check.h"
#include "validate/recheck_plan.h"
#include "validate/strict_check.h"

namespace lumvex {

class RecheckController : public MainWindowStateObserver {
 public:
  // Time between two looks at the rows.
  static constexpr std::chrono::milliseconds kDefaultTick{5000};

  // Everything passed in must outlive the controller; `validation_on` tells whether a validation
  // run is on.
  RecheckController(UiThread& ui, MainWindowState& state, const WindowSession& session,
                    ProxyList& list, http::FetchClient& fetcher, CheckTarget target,
                    std::function<bool()> validation_on,
                    std::chrono::milliseconds tick = kDefaultTick, RecheckTiming timing = {});
  ~RecheckController() override;
  RecheckController(const RecheckController&) = delete;
  RecheckController& operator=(const RecheckController&) = delete;

  // Each verdict written (a check the busy judge left undecided is not), for the check history.
  using VerdictRecorder = std::function<void(const std::string& address, const CheckState& state)>;
  void SetVerdictRecorder(VerdictRecorder recorder) { recorder_ = std::move(recorder); }

  // "后台复查": flips the item's check.
  void Toggle();
  // The rule a validation run checked by (with the user's own address a judge told it): a judged
  // re-check by the same judge uses that address too.
  void RememberRunRule(const StrictRule& rule) { run_rule_ = rule; }
  // Program exit: re-checks under way report nothing more and none starts. Before the fetcher
  // closes.
  void Shutdown();
  // Re-checks are on (the item, or the guard).
  bool Active() const;
  // One look at the rows now (the tick's work): the UI thread copies the rows' addresses and
  // verdicts; which are due is worked out off it. A look still under way skips this one.
  void Tick();
  // Re-checks started and not yet reported. Any thread.
  std::size_t UnderWay() const { return recheck_.UnderWay(); }

  void OnStateChanged(ControlId control) override;

 private:
  class Inbox;

  // Keeps one tick waiting on the fetch driver while re-checks are on.
  void Schedule();
  // The rows of `address` now: from the index when it is still right, else from a fresh one.
  std::vector<int> RowsOf(const std::string& address);
  void Write(const std::vector<std::pair<std::string, CheckState>>& verdicts);
  StrictRule CurrentRule() const;

  UiThread& ui_;
  MainWindowState& state_;
  const WindowSession& session_;
  ProxyList& list_;
  http::FetchClient& fetcher_;
  const std::function<bool()> validation_on_;
  const std::chrono::milliseconds tick_;
  std::shared_ptr<Inbox> inbox_;
  ListRecheck recheck_;
  std::optional<StrictRule> run_rule_;
  VerdictRecorder recorder_;
  bool scheduled_ = false;
  bool validation_was_on_ = false;  // at the last tick
  std::future<void> look_;          // the last look's work off the UI thread
  bool shut_down_ = false;
  // Address -> rows holding it, as the list stood when it was built; checked before each use.
  std::unordered_map<std::string, std::vector<int>> index_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace lumvex
