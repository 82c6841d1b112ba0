#include "ui/tray_icon_host.h"

#include <QCursor>
#include <QMenu>

#include "ui/icon_set.h"

namespace lumvex {

TrayIconHost::TrayIconHost(MainWindowState& state, ShellController& shell, QMenu* tray_menu,
                           QObject* parent)
    : QObject(parent),
      state_(state),
      shell_(shell),
      tray_menu_(tray_menu),
      icon_(new QSystemTrayIcon(this)) {
  icon_->setObjectName(QStringLiteral("TrayIcon"));
  // No setContextMenu(): the controller decides the items' states before the menu pops up.
  connect(icon_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) { HandleActivation(reason); });
  state_.AddObserver(this);
  SyncIcon();
}

TrayIconHost::~TrayIconHost() { state_.RemoveObserver(this); }

void TrayIconHost::HandleActivation(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      shell_.OnTrayEvent(1);
      break;
    case QSystemTrayIcon::DoubleClick:
      shell_.OnTrayEvent(2);
      break;
    case QSystemTrayIcon::Context:
      if (shell_.OnTrayEvent(3)) {
        tray_menu_->popup(QCursor::pos());
        emit TrayMenuShown();
      }
      break;
    default:
      break;
  }
}

void TrayIconHost::SyncIcon() {
  icon_->setIcon(ProxyIndicatorIcon(state_.Indicator(control::kTrayIcon)));
  icon_->setToolTip(QString::fromUtf8(state_.Text(control::kTrayIcon)));
  icon_->setVisible(state_.Visible(control::kTrayIcon));
}

void TrayIconHost::OnStateChanged(ControlId control) {
  if (control == control::kTrayIcon) SyncIcon();
}

}  // namespace lumvex
