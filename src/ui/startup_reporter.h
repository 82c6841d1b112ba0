// Prints one line to standard output when the main window is first painted, so a benchmark or a
// test driver can measure start-up from the outside ("LUMVEX_WINDOW_SHOWN <ms since start>").
#pragma once

#include <QElapsedTimer>
#include <QObject>

class QWidget;

namespace lumvex {

class StartupReporter : public QObject {
  Q_OBJECT

 public:
  // Does nothing when `enabled` is false.
  StartupReporter(QWidget* window, bool enabled);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QElapsedTimer since_construction_;
};

}  // namespace lumvex
