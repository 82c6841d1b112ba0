// The main window (offscreen) validates fake proxies through the "验证代理IP" button's handler,
// the Qt UI thread and the window's 1000 ms tick: 10,000 rows 500 at a time, then 50,000 rows
// 5000 at a time (each in a process of its own); `--threads T --rows N` runs one. A 5 ms timer
// on the GUI thread measures how late the event loop serves it while the run goes on. Prints
// one figure per line: name value unit (the names of the 50,000-row run end in _t5000).
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/headless_prompts.h"
#include "farm_process.h"
#include "ui/main_window.h"
#include "ui/qt_ui_thread.h"

namespace {

using lumvex::tools::ProxyBehaviour;

constexpr int kDeadlineS = 2;
constexpr int kProbeMs = 5;

// instant, slow, late, refuse, silent, reset, close without reply
lumvex::tools::ProxySpec SpecOf(int i) {
  lumvex::tools::ProxySpec spec;
  switch (i % 7) {
    case 0:
      spec.behaviour = ProxyBehaviour::kAnswer;
      break;
    case 1:
      spec.behaviour = ProxyBehaviour::kDelay;
      spec.delay_ms = 1000;
      break;
    case 2:
      spec.behaviour = ProxyBehaviour::kDelay;
      spec.delay_ms = 4000;
      break;
    case 3:
      spec.behaviour = ProxyBehaviour::kRefuse;
      break;
    case 4:
      spec.behaviour = ProxyBehaviour::kNeverAnswer;
      break;
    case 5:
      spec.behaviour = ProxyBehaviour::kReset;
      break;
    default:
      spec.behaviour = ProxyBehaviour::kCloseNoAnswer;
      break;
  }
  return spec;
}

}  // namespace

int main(int argc, char** argv) {
  int rows_wanted = 0;
  int threads = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--threads") threads = std::atoi(argv[i + 1]);
    if (std::string(argv[i]) == "--rows") rows_wanted = std::atoi(argv[i + 1]);
  }
  if (argc == 1) {
    // Each run needs a QApplication of its own: run both as child processes.
    const std::string self = argv[0];
    const int first = std::system((self + " --threads 500 --rows 10000").c_str());
    const int second = std::system((self + " --threads 5000 --rows 50000").c_str());
    return first == 0 && second == 0 ? 0 : 1;
  }
  if (threads <= 0 || rows_wanted <= 0) {
    std::fprintf(stderr, "usage: bench_ui_stall_validate [--threads T --rows N]\n");
    return 2;
  }
  const int kRows = rows_wanted;
  const std::string suffix = threads == 500 && kRows == 10000 ? "" : "_t" + std::to_string(threads);
  std::vector<lumvex::tools::ProxySpec> specs;
  for (int i = 0; i < kRows; ++i) specs.push_back(SpecOf(i));
  lumvex::bench::FarmProcesses farm(specs);
  if (farm.Endpoints().size() != static_cast<size_t>(kRows)) {
    std::fprintf(stderr, "bench_ui_stall_validate: the farm did not start\n");
    return 1;
  }
  lumvex::tools::RaiseFileLimit();

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lumvex::QtUiThread ui;
  lumvex::cli::HeadlessPrompts prompts;
  lumvex::ApplicationOptions options;
  options.shell.data_dir = lumvex::DataDir("/nonexistent-bench-data");
  options.shell.tray_available = false;
  options.endpoints.validation_host = "check.test";
  options.check_timeout_seconds = kDeadlineS;
  lumvex::Application application(ui, prompts, options);
  std::vector<lumvex::ProxyEntry> rows;
  for (const std::string& e : farm.Endpoints()) {
    const size_t colon = e.rfind(':');
    rows.push_back(
        lumvex::ProxyEntry{{e.substr(0, colon), e.substr(colon + 1), "HTTP", "", "", ""}});
  }
  application.List().AddRows(std::move(rows));
  application.State().SetCount(lumvex::Counter::kList, kRows);
  application.Session().Change(
      [&](lumvex::SessionValues& values) { values.checks_at_once = threads; });
  application.State().SetEnabled(lumvex::Command::kValidate, true);

  int status = 1;
  double run_s = 0;
  std::vector<double> lateness;
  double max_at_s = 0;
  double max_seen = 0;
  {
    lumvex::MainWindow window(application.State(), application.Shell(), application.List());
    window.SetTimerHandler([&application] { application.OnTimerTick(); });
    window.resize(900, 600);
    window.show();

    QElapsedTimer since_tick;
    QElapsedTimer run;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      lateness.push_back(
          std::max(0.0, static_cast<double>(since_tick.nsecsElapsed()) / 1e6 - kProbeMs));
      if (lateness.back() > max_seen) {
        max_seen = lateness.back();
        max_at_s = static_cast<double>(run.nsecsElapsed()) / 1e9;
      }
      since_tick.restart();
    });
    QTimer::singleShot(200, [&] {
      since_tick.start();
      probe.start(kProbeMs);
      run.start();
      application.Shell().OnCommand(lumvex::Command::kValidate);
    });
    QTimer finish;
    QObject::connect(&finish, &QTimer::timeout, [&] {
      if (application.State().Text(lumvex::control::kStatusLine).rfind("代理IP验证完毕", 0) != 0)
        return;
      run_s = static_cast<double>(run.nsecsElapsed()) / 1e9;
      probe.stop();
      status = 0;
      finish.stop();
      // Not quit(): it asks the windows to close first, and the main window refuses a close (it
      // minimises instead), so the loop would run on for ever.
      QCoreApplication::exit(0);
    });
    finish.start(50);
    app.exec();
    ui.Close();
    application.Shutdown();
  }
  std::sort(lateness.begin(), lateness.end());
  const double p99 = lateness.empty() ? 0 : lateness[lateness.size() * 99 / 100];
  const double max = lateness.empty() ? 0 : lateness.back();
  const char* name = suffix.c_str();
  std::printf("stall_p99_ms%s %.2f ms\n", name, p99);
  std::printf("stall_max_ms%s %.2f ms\n", name, max);
  std::printf("stall_samples%s %zu samples\n", name, lateness.size());
  std::printf("run_s%s %.2f s\n", name, run_s);
  std::printf("stall_max_at_s%s %.2f s\n", name, max_at_s);
  std::fflush(stdout);
  return status;
}
