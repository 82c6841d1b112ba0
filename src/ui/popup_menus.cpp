#include "ui/popup_menus.h"

#include <QAction>
#include <QMenu>
#include <QString>

#include "text/proxy_host.h"
#include "ui/icon_set.h"
#include "ui/qt_text.h"

namespace lumvex {

namespace {

// Captions that come from data (a web address, a saved proxy) are shown as they are: an "&" in
// them is not a keyboard accelerator.
QString LiteralCaption(const std::string& text) {
  return Q(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

PopupMenus::PopupMenus(MainWindowState& state, ShellController& shell, QWidget* owner)
    : QObject(owner), state_(state), shell_(shell) {
  BuildContextMenu(owner);
  BuildTrayMenu(owner);
  state_.AddObserver(this);
  SyncAll();
}

PopupMenus::~PopupMenus() { state_.RemoveObserver(this); }

void PopupMenus::BuildContextMenu(QWidget* owner) {
  context_menu_ = new QMenu(QString::fromUtf8("操作"), owner);
  context_menu_->setObjectName(QString::fromUtf8("操作"));
  for (const auto& entry : ContextMenuLayout()) {
    if (entry.separator) {
      context_menu_->addSeparator();
      continue;
    }
    const ContextItem item = entry.item;
    QAction* action = context_menu_->addAction(Q(ContextItemCaption(item)));
    action->setIcon(LoadIcon(ContextItemIconName(item)));
    action->setIconVisibleInMenu(true);
    if (item == ContextItem::kGateway || item == ContextItem::kBackgroundRecheck) {
      action->setCheckable(true);
    }
    connect(action, &QAction::triggered, this, [this, item] {
      shell_.OnContextItem(item);
      // Whether the item is on is the state's to say, not Qt's own flip of the item.
      if (item == ContextItem::kGateway) SyncGateway();
      if (item == ContextItem::kBackgroundRecheck) SyncBackgroundRecheck();
    });
    context_[static_cast<int>(item)] = action;
  }
}

void PopupMenus::BuildTrayMenu(QWidget* owner) {
  tray_menu_ = new QMenu(QString::fromUtf8("托盘"), owner);
  tray_menu_->setObjectName(QString::fromUtf8("托盘"));
  const auto layout = TrayMenuLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (layout[i].separator) {
      QAction* separator = tray_menu_->addSeparator();
      // The separator right above the saved-proxy item shows and hides with it.
      if (i + 1 < layout.size() && !layout[i + 1].separator &&
          layout[i + 1].item == TrayItem::kSavedProxy) {
        saved_separator_ = separator;
      }
      continue;
    }
    const TrayItem item = layout[i].item;
    QAction* action = tray_menu_->addAction(Q(TrayItemDefaultCaption(item)));
    action->setIcon(LoadIcon(TrayItemIconName(item)));
    action->setIconVisibleInMenu(true);
    if (item == TrayItem::kSavedProxy || item == TrayItem::kGuard || item == TrayItem::kGateway) {
      action->setCheckable(true);
    }
    connect(action, &QAction::triggered, this, [this, item] {
      shell_.OnTrayItem(item);
      // Qt flips a checkable item by itself when it is clicked; whether the saved proxy is the
      // active one is the state's to say, and the handler may have left that unchanged.
      if (item == TrayItem::kSavedProxy) SyncSavedProxy();
      if (item == TrayItem::kGuard) SyncGuard();
      if (item == TrayItem::kGateway) SyncGateway();
    });
    tray_[static_cast<int>(item)] = action;
  }
}

void PopupMenus::SyncAll() {
  for (int i = 0; i < kContextItemCount; ++i) {
    context_[i]->setEnabled(state_.Enabled(static_cast<ContextItem>(i)));
  }
  for (int i = 0; i < kTrayItemCount; ++i) {
    tray_[i]->setEnabled(state_.Enabled(static_cast<TrayItem>(i)));
  }
  SyncTrayCaption(TrayItem::kWebSite);
  SyncTrayCaption(TrayItem::kSavedProxy);
  SyncSavedProxy();
  SyncGuard();
  SyncGateway();
  SyncBackgroundRecheck();
}

void PopupMenus::SyncTrayCaption(TrayItem item) {
  // The saved proxy's caption keeps its login, which re-applying it needs; the menu shows the
  // address without the password.
  const std::string caption = item == TrayItem::kSavedProxy
                                  ? text::MaskPassword(state_.Text(item))
                                  : std::string(state_.Text(item));
  tray_[static_cast<int>(item)]->setText(LiteralCaption(caption));
}

void PopupMenus::SyncSavedProxy() {
  QAction* item = tray_[static_cast<int>(TrayItem::kSavedProxy)];
  item->setVisible(state_.Visible(TrayItem::kSavedProxy));
  item->setChecked(state_.Checked(TrayItem::kSavedProxy));
  if (saved_separator_) saved_separator_->setVisible(state_.Visible(TrayItem::kSavedProxy));
}

void PopupMenus::SyncGuard() {
  tray_[static_cast<int>(TrayItem::kGuard)]->setChecked(state_.Checked(TrayItem::kGuard));
}

void PopupMenus::SyncGateway() {
  tray_[static_cast<int>(TrayItem::kGateway)]->setChecked(state_.Checked(TrayItem::kGateway));
  context_[static_cast<int>(ContextItem::kGateway)]->setChecked(
      state_.Checked(ContextItem::kGateway));
}

void PopupMenus::SyncBackgroundRecheck() {
  const int index = static_cast<int>(ContextItem::kBackgroundRecheck);
  context_[index]->setChecked(state_.Checked(ContextItem::kBackgroundRecheck));
}

void PopupMenus::OnStateChanged(ControlId control) {
  if (control.kind == ControlKind::kContextItem) {
    context_[control.index]->setEnabled(state_.Enabled(control));
    if (control.index == static_cast<int>(ContextItem::kGateway)) SyncGateway();
    if (control == ControlId(ContextItem::kBackgroundRecheck)) SyncBackgroundRecheck();
  } else if (control.kind == ControlKind::kTrayItem) {
    // One notification for any facet of the item: enabled, caption, visibility, check mark.
    const auto item = static_cast<TrayItem>(control.index);
    tray_[control.index]->setEnabled(state_.Enabled(control));
    // Only these two captions change at run time; the others keep the menu's own text.
    if (item == TrayItem::kWebSite || item == TrayItem::kSavedProxy) SyncTrayCaption(item);
    if (item == TrayItem::kSavedProxy) SyncSavedProxy();
    if (item == TrayItem::kGuard) SyncGuard();
    if (item == TrayItem::kGateway) SyncGateway();
  }
}

}  // namespace lumvex
