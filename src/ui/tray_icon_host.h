// The tray icon: picture and tooltip mirrored from MainWindowState, its clicks sent to the shell
// controller, and the tray menu popped up where the controller asks for it.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include "app/main_window_state.h"
#include "app/main_window_state_observer.h"
#include "app/shell_controller.h"

class QMenu;

namespace lumvex {

class TrayIconHost : public QObject, public MainWindowStateObserver {
  Q_OBJECT

 public:
  TrayIconHost(MainWindowState& state, ShellController& shell, QMenu* tray_menu, QObject* parent);
  ~TrayIconHost() override;

  QSystemTrayIcon* icon() const { return icon_; }
  // Handles one tray notification as the desktop would deliver it.
  void HandleActivation(QSystemTrayIcon::ActivationReason reason);

  void OnStateChanged(ControlId control) override;

 signals:
  // The tray menu was popped up (tests and the end-to-end driver watch for it).
  void TrayMenuShown();

 private:
  void SyncIcon();

  MainWindowState& state_;
  ShellController& shell_;
  QMenu* tray_menu_;
  QSystemTrayIcon* icon_;
};

}  // namespace lumvex
