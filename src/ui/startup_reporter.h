// Prints one line to standard output when the main window is first painted, so a benchmark or a
// test driver can measure start-up from the outside ("LUMVEX_WINDOW_SHOWN <ms since start>"), and
// starts the work that waits for the first paint.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QWidget;

namespace lumvex {

class StartupReporter : public QObject {
  Q_OBJECT

 public:
  // Prints nothing when `enabled` is false. `after_first_paint` runs once on the GUI thread, right
  // after the first paint, or kLatestMs after construction when the window stays hidden (started
  // in the tray).
  StartupReporter(QWidget* window, bool enabled, std::function<void()> after_first_paint = {});
  static constexpr int kLatestMs = 3000;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunAfterFirstPaint();

  QWidget* window_;
  const bool enabled_;
  std::function<void()> after_first_paint_;
  QElapsedTimer since_construction_;
};

}  // namespace lumvex
