// A worker appends 50,000 rows one by one through ProxyList (each a synchronous hand-over to the
// GUI thread) while the list is shown; a 5 ms timer on the GUI thread measures how late the event
// loop serves it.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "proxylist/proxy_list.h"
#include "ui/proxy_table_model.h"
#include "ui/proxy_table_view.h"
#include "ui/qt_ui_thread.h"

// Scrolling the full list: one synchronous repaint per jump, spread over the whole range; the
// mean time of one jump in milliseconds (0 when the view is not shown).
double MeasureScrolling(lumvex::ProxyTableView& view) {
  if (!view.isVisible()) return 0;
  constexpr int kJumps = 50;
  QScrollBar* bar = view.verticalScrollBar();
  QElapsedTimer paint;
  paint.start();
  for (int j = 0; j < kJumps; ++j) {
    bar->setValue(bar->maximum() / (kJumps - 1) * j);
    view.viewport()->repaint();
  }
  return static_cast<double>(paint.nsecsElapsed()) / 1e6 / kJumps;
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lumvex::QtUiThread ui;
  lumvex::ProxyList list(ui);
  lumvex::ProxyTableModel model(list);
  lumvex::ProxyTableView view;
  view.SetProxyModel(&model);
  view.resize(600, 400);
  // LUMVEX_BENCH_NO_VIEW=1 measures the hand-over alone, without a view over the model.
  if (qEnvironmentVariableIsEmpty("LUMVEX_BENCH_NO_VIEW")) view.show();

  constexpr int kRows = 50000;
  constexpr int kProbeMs = 5;
  std::vector<double> lateness;
  QElapsedTimer since_tick;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    lateness.push_back(
        std::max(0.0, static_cast<double>(since_tick.nsecsElapsed()) / 1e6 - kProbeMs));
    since_tick.restart();
  });

  std::atomic<bool> done{false};
  double scroll_ms = 0;
  QElapsedTimer total;
  double append_ms = 0;
  std::atomic<qint64> first_tenth_ns{0};
  std::thread worker;
  QTimer::singleShot(0, [&] {
    since_tick.start();
    probe.start(kProbeMs);
    total.start();
    worker = std::thread([&] {
      for (int i = 0; i < kRows; ++i) {
        lumvex::ProxyEntry entry;
        entry.cells = {"10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256),
                       std::to_string(1000 + i),
                       "HTTP",
                       "0.5",
                       "CN",
                       "1d"};
        list.AddRow(std::move(entry));
        if (i % 10 == 0) list.SetCheckState(i, lumvex::CheckState{lumvex::CheckStatus::kFailed});
        if (i == kRows / 10) first_tenth_ns = total.nsecsElapsed();
      }
      done = true;
    });
  });
  QTimer finish;
  QObject::connect(&finish, &QTimer::timeout, [&] {
    if (!done) return;
    append_ms = static_cast<double>(total.nsecsElapsed()) / 1e6;
    probe.stop();
    model.FlushPendingRows();
    scroll_ms = MeasureScrolling(view);
    app.quit();  // closes the windows too
  });
  finish.start(20);
  app.exec();
  worker.join();
  model.FlushPendingRows();

  ui.Close();

  std::sort(lateness.begin(), lateness.end());
  const double p99 = lateness.empty() ? 0 : lateness[lateness.size() * 99 / 100];
  const double max = lateness.empty() ? 0 : lateness.back();
  std::printf("stall_p99_ms %.2f ms\n", p99);
  std::printf("stall_max_ms %.2f ms\n", max);
  std::printf("stall_samples %zu samples\n", lateness.size());
  std::printf("append_rows_per_s %.0f rows/s\n", kRows / (append_ms / 1000.0));
  std::printf("append_first_tenth_rows_per_s %.0f rows/s\n",
              (kRows / 10) / (static_cast<double>(first_tenth_ns.load()) / 1e9));
  std::printf("rows_shown %d rows\n", model.rowCount());
  std::printf("scroll_repaint_ms %.2f ms\n", scroll_ms);
  return model.rowCount() == kRows ? 0 : 1;
}
