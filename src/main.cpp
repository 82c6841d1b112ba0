// LumvexIP: harvests free HTTP proxies, checks them and switches the system proxy.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/main_window_state.h"
#include "app/shell_controller.h"
#include "http/curl_global.h"
#include "platform/exit_call_guard.h"
#include "platform/run_directory.h"
#include "proxylist/agent_file.h"
#include "proxylist/proxy_list.h"
#include "ui/display_check.h"
#include "ui/exit_signal_notifier.h"
#include "ui/icon_set.h"
#include "ui/main_window.h"
#include "ui/qt_ui_thread.h"
#include "ui/qt_user_prompts.h"
#include "ui/startup_reporter.h"
#include "validate/cell_color_table.h"

namespace {

bool WantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

// A desktop tray exists and the platform really shows windows (offscreen has neither).
bool TrayAvailable() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
  return QSystemTrayIcon::isSystemTrayAvailable();
}

using ListReadAhead = std::future<std::optional<std::vector<lumvex::ProxyEntry>>>;

int Run(QApplication& app, const lumvex::CommandLineOptions& options,
        const std::string& run_directory, const std::string& ahead_dir, ListReadAhead ahead) {
  using namespace lumvex;
  QtUiThread ui;
  ProxyList list(ui);
  CellColorTable colours;
  MainWindowState state(ui);
  QtUserPrompts prompts;
  ShellConfig config;
  config.run_directory = run_directory;
  config.data_dir = DataDirectoryOf(options, run_directory);
  config.tray_available = TrayAvailable();
  if (ahead.valid() && ahead_dir == config.data_dir) {
    auto shared = std::make_shared<ListReadAhead>(std::move(ahead));
    config.read_list_ahead = [shared] { return shared->get(); };
  }
  ShellController shell(state, list, prompts, config);
  // The program ends through its exit sequence only; hidden-to-tray is not an end.
  app.setQuitOnLastWindowClosed(false);

  int status = 0;
  {
    MainWindow window(state, shell, list, &colours, ui);
    prompts.SetParent(&window);
    shell.Hooks().close_dialogs = [&window] { window.CloseDialogs(); };
    shell.Hooks().destroy_main_window = [&window] {
      window.PrepareForExit();
      QCoreApplication::quit();
    };
    QObject::connect(&window, &MainWindow::ClosedForExit, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // Ending the session or a terminating signal leaves through the exit sequence, so the list
    // is saved as it is by "退出程序".
    ExitSignalNotifier exit_signals;
    QObject::connect(&exit_signals, &ExitSignalNotifier::ExitRequested, &app,
                     [&shell] { shell.ExitSequence(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&shell] { shell.ExitSequence(); });
    StartupReporter reporter(&window, std::getenv("LUMVEX_REPORT_STARTUP") != nullptr);

    shell.StartupSequence();
    window.ShowAccordingToState();
    // When the display goes away under it (a session ending without a signal), Qt ends the
    // program with exit() from inside the event loop, past the exit sequence: save the list then.
    // Widgets cannot be touched any more at that point, so the rest of the sequence is skipped.
    ExitCallGuard display_lost([&list, &config] { SaveAgentFile(list, config.data_dir); });
    status = app.exec();
    // The window goes away now: the exit sequence runs (again, or first if the loop ended some
    // other way), so the list is saved whichever way the program ends.
    shell.OnMainWindowDestroyed();
    ui.Close();
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 0 ? argv[0] : "lumvexip";
  if (WantsHelp(argc, argv)) {
    std::fputs(lumvex::CommandLineHelp(program).c_str(), stdout);
    return 0;
  }
  const std::string missing = lumvex::MissingDisplayMessage(
      [](const char* name) { return static_cast<const char*>(std::getenv(name)); });
  if (!missing.empty()) {
    std::fputs(missing.c_str(), stderr);
    return 3;
  }
  lumvex::http::EnsureCurlGlobalInit();

  // The list file is read and decoded while Qt starts and the window is built; only the final
  // step of putting the rows into the list waits for it. Qt's own arguments are not taken out
  // yet, so this first look at the command line serves only to find the data directory.
  const std::string run_directory = lumvex::RunDirectory();
  const std::string ahead_dir =
      lumvex::DataDirectoryOf(lumvex::ParseCommandLine(argc, argv), run_directory);
  ListReadAhead ahead = std::async(std::launch::async, lumvex::ReadAgentFile, ahead_dir);

  QApplication app(argc, argv);  // takes out the arguments Qt understands
  lumvex::InitIconResources();
  const lumvex::CommandLineOptions options = lumvex::ParseCommandLine(argc, argv);
  if (!options.errors.empty()) {
    for (const std::string& error : options.errors) std::fprintf(stderr, "%s\n", error.c_str());
    std::fprintf(stderr, "Try '%s --help'.\n", program.c_str());
    return 2;
  }
  return Run(app, options, run_directory, ahead_dir, std::move(ahead));
}
