#include "ui/desktop_front_end.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "app/application.h"
#include "platform/exit_call_guard.h"
#include "platform/file_io.h"
#include "proxylist/agent_file.h"
#include "settings/settings.h"
#include "settings/window_layout.h"
#include "sysproxy/desktop_system_proxy.h"
#include "sysproxy/marked_system_proxy.h"
#include "ui/exit_signal_notifier.h"
#include "ui/list_dialogs.h"
#include "ui/main_window.h"
#include "ui/proxy_table_model.h"
#include "ui/proxy_table_view.h"
#include "ui/qt_ui_thread.h"
#include "ui/qt_user_prompts.h"
#include "ui/repeated_escape_filter.h"
#include "ui/startup_reporter.h"
#include "ui/tray_icon_host.h"
#include "ui/update_window.h"

namespace lumvex {
namespace {

// A desktop tray exists and the platform really shows windows (offscreen has neither).
bool TrayAvailable() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
  return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace

int RunDesktop(QApplication& app, const CommandLineOptions& options,
               const std::string& run_directory, const DataDir& data_dir, ListReadAhead ahead) {
  QtUiThread ui;
  QtUserPrompts prompts;
  ApplicationOptions app_options = ApplicationOptionsOf(options, run_directory, data_dir);
  app_options.shell.tray_available = TrayAvailable();
  // While the window has the system proxy on, a marker in the data directory says so; the next
  // start switches off a proxy that a crash left on.
  app_options.system_proxy = std::make_shared<MarkedSystemProxy>(
      MakeDesktopSystemProxy(), ProxyOnMarker(app_options.shell.data_dir));
  if (ahead.valid()) {
    auto shared = std::make_shared<ListReadAhead>(std::move(ahead));
    app_options.shell.read_list_ahead = [shared] { return shared->get(); };
  }
  Application application(ui, prompts, std::move(app_options));
  ShellController& shell = application.Shell();
  // The program ends through its exit sequence only; hidden-to-tray is not an end.
  app.setQuitOnLastWindowClosed(false);
  // A held Escape closes the dialog it was pressed in, not every dialog opened after it.
  RepeatedEscapeFilter repeated_escape;
  app.installEventFilter(&repeated_escape);

  int status = 0;
  {
    MainWindow window(application.State(), shell, application.List());
    prompts.SetParent(&window);
    if (application.Options().shell.tray_available) prompts.SetTrayIcon(window.tray()->icon());
    // The demo (scripts/demo.sh) says in the title that it runs against loopback stand-ins.
    if (const char* note = std::getenv("LUMVEX_DEMO_NOTE"); note != nullptr && *note != '\0') {
      window.setWindowTitle(window.windowTitle() + QString::fromUtf8(note));
    }
    window.SetTimerHandler([&application] { application.OnTimerTick(); });
    // The history columns read the check history; written records repaint them, a few times a
    // second at most.
    QPointer<ProxyTableModel> model = window.table_model();
    model->SetHealthSource(&application.History());
    application.History().SetOnWritten([&ui, model] {
      ui.Post([model] {
        if (model) model->HealthChanged();
      });
    });
    window.SetComboChosenHandler(
        [&application](Combo combo, int) { application.OnComboChosen(combo); });
    // The update window "upgrade" shows itself when the update controller opens it.
    UpdateWindow update_window(application.Update(), &window);
    // "添加代理IP", "修改选定IP(&M)" and "【设置】" open their dialogs over the window.
    ListDialogs list_dialogs(application, &window);
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
    // "切换IE代理" and the guard go to the next row as the view shows it, sorted or not.
    application.ProxySwitch().SetShownOrder(
        [view = window.widgets().list_view] { return view->ShownListRows(); });
    // The check history is read once the window has painted itself.
    StartupReporter reporter(&window, std::getenv("LUMVEX_REPORT_STARTUP") != nullptr,
                             [&application] { application.History().StartLoading(); });

    const Settings settings(application.Options().shell.data_dir);
    // The size, place and column widths the window had when the program last ended.
    window.RestoreLayout(ReadWindowLayout(settings));
    shell.StartupSequence();
    window.ShowAccordingToState();
    // When the display goes away under it (a session ending without a signal), Qt ends the
    // program with exit() from inside the event loop, past the exit sequence: switch the system
    // proxy off and save the list then.
    // Widgets cannot be touched any more at that point, so the rest of the sequence is skipped.
    const DataDir data_dir = application.Options().shell.data_dir;
    ProxyList& list = application.List();
    ProxySwitchController& proxy_switch = application.ProxySwitch();
    GuardController& guard = application.Guard();
    ExitCallGuard display_lost([&list, &proxy_switch, &guard, data_dir] {
      guard.Shutdown();
      proxy_switch.SwitchOffWithoutIndicators();
      // exit() has already ended this thread's thread-local objects, the text converters among
      // them: the rows are taken here and encoded and written on a thread of their own.
      std::vector<CompactRow> rows;  // a copy as compact as the list's own
      list.ReadRows([&rows](const std::vector<CompactRow>& all) { rows = all; });
      if (rows.empty()) return;  // as SaveAgentFile: an empty list keeps the previous file
      std::thread([&rows, &data_dir] {
        if (data_dir.EnsureDataDir()) {
          WriteWholeFile(AgentFilePath(data_dir), FormatAgentText(rows));
        }
      }).join();
    });
    status = app.exec();
    application.History().SetOnWritten(nullptr);
    // Kept whichever way the loop ended; a failed write only means the defaults next time.
    WriteWindowLayout(settings, window.Layout());
    // The view goes with the window.
    application.ProxySwitch().SetShownOrder(nullptr);
    // The window goes away now: the exit sequence runs (again, or first if the loop ended some
    // other way), so the list is saved whichever way the program ends.
    shell.OnMainWindowDestroyed();
    ui.Close();
    application.Shutdown();
  }
  return status;
}

}  // namespace lumvex
