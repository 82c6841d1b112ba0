#include "ui/list_dialogs.h"

#include <QWidget>

#include "ui/proxy_edit_dialog.h"
#include "ui/settings_dialog.h"

namespace lumvex {

ListDialogs::ListDialogs(Application& application, QWidget* owner)
    : application_(application), owner_(owner) {
  ShellController& shell = application_.Shell();
  shell.SetCommandHandler(Command::kAddProxy, [this] { OpenAddDialog(); });
  shell.SetCommandHandler(Command::kSettings, [this] { OpenSettingsDialog(); });
  shell.SetContextItemHandler(ContextItem::kModify, [this] { OpenModifyDialog(); });
}

void ListDialogs::OpenAddDialog() {
  ProxyEditDialog dialog(EditMode::kAdd, application_.ProxyEdit(), owner_);
  dialog.exec();
}

void ListDialogs::OpenModifyDialog() {
  if (modify_dialog_) modify_dialog_->close();
  auto* dialog = new ProxyEditDialog(EditMode::kModify, application_.ProxyEdit(), owner_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setModal(false);
  modify_dialog_ = dialog;
  dialog->show();
}

ProxyEditDialog* ListDialogs::ModifyDialog() const { return modify_dialog_.data(); }

void ListDialogs::OpenSettingsDialog() {
  SettingsDialog dialog(application_.SettingsDialog(), application_.Prompts(), owner_);
  dialog.exec();
}

}  // namespace lumvex
