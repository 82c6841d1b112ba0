// The composition root: the list, the view-model, the controllers, the HTTP layer and the
// endpoints, built and wired once. The Qt window and the headless subcommands both
// drive the program through it.
#pragma once

#include <memory>
#include <string>

#include "app/gateway_controller.h"
#include "app/guard_controller.h"
#include "app/harvest_controller.h"
#include "app/judged_validation_start.h"
#include "app/list_commands_controller.h"
#include "app/main_window_state.h"
#include "app/proxy_edit_controller.h"
#include "app/proxy_switch_controller.h"
#include "app/recheck_controller.h"
#include "app/settings_controller.h"
#include "app/shell_controller.h"
#include "app/update_controller.h"
#include "app/url_import_controller.h"
#include "app/validation_controller.h"
#include "app/window_session.h"
#include "config/command_line.h"
#include "config/endpoints.h"
#include "config/user_prompts.h"
#include "history/history_store.h"
#include "http/cookie_store.h"
#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "proxylist/proxy_list.h"
#include "sysproxy/system_proxy.h"
#include "update/manifest_fetcher.h"
#include "validate/proxy_checker.h"

namespace lumvex {

struct ApplicationOptions {
  ShellConfig shell;
  Endpoints endpoints = DefaultEndpoints();
  // Deadline of one proxy check in seconds (--check-timeout).
  double check_timeout_seconds = kDefaultCheckTimeoutS;
  // The system proxy store the proxy switch writes (MakeDesktopSystemProxy for the window and
  // `lumvexip proxy`); null: none, every switch reports that no store is available.
  std::shared_ptr<SystemProxy> system_proxy;
  // Pacing, retry and parsing bounds of the proxy harvest.
  HarvestTuning harvest;
  // Time between two re-checks of the proxy guard.
  std::chrono::milliseconds guard_interval = ProxyGuard::kDefaultInterval;
  // Time between two looks of the background re-checks at the list.
  std::chrono::milliseconds recheck_tick = RecheckController::kDefaultTick;
};

// The options of a run of the program from its command line; `run_directory` is the directory
// of the executable, `data_dir` the data directory the start worked out (DataDirectoryOf).
ApplicationOptions ApplicationOptionsOf(const CommandLineOptions& options,
                                        const std::string& run_directory, DataDir data_dir);

class Application {
 public:
  // `ui` and `prompts` must outlive the application.
  Application(UiThread& ui, UserPrompts& prompts, ApplicationOptions options);
  // Runs Shutdown.
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  UiThread& Ui() { return ui_; }
  UserPrompts& Prompts() { return prompts_; }
  const ApplicationOptions& Options() const { return options_; }
  MainWindowState& State() { return state_; }
  WindowSession& Session() { return session_; }
  ProxyList& List() { return list_; }
  ShellController& Shell() { return shell_; }
  http::CookieStore& Cookies() { return cookies_; }
  http::FetchClient& Fetcher() { return *fetcher_; }
  ListCommandsController& ListCommands() { return *list_commands_; }
  ProxyEditController& ProxyEdit() { return *proxy_edit_; }
  SettingsController& SettingsDialog() { return *settings_dialog_; }
  UrlImportController& UrlImport() { return *url_import_; }
  ProxyChecker& Checker() { return checker_; }
  ValidationController& Validation() { return validation_; }
  SystemProxy& SystemProxyStore() { return *system_proxy_; }
  ProxySwitchController& ProxySwitch() { return proxy_switch_; }
  HarvestController& Harvest() { return *harvest_; }
  UpdateController& Update() { return *update_; }
  GuardController& Guard() { return *guard_; }
  GatewayController& Gateway() { return *gateway_; }
  // The check history of the data directory: the window's columns read it (HealthSource). Its
  // summary is read once StartLoading is called (or a record must be written at exit).
  HistoryStore& History() { return *history_; }

  // The gateway sent a connection through the proxy at `address`: recorded in the history. Any
  // thread.
  void RecordGatewayUse(std::string_view address, bool ok, double seconds);
  RecheckController& Recheck() { return *recheck_; }

  // The front end calls this on every tick of 时钟1.
  void OnTimerTick();
  // The front end calls this when the user chose an item of `combo` (after the state has
  // recorded the choice, which the controllers read from it).
  void OnComboChosen(Combo combo);

  // Ends background work for the program's exit: stops the pacing, cancels every transfer,
  // joins the threads with a bound and writes the last records of the check history. Call after the UiThread has been closed, so that workers
  // waiting on it return at once. Safe to call more than once.
  void Shutdown();

 private:
  void WireCommands();

  UiThread& ui_;
  UserPrompts& prompts_;
  ApplicationOptions options_;
  // Opened first and closed last: everything below may record into it.
  std::unique_ptr<HistoryStore> history_;
  MainWindowState state_;
  WindowSession session_;
  ProxyList list_;
  ShellController shell_;
  http::CookieStore cookies_;
  std::unique_ptr<http::FetchClient> fetcher_;
  ProxyChecker checker_;
  ValidationController validation_;
  // Starts the runs: with a judge, after the direct lookup of the user's own address.
  std::unique_ptr<JudgedValidationStart> judged_start_;
  std::shared_ptr<SystemProxy> system_proxy_;
  ProxySwitchController proxy_switch_;
  // The list commands and the two dialogs' logic; built in the constructor's body.
  std::unique_ptr<ListCommandsController> list_commands_;
  std::unique_ptr<ProxyEditController> proxy_edit_;
  std::unique_ptr<SettingsController> settings_dialog_;
  std::unique_ptr<UrlImportController> url_import_;
  std::unique_ptr<HarvestController> harvest_;
  std::unique_ptr<update::ManifestFetcher> manifest_;
  std::unique_ptr<UpdateController> update_;
  std::unique_ptr<GuardController> guard_;
  std::unique_ptr<GatewayController> gateway_;
  // Background re-checks of the list ("后台复查", and while the guard runs).
  std::unique_ptr<RecheckController> recheck_;
  bool shut_down_ = false;
  bool proxy_off_at_exit_ = false;  // the exit sequence has switched the system proxy off
};

}  // namespace lumvex
