#include "app/application.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "app/judged_validation_start.h"
#include "app/leftover_executables.h"
#include "app/unclean_exit.h"
#include "sysproxy/no_system_proxy.h"
#include "sysproxy/proxy_on_marker.h"
#include "validate/guard_check.h"

namespace lumvex {

ApplicationOptions ApplicationOptionsOf(const CommandLineOptions& options,
                                        const std::string& run_directory, DataDir data_dir) {
  ApplicationOptions result;
  result.shell.run_directory = run_directory;
  result.shell.data_dir = std::move(data_dir);
  result.shell.data_dir_given = options.data_dir;
  result.endpoints = options.endpoints;
  if (options.check_timeout_seconds) result.check_timeout_seconds = *options.check_timeout_seconds;
  if (options.guard_interval_seconds) {
    result.guard_interval =
        std::chrono::milliseconds(std::llround(*options.guard_interval_seconds * 1000));
  }
  return result;
}

Application::Application(UiThread& ui, UserPrompts& prompts, ApplicationOptions options)
    : ui_(ui),
      prompts_(prompts),
      options_(std::move(options)),
      // Its writer thread opens the database and reads the summary when the front end asks
      // (after the window's first paint); nothing waits for it.
      history_(std::make_unique<HistoryStore>(HistoryPath(options_.shell.data_dir),
                                              HistoryLimits{}, HistoryLoad::kWhenAsked)),
      state_(ui),
      list_(ui),
      shell_(state_, session_, list_, prompts_, options_.shell),
      fetcher_(std::make_unique<http::FetchClient>(&cookies_)),
      checker_(ui_, list_, *fetcher_,
               CheckTargetOf(options_.endpoints, options_.check_timeout_seconds)),
      validation_(ui_, state_, session_, list_, *fetcher_,
                  CheckTargetOf(options_.endpoints, options_.check_timeout_seconds)),
      system_proxy_(options_.system_proxy ? options_.system_proxy
                                          : std::make_shared<NoSystemProxy>()),
      proxy_switch_(state_, list_, *system_proxy_, options_.shell.data_dir) {
  judged_start_ = std::make_unique<JudgedValidationStart>(ui_, *fetcher_, state_, validation_);
  list_commands_ = std::make_unique<ListCommandsController>(ui_, state_, list_, prompts_);
  proxy_edit_ = std::make_unique<ProxyEditController>(state_, list_, prompts_);
  settings_dialog_ = std::make_unique<SettingsController>(
      state_, session_, options_.shell.data_dir,
      Autostart(Autostart::DirectoryFromEnvironment(
                    [](const char* name) { return static_cast<const char*>(std::getenv(name)); }),
                CurrentExecutablePath(options_.shell.run_directory),
                AutostartArguments(options_.shell.data_dir_given)));
  url_import_ = std::make_unique<UrlImportController>(state_, *list_commands_, prompts_, *fetcher_,
                                                      options_.shell.data_dir);
  harvest_ = std::make_unique<HarvestController>(ui_, state_, session_, list_, *fetcher_, &cookies_,
                                                 options_.endpoints, options_.harvest);
  UpdateConfig update_config;
  update_config.manifest_url = options_.endpoints.manifest_url;
  update_config.file_share_url = options_.endpoints.file_share_url;
  update_config.download_directory =
      options_.shell.data_dir.FilePath(std::string(kUpdatesFolderName));
  update_config.executable_suffix = std::string(kExecutableSuffix);
  update_config.running_executable = options_.shell.running_executable;
  manifest_ = std::make_unique<update::ManifestFetcher>(ui_, *fetcher_);
  update_ = std::make_unique<UpdateController>(ui_, state_, shell_, prompts_,
                                               std::move(update_config), *manifest_, *fetcher_);
  guard_ = std::make_unique<GuardController>(
      ui_, state_, list_, proxy_switch_, prompts_, options_.shell.data_dir,
      MakeGuardCheck(*fetcher_, options_.endpoints.connectivity_host,
                     options_.check_timeout_seconds),
      options_.guard_interval);
  recheck_ = std::make_unique<RecheckController>(
      ui_, state_, session_, list_, *fetcher_,
      CheckTargetOf(options_.endpoints, options_.check_timeout_seconds),
      [this] { return validation_.TickOn(); }, options_.recheck_tick);
  // The guard moves to the best working row by the history first.
  guard_->SetHealthSource(history_.get());
  // The gateway ranks its upstreams by their history and adds its own uses to it.
  gateway_ = std::make_unique<GatewayController>(ui_, state_, list_, proxy_switch_,
                                                 options_.shell.data_dir, history_.get());
  gateway_->SetUseRecorder([this](const std::string& address, bool ok, double seconds) {
    RecordGatewayUse(address, ok, seconds);
  });
  // Every verdict of a run or of a background re-check goes to the check history.
  const auto record = [this](const std::string& address, const CheckState& state) {
    history_->RecordCheck(address, state.Ok(), static_cast<int>(state.reason), state.http_status,
                          state.seconds);
  };
  validation_.SetVerdictRecorder(record);
  recheck_->SetVerdictRecorder(record);
  proxy_switch_.SetTunnelProbe(ui_, MakeTunnelProbe(*fetcher_, options_.endpoints.connectivity_host,
                                                    options_.check_timeout_seconds));
  WireCommands();
}

Application::~Application() { Shutdown(); }

void Application::WireCommands() {
  // Each feature registers its command, menu and hook handlers here.
  // The list commands; the two dialogs are the front end's and it registers their openers.
  ListCommandsController& lists = *list_commands_;
  shell_.SetCommandHandler(Command::kImport, [&lists] { lists.ImportFromFile(); });
  shell_.SetCommandHandler(Command::kPaste, [&lists] { lists.PasteFromClipboard(); });
  shell_.SetCommandHandler(Command::kExport, [&lists] { lists.ExportToFile(); });
  shell_.SetCommandHandler(Command::kDeleteRow, [&lists] { lists.DeleteCurrentRow(); });
  shell_.SetCommandHandler(Command::kClearList, [&lists] { lists.ClearList(); });
  shell_.SetCommandHandler(Command::kCleanFailed, [&lists] { lists.CleanFailedAndDuplicates(); });
  shell_.SetContextItemHandler(ContextItem::kDelete, [&lists] { lists.DeleteCurrentRow(); });
  shell_.SetContextItemHandler(ContextItem::kCleanFailed,
                               [&lists] { lists.CleanFailedAndDuplicates(); });
  shell_.SetContextItemHandler(ContextItem::kImportFromUrl,
                               [this] { url_import_->ImportFromWebAddress(); });
  // A run checks by the strict rule of the session (read at start-up, set by the settings
  // dialog) when one is set, with a judge after asking it the user's own address.
  shell_.SetCommandHandler(Command::kValidate,
                           [this] { judged_start_->Start(session_.Get().strict); });
  shell_.SetCommandHandler(Command::kStopValidation, [this] {
    judged_start_->Cancel();
    validation_.StopValidation();
  });
  shell_.SetContextItemHandler(ContextItem::kValidateSelected,
                               [this] { checker_.CheckCurrentProxy(); });
  // Background re-checks: on and off from the list menu; a judged one learns the user's own
  // address from the last run.
  shell_.SetContextItemHandler(ContextItem::kBackgroundRecheck, [this] { recheck_->Toggle(); });
  judged_start_->OnRuleTaken([this](const StrictRule& rule) { recheck_->RememberRunRule(rule); });
  // The system proxy switch: its menu items, start-up restore and exit switch-off, and the
  // switch-off before a validation run.
  shell_.SetContextItemHandler(ContextItem::kSetSystemProxy,
                               [this] { proxy_switch_.SetIeProxyFromCurrentRow(); });
  shell_.SetContextItemHandler(ContextItem::kCancelProxy,
                               [this] { proxy_switch_.CancelIeProxy(); });
  shell_.SetTrayItemHandler(TrayItem::kSwitchProxy,
                            [this] { proxy_switch_.SwitchIeProxyToNextRow(); });
  shell_.SetTrayItemHandler(TrayItem::kCancelProxy, [this] { proxy_switch_.CancelIeProxy(); });
  shell_.SetTrayItemHandler(TrayItem::kSavedProxy, [this] { proxy_switch_.ReapplySavedIeProxy(); });
  shell_.Hooks().restore_system_proxy = [this] { proxy_switch_.RestoreIeAgent(); };
  shell_.Hooks().switch_system_proxy_off = [this] {
    guard_->Stop();
    // Once per process: the exit sequence runs again when the window goes, and by then a new
    // version started by the update may already have switched its own proxy on.
    if (proxy_off_at_exit_) return;
    proxy_off_at_exit_ = true;
    proxy_switch_.CancelIeProxy();
  };
  validation_.SetSystemProxyOff([this] {
    guard_->Stop();
    // The local gateway keeps relaying: the checks go direct, and its upstreams follow the
    // verdicts the run gives.
    if (proxy_switch_.IsIeProxyEnabled() && !gateway_->Running()) proxy_switch_.CancelIeProxy();
  });
  // "使用本地网关": a local relay through the working rows, with the desktop pointed at it.
  shell_.SetContextItemHandler(ContextItem::kGateway, [this] { gateway_->Toggle(); });
  shell_.SetTrayItemHandler(TrayItem::kGateway, [this] { gateway_->Toggle(); });
  // The proxy guard ("自动切换代理"), and the switch-off after a run that ended without its exit
  // sequence, first thing at start-up.
  shell_.SetTrayItemHandler(TrayItem::kGuard, [this] { guard_->Toggle(); });
  shell_.Hooks().before_startup = [this] {
    SwitchOffAfterUncleanExit(ProxyOnMarker(options_.shell.data_dir), proxy_switch_, state_,
                              options_.shell.data_dir);
    guard_->LoadSetting();
  };
  // Harvesting: the source selectors' loaders at start-up, "获取代理IP" and the any-country item.
  HarvestController& harvest = *harvest_;
  shell_.Hooks().start_source_loaders = [&harvest] { harvest.StartSourceLoaders(); };
  shell_.SetCommandHandler(Command::kFetch, [&harvest] { harvest.StartHarvest(); });
  shell_.SetContextItemHandler(ContextItem::kFetch, [&harvest] { harvest.StartHarvest(); });
  shell_.SetContextItemHandler(ContextItem::kFetchAnyCountry,
                               [&harvest] { harvest.StartAnyCountryHarvest(); });
  // Online update: the manifest read at start-up (asynchronous; its settings and then the
  // new-version notice are applied when it arrives) and "软件更新".
  UpdateController& update = *update_;
  shell_.Hooks().apply_manifest_settings = [&update] { update.BeginStartupManifest(); };
  shell_.Hooks().check_new_version = [&update] { update.StartupVersionNotice(); };
  shell_.SetCommandHandler(Command::kUpdateCheck, [&update] { update.CheckForUpdate(); });
}

void Application::OnTimerTick() { validation_.ValidationTick(); }

void Application::RecordGatewayUse(std::string_view address, bool ok, double seconds) {
  history_->RecordGatewayUse(address, ok, seconds);
}

void Application::OnComboChosen(Combo combo) {
  switch (combo) {
    case Combo::kSourceACategories:
      harvest_->OnCategoryChosen();
      break;
    case Combo::kSourceBDatabases:
      harvest_->OnDatabaseChosen();
      break;
    case Combo::kSourceBPages:
      harvest_->OnSourceBPageChosen();
      break;
  }
}

void Application::Shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  // The guard first: its check in flight is abandoned before the transfers are cancelled.
  if (guard_) guard_->Shutdown();
  // The relay's connections end; the exit sequence has switched the desktop off already.
  if (gateway_) gateway_->Shutdown();
  // Checks under way write nothing more; cancelling the transfers ends every wait on one at once,
  // so the joins below are quick.
  checker_.CancelAll();
  judged_start_->Cancel();
  validation_.Run().CancelAll();
  if (recheck_) recheck_->Shutdown();
  // The harvest's pacing stops and its waits end: its page completions touch nothing from here.
  harvest_->Shutdown();
  fetcher_->Close();
  // Command threads end once the UiThread is closed and the transfers are cancelled.
  if (list_commands_) list_commands_->Shutdown();
  // The manifest request and a download under way are cancelled and their threads joined.
  if (update_) update_->Shutdown();
  if (manifest_) manifest_->Shutdown();
  // The records still waiting are written before the program goes.
  history_->Close();
}

}  // namespace lumvex
