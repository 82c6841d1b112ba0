#include "ui/qt_user_prompts.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QUrl>
#include <vector>

namespace lumvex {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

QString QtUserPrompts::ToQtFilter(std::string_view filter) {
  const QStringList pieces = FromUtf8(filter).split(QLatin1Char('|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
    const QString& description = pieces[i];
    const QString& pattern = pieces[i + 1];
    if (description.contains(QLatin1Char('(') + pattern + QLatin1Char(')'))) {
      entries << description;
    } else {
      entries << description + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
  }
  if (pieces.size() % 2 == 1 && !pieces.back().isEmpty()) entries << pieces.back();
  return entries.join(QStringLiteral(";;"));
}

MessageAnswer QtUserPrompts::ShowMessage(std::string_view caption, std::string_view text,
                                         MessageButtons buttons, MessageIcon icon) {
  QMessageBox box(parent_);
  box.setWindowTitle(FromUtf8(caption));
  box.setText(FromUtf8(text));
  switch (icon) {
    case MessageIcon::kInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::kQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case MessageIcon::kWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case MessageIcon::kNone:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  // Buttons carry their Chinese captions and the answer they stand for.
  struct Choice {
    const char* caption;
    QMessageBox::ButtonRole role;
    MessageAnswer answer;
  };
  std::vector<Choice> choices;
  MessageAnswer on_close = MessageAnswer::kOk;
  switch (buttons) {
    case MessageButtons::kOk:
      choices = {{"确定", QMessageBox::AcceptRole, MessageAnswer::kOk}};
      break;
    case MessageButtons::kOkCancel:
      choices = {{"确定", QMessageBox::AcceptRole, MessageAnswer::kOk},
                 {"取消", QMessageBox::RejectRole, MessageAnswer::kCancel}};
      on_close = MessageAnswer::kCancel;
      break;
    case MessageButtons::kYesNo:
      choices = {{"是", QMessageBox::YesRole, MessageAnswer::kYes},
                 {"否", QMessageBox::NoRole, MessageAnswer::kNo}};
      on_close = MessageAnswer::kNo;
      break;
  }
  std::vector<QAbstractButton*> added;
  for (const Choice& choice : choices) {
    added.push_back(box.addButton(QString::fromUtf8(choice.caption), choice.role));
  }
  if (!added.empty()) box.setDefaultButton(static_cast<QPushButton*>(added.front()));
  box.exec();
  for (std::size_t i = 0; i < added.size(); ++i) {
    if (box.clickedButton() == added[i]) return choices[i].answer;
  }
  return on_close;
}

std::string QtUserPrompts::ChooseOpenFile(std::string_view filter) {
  return ToUtf8(QFileDialog::getOpenFileName(parent_, QString(), QString(), ToQtFilter(filter)));
}

std::string QtUserPrompts::ChooseSaveFile(std::string_view filter,
                                          std::string_view suggested_name) {
  return ToUtf8(QFileDialog::getSaveFileName(parent_, QString(), FromUtf8(suggested_name),
                                             ToQtFilter(filter)));
}

std::string QtUserPrompts::ClipboardText() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard ? ToUtf8(clipboard->text()) : std::string();
}

void QtUserPrompts::SetClipboardText(std::string_view text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(FromUtf8(text));
}

void QtUserPrompts::ClearClipboard() {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear();
}

void QtUserPrompts::OpenWebAddress(std::string_view address) {
  if (address.empty()) return;
  const QUrl url = QUrl::fromUserInput(FromUtf8(address));
  // The browser gets web addresses only; a file or another handler's scheme is never opened.
  const QString scheme = url.scheme();
  if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
    QDesktopServices::openUrl(url);
  }
}

std::optional<std::string> QtUserPrompts::AskText(std::string_view caption, std::string_view label,
                                                  std::string_view initial) {
  QInputDialog dialog(parent_);
  dialog.setWindowTitle(FromUtf8(caption));
  dialog.setLabelText(FromUtf8(label));
  dialog.setTextValue(FromUtf8(initial));
  dialog.setOkButtonText(QString::fromUtf8("确定"));
  dialog.setCancelButtonText(QString::fromUtf8("取消"));
  dialog.resize(480, dialog.sizeHint().height());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return ToUtf8(dialog.textValue());
}

bool QtUserPrompts::ShowTrayMessage(std::string_view title, std::string_view text) {
  if (tray_ == nullptr || !tray_->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable()) {
    return false;
  }
  tray_->showMessage(FromUtf8(title), FromUtf8(text), QSystemTrayIcon::Information, 5000);
  return true;
}

}  // namespace lumvex
