// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so that the program can
// leave through its normal exit path (the list gets saved) when the session ends, its terminal
// goes away or the user presses Ctrl+C.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace lumvex {

class ExitSignalNotifier : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; only one instance may exist at a time (the handler writes to its
  // socket). Restores the previous handlers when destroyed.
  explicit ExitSignalNotifier(QObject* parent = nullptr);
  ~ExitSignalNotifier() override;

  bool installed() const { return notifier_ != nullptr; }

 signals:
  // `signal_number` is the first signal received.
  void ExitRequested(int signal_number);

 private:
  void ReadPending();

  int sockets_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  bool emitted_ = false;
};

}  // namespace lumvex
