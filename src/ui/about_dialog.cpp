#include "ui/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumvex {

namespace {

constexpr char kDefaultWebAddress[] = "http://lumvex.example.org";

QLabel* AddLine(QVBoxLayout* layout, const QString& text, const char* name) {
  auto* label = new QLabel(text);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(label);
  return label;
}

}  // namespace

AboutDialog::AboutDialog(const QString& web_address, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutDialog"));
  setWindowTitle(QString::fromUtf8("关于 LumvexIP代理验证"));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  QLabel* title =
      AddLine(layout, QString::fromUtf8("LumvexIP代理验证 1.3版(Build 2013.9.20)"), "TitleLine");
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  AddLine(layout, QString::fromUtf8("制作：Lumvex 工作室"), "MakerLine");
  web_line_ =
      AddLine(layout, web_address.isEmpty() ? QString::fromUtf8(kDefaultWebAddress) : web_address,
              "WebLine");
  AddLine(layout, QString::fromUtf8("邮箱：lumvex@example.org"), "MailLine");
  AddLine(layout, QStringLiteral("Small tools, kept simple,\nand kept working."), "MottoLine");

  ok_button_ = new QPushButton(QString::fromUtf8("确定"));
  ok_button_->setObjectName(QStringLiteral("OkButton"));
  ok_button_->setDefault(true);
  connect(ok_button_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_button_);
  layout->addLayout(buttons);
  ok_button_->setFocus();
}

}  // namespace lumvex
