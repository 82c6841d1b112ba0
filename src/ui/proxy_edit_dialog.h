// The proxy edit dialog "代理信息": address box, port and note. Add mode is opened modal, modify
// mode modeless; "确定" hands the fields to the ProxyEditController.
#pragma once

#include <QDialog>

#include "app/proxy_edit_controller.h"

class QLineEdit;
class QPushButton;

namespace lumvex {

class Ipv4Edit;

class ProxyEditDialog : public QDialog {
  Q_OBJECT

 public:
  // The created handler runs here: the title follows `mode`, and modify mode shows the current
  // row's fields with the focus on "确定".
  ProxyEditDialog(EditMode mode, ProxyEditController& controller, QWidget* parent);

  EditMode mode() const { return mode_; }
  ProxyEditFields Fields() const;

 private:
  void OnConfirm();

  EditMode mode_;
  ProxyEditController& controller_;
  Ipv4Edit* address_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLineEdit* note_ = nullptr;
  QPushButton* confirm_ = nullptr;
};

}  // namespace lumvex
