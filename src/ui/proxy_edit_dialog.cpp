#include "ui/proxy_edit_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/ipv4_edit.h"
#include "ui/qt_text.h"

namespace lumvex {
ProxyEditDialog::ProxyEditDialog(EditMode mode, ProxyEditController& controller, QWidget* parent)
    : QDialog(parent), mode_(mode), controller_(controller) {
  setObjectName(Q(kProxyEditFormCaption));
  setWindowTitle(Q(kProxyEditFormCaption));
  setFixedSize(328, 102);
  Place(new QLabel(QString::fromUtf8("服务器地址："), this), "标签1", 4, 10, 80, 17);
  address_ = Place(new Ipv4Edit(this), "IP编辑框1", 89, 8, 104, 20);
  Place(new QLabel(QString::fromUtf8("服务端口："), this), "标签2", 203, 10, 64, 17);
  port_ = Place(new QLineEdit(this), "编辑框1", 272, 8, 48, 20);
  Place(new QLabel(QString::fromUtf8("备注："), this), "标签3", 40, 43, 44, 17);
  note_ = Place(new QLineEdit(this), "编辑框2", 89, 40, 231, 20);
  confirm_ = Place(new QPushButton(QString::fromUtf8("确定"), this), "按钮1", 96, 70, 80, 24);
  auto* cancel = Place(new QPushButton(QString::fromUtf8("取消"), this), "按钮2", 200, 70, 80, 24);
  confirm_->setDefault(true);
  connect(confirm_, &QPushButton::clicked, this, &ProxyEditDialog::OnConfirm);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  // Dialog created.
  setWindowTitle(Q(ProxyEditTitle(mode_)));
  if (mode_ == EditMode::kModify) {
    const ProxyEditFields fields = controller_.FieldsOfCurrentRow();
    address_->setText(Q(fields.address));
    port_->setText(Q(fields.port));
    note_->setText(Q(fields.note));
    confirm_->setFocus();
  } else {
    address_->part(0)->setFocus();
  }
}

ProxyEditFields ProxyEditDialog::Fields() const {
  return {U(address_->text()), U(port_->text()), U(note_->text())};
}

void ProxyEditDialog::OnConfirm() {
  if (mode_ == EditMode::kAdd) {
    if (controller_.ConfirmAdd(Fields())) accept();
    return;
  }
  controller_.ConfirmModify(Fields());
  accept();
}

}  // namespace lumvex
