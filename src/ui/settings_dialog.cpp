#include "ui/settings_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "config/strict_settings.h"
#include "ui/qt_text.h"

namespace lumvex {
namespace {

// An integer text box: digits only when typed (a loaded file may hold anything).
QLineEdit* IntegerBox(QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
  return box;
}

}  // namespace

SettingsDialog::SettingsDialog(SettingsController& controller, UserPrompts& prompts,
                               QWidget* parent)
    : QDialog(parent), controller_(controller), prompts_(prompts) {
  setObjectName(Q(kSettingsDialogTitle));
  setWindowTitle(Q(kSettingsDialogTitle));
  // The two groups, the group "严格验证" below them, and the buttons last.
  setFixedSize(384, 240);

  auto* numbers = Place(new QGroupBox(this), "分组框2", 8, 8, 184, 88);
  Place(new QLabel(QString::fromUtf8("获取IP个数："), numbers), "透明标签2", 10, 19, 70, 16);
  fetch_count_ = Place(IntegerBox(numbers), "编辑框2", 88, 16, 80, 20);
  Place(new QLabel(QString::fromUtf8("线程数："), numbers), "透明标签1", 34, 57, 46, 16);
  thread_count_ = Place(IntegerBox(numbers), "编辑框1", 88, 54, 80, 20);

  auto* choices = Place(new QGroupBox(this), "分组框1", 200, 8, 176, 88);
  autostart_ =
      Place(new QCheckBox(QString::fromUtf8("开机自动启动"), choices), "选择框1", 8, 16, 96, 16);
  tray_ = Place(new QCheckBox(QString::fromUtf8("启动后最小化到托盘"), choices), "选择框2", 8, 40,
                136, 16);
  run_ = Place(new QCheckBox(QString::fromUtf8("启动后自动开启代理"), choices), "选择框3", 8, 64,
               136, 16);

  // The strict check: empty fields keep the usual check.
  auto* strict =
      Place(new QGroupBox(QString::fromUtf8("严格验证"), this), "分组框3", 8, 104, 368, 96);
  Place(new QLabel(QString::fromUtf8("验证网址："), strict), "透明标签3", 10, 23, 70, 16);
  strict_url_ = Place(new QLineEdit(strict), "编辑框3", 88, 20, 268, 20);
  strict_url_->setPlaceholderText(QStringLiteral("http://"));
  Place(new QLabel(QString::fromUtf8("必须包含："), strict), "透明标签4", 10, 47, 70, 16);
  strict_expect_ = Place(new QLineEdit(strict), "编辑框4", 88, 44, 268, 20);
  // A judge (a page that echoes the request) fetched through each proxy: its anonymity.
  Place(new QLabel(QString::fromUtf8("匿名检测网址："), strict), "透明标签5", 4, 71, 82, 16);
  strict_judge_ = Place(new QLineEdit(strict), "编辑框5", 88, 68, 268, 20);
  strict_judge_->setPlaceholderText(QStringLiteral("http://"));

  auto* confirm =
      Place(new QPushButton(QString::fromUtf8("确 定"), this), "按钮1", 112, 208, 72, 24);
  auto* leave = Place(new QPushButton(QString::fromUtf8("退 出"), this), "按钮2", 200, 208, 72, 24);
  confirm->setDefault(true);
  connect(confirm, &QPushButton::clicked, this, &SettingsDialog::OnConfirm);
  connect(leave, &QPushButton::clicked, this, &QDialog::reject);

  // Every change of a number reaches the main window's hidden field at once, also the fill
  // below and also when the dialog is then left with "退 出".
  connect(fetch_count_, &QLineEdit::textChanged, this,
          [this](const QString& text) { controller_.OnFetchCountEdited(U(text)); });
  connect(thread_count_, &QLineEdit::textChanged, this,
          [this](const QString& text) { controller_.OnThreadCountEdited(U(text)); });

  // Dialog created.
  const SettingsDialogValues values = controller_.Load();
  if (values.fetch_count) fetch_count_->setText(Q(*values.fetch_count));
  if (values.thread_count) thread_count_->setText(Q(*values.thread_count));
  autostart_->setChecked(values.autostart);
  tray_->setChecked(values.start_in_tray);
  if (values.switch_proxy_on_start) run_->setChecked(*values.switch_proxy_on_start);
  const StrictRule strict_rule = controller_.LoadStrictRule();
  strict_url_->setText(Q(strict_rule.url));
  strict_expect_->setText(Q(strict_rule.expect));
  strict_judge_->setText(Q(strict_rule.judge));
  fetch_count_->setPlaceholderText(Q(values.fetch_count_in_force));
  thread_count_->setPlaceholderText(Q(values.thread_count_in_force));
  fetch_count_->setEnabled(values.numbers_enabled);
  thread_count_->setEnabled(values.numbers_enabled);
}

SettingsChoices SettingsDialog::Choices() const {
  return {U(fetch_count_->text()), U(thread_count_->text()), autostart_->isChecked(),
          tray_->isChecked(), run_->isChecked()};
}

void SettingsDialog::OnConfirm() {
  // A disabled field holds what the file held and the user cannot change it there: it is kept.
  if (thread_count_->isEnabled() && !ThreadCountAccepted(U(thread_count_->text()))) {
    prompts_.ShowMessage(kSettingsDialogTitle, std::string(kThreadCountRefused),
                         MessageButtons::kOk, MessageIcon::kWarning);
    thread_count_->setFocus();
    thread_count_->selectAll();
    return;
  }
  // An https check address would bypass every proxy: refused before anything is written.
  if (!StrictUrlAccepted(U(strict_url_->text()))) {
    prompts_.ShowMessage(kSettingsDialogTitle, std::string(kStrictUrlRefused), MessageButtons::kOk,
                         MessageIcon::kWarning);
    strict_url_->setFocus();
    return;
  }
  if (!StrictUrlAccepted(U(strict_judge_->text()))) {
    prompts_.ShowMessage(kSettingsDialogTitle, std::string(kJudgeUrlRefused), MessageButtons::kOk,
                         MessageIcon::kWarning);
    strict_judge_->setFocus();
    return;
  }
  std::vector<std::string> failed = controller_.Confirm(Choices());
  StrictRule rule;
  rule.url = U(strict_url_->text());
  rule.expect = U(strict_expect_->text());
  rule.judge = U(strict_judge_->text());
  const std::vector<std::string> strict_failed = controller_.ConfirmStrictRule(rule);
  failed.insert(failed.end(), strict_failed.begin(), strict_failed.end());
  if (!failed.empty()) {
    // The dialog stays open with the choices, so they can be saved again once the way is clear.
    prompts_.ShowMessage(kSettingsDialogTitle, SettingsNotSavedMessage(failed), MessageButtons::kOk,
                         MessageIcon::kWarning);
    return;
  }
  accept();
}

}  // namespace lumvex
