// The validation run: "验证代理IP" checks every row of the list, a limited number at a time (the
// checks at once of the window's session), a tick once a second counts the verdicts and ends the
// run when every row has one, "停止验证" ends it early. The checks are ValidationRun's (the same as
// `lumvexip check`); this controller writes their states into the rows and keeps the window's
// controls, status line and counters.
// All methods run on the UI thread (they are button and timer handlers).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/main_window_state.h"
#include "app/window_session.h"
#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "validate/proxy_check.h"
#include "validate/validation_run.h"

namespace lumvex {

class ValidationController {
 public:
  // Period of the tick while a run is on.
  static constexpr int kTickMs = 1000;

  // Everything passed in must outlive the controller. The checks go to `target` through
  // `fetcher`; their states reach the rows through `ui`; a run checks as many at once as
  // `session` says.
  ValidationController(UiThread& ui, MainWindowState& state, const WindowSession& session,
                       ProxyList& list, http::FetchClient& fetcher, CheckTarget target);
  ~ValidationController();
  ValidationController(const ValidationController&) = delete;
  ValidationController& operator=(const ValidationController&) = delete;

  // Called at the start of every run: switches a set system proxy off.
  void SetSystemProxyOff(std::function<void()> hook);

  // Hears every verdict the run writes into a row, on the UI thread: the row's address
  // ("host:port", with its scheme and login) and the state. A check the busy judge left without
  // a verdict is not heard.
  using VerdictRecorder = std::function<void(const std::string& address, const CheckState& state)>;
  void SetVerdictRecorder(VerdictRecorder recorder);

  void StartValidation();
  void StopValidation();
  // The timer's handler; does nothing while no run has the tick on.
  void ValidationTick();
  bool TickOn() const { return tick_on_; }
  // The run's checks: their strict rule, and their cancellation at exit.
  ValidationRun& Run() { return run_; }

 private:
  // The run's events on their way from the fetch driver to the UI thread, many in one step.
  class Inbox;

  // Enables the editing commands, both radio buttons and the combo boxes of the checked source.
  void EnableEditing();
  void SetTick(bool on);
  // On the UI thread: hands the verdict just written into `row` to the recorder.
  void Record(int row, const CheckState& state);
  // On the UI thread: the run had to check fewer proxies at once than asked.
  void ShowLimited(int limit);

  MainWindowState& state_;
  const WindowSession& session_;
  ProxyList& list_;
  std::shared_ptr<Inbox> inbox_;
  ValidationRun run_;
  std::function<void()> system_proxy_off_;
  VerdictRecorder recorder_;
  bool tick_on_ = false;
  std::string limited_note_;  // said on the status line while a limited run goes on
};

}  // namespace lumvex
