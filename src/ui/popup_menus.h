// The list's context menu "操作" and the tray menu "托盘", mirrored from MainWindowState; their
// items call the shell controller.
#pragma once

#include <QObject>
#include <array>

#include "app/main_window_controls.h"
#include "app/main_window_state.h"
#include "app/main_window_state_observer.h"
#include "app/shell_controller.h"

class QAction;
class QMenu;
class QWidget;

namespace lumvex {

class PopupMenus : public QObject, public MainWindowStateObserver {
  Q_OBJECT

 public:
  // Observes `state` from construction to destruction. Menus are parented to `owner`.
  PopupMenus(MainWindowState& state, ShellController& shell, QWidget* owner);
  ~PopupMenus() override;

  QMenu* ContextMenu() const { return context_menu_; }
  QMenu* TrayMenu() const { return tray_menu_; }
  QAction* ContextAction(ContextItem item) const { return context_[static_cast<int>(item)]; }
  QAction* TrayAction(TrayItem item) const { return tray_[static_cast<int>(item)]; }
  QAction* SavedProxySeparator() const { return saved_separator_; }

  void OnStateChanged(ControlId control) override;

 private:
  void BuildContextMenu(QWidget* owner);
  void BuildTrayMenu(QWidget* owner);
  void SyncAll();
  void SyncTrayCaption(TrayItem item);
  void SyncSavedProxy();
  void SyncGateway();
  void SyncGuard();
  // The check mark of "后台复查" from the state.
  void SyncBackgroundRecheck();

  MainWindowState& state_;
  ShellController& shell_;
  QMenu* context_menu_ = nullptr;
  QMenu* tray_menu_ = nullptr;
  std::array<QAction*, kContextItemCount> context_{};
  std::array<QAction*, kTrayItemCount> tray_{};
  QAction* saved_separator_ = nullptr;
};

}  // namespace lumvex
