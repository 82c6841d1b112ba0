// Opens the two dialogs of the list commands from the main window: "添加代理IP" (proxy edit, add
// mode, modal), "修改选定IP(&M)" (proxy edit, modify mode, modeless) and "【设置】" (settings,
// modal). Registers those handlers with the shell on construction.
#pragma once

#include <QObject>
#include <QPointer>

#include "app/application.h"

class QWidget;

namespace lumvex {

class ProxyEditDialog;

class ListDialogs : public QObject {
  Q_OBJECT

 public:
  // `application` and `owner` must outlive this object; dialogs are owned by `owner` (the main
  // window).
  ListDialogs(Application& application, QWidget* owner);

  // OpenAddDialog: returns when the dialog has closed.
  void OpenAddDialog();
  // OpenModifyDialog: returns at once; a modify dialog still open is replaced by the new one.
  void OpenModifyDialog();
  // Opens the settings dialog, modal.
  void OpenSettingsDialog();

  ProxyEditDialog* ModifyDialog() const;

 private:
  Application& application_;
  QWidget* owner_;
  QPointer<ProxyEditDialog> modify_dialog_;
};

}  // namespace lumvex
