// The main window: mirrors MainWindowState into its widgets and sends widget events to the
// controllers.
#pragma once

#include <QMainWindow>
#include <functional>

#include "app/main_window_state.h"
#include "app/main_window_state_observer.h"
#include "app/shell_controller.h"
#include "proxylist/proxy_list.h"
#include "settings/window_layout.h"
#include "ui/main_window_widgets.h"

namespace lumvex {

class PopupMenus;
class ProxyTableModel;
class TrayIconHost;

class MainWindow : public QMainWindow, public MainWindowStateObserver {
  Q_OBJECT

 public:
  MainWindow(MainWindowState& state, ShellController& shell, ProxyList& list,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // Called once start-up has run: shows the window unless start-up put it in the tray.
  void ShowAccordingToState();
  // The exit path: closes open dialogs, hides the window and the tray icon, and lets the next
  // close go through.
  void PrepareForExit();
  // Closes every open dialog owned by the window (message boxes, the About window, ...).
  void CloseDialogs();
  // Opens the About window, modal; returns when it is closed.
  void ShowAbout();

  // The size, place and column widths of an earlier run, before the window is first shown. A
  // place on no screen of this desktop keeps the default place; a size larger than the screen
  // is cut to it.
  void RestoreLayout(const WindowLayout& layout);
  // The size and place the window has (or would have when shown again) and the column widths.
  WindowLayout Layout() const;

  // Run on each tick of 时钟1 (the check run's progress).
  void SetTimerHandler(std::function<void()> handler) { timer_handler_ = std::move(handler); }
  // Run when the user chooses an item of a combo box (after the state has recorded the choice).
  void SetComboChosenHandler(std::function<void(Combo, int)> handler) {
    combo_handler_ = std::move(handler);
  }

  const MainWindowWidgets& widgets() const { return widgets_; }
  PopupMenus* menus() const { return menus_; }
  TrayIconHost* tray() const { return tray_; }
  ProxyTableModel* table_model() const { return model_; }

  void OnStateChanged(ControlId control) override;

 signals:
  // The close button ended the program: the exit sequence has run.
  void ClosedForExit();
  // The tray menu was popped up from the window (no tray: the proxy status picture or a right
  // click on the window's free space).
  void TrayMenuShownInWindow();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectWidgets();
  void SyncAll();
  void SyncCombo(Combo combo);
  void SyncLabel(Label label);
  void SyncLink(Link link);
  void SyncSourceChoice();
  void SyncProxyPicture();
  void SyncTimer();
  void ApplyWindowMode();
  void ShowListMenu(const QPoint& position);
  // Without a tray the window offers the tray menu itself.
  void OfferTrayMenuInWindow();
  void PopUpTrayMenuAt(const QPoint& global_position);

  MainWindowState& state_;
  ShellController& shell_;
  MainWindowWidgets widgets_;
  ProxyTableModel* model_ = nullptr;
  PopupMenus* menus_ = nullptr;
  TrayIconHost* tray_ = nullptr;
  std::function<void()> timer_handler_;
  std::function<void(Combo, int)> combo_handler_;
  bool shown_once_ = false;
  bool exiting_ = false;
};

}  // namespace lumvex
