// The settings dialog "IP代理验证设置": the two numbers (copied live into the main window's hidden
// fields) and the three checkboxes; "确 定" writes them through the SettingsController and, when a
// file could not be written, says which and stays open.
#pragma once

#include <QDialog>

#include "app/settings_controller.h"
#include "config/user_prompts.h"

class QCheckBox;
class QLineEdit;

namespace lumvex {

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // The created handler runs here. `prompts` shows the message of a save that failed.
  SettingsDialog(SettingsController& controller, UserPrompts& prompts, QWidget* parent);

  SettingsChoices Choices() const;

 private:
  void OnConfirm();

  SettingsController& controller_;
  UserPrompts& prompts_;
  QLineEdit* fetch_count_ = nullptr;    // 编辑框2
  QLineEdit* thread_count_ = nullptr;   // 编辑框1
  QCheckBox* autostart_ = nullptr;      // 选择框1
  QCheckBox* tray_ = nullptr;           // 选择框2
  QCheckBox* run_ = nullptr;            // 选择框3
  QLineEdit* strict_url_ = nullptr;     // 编辑框3, "验证网址"
  QLineEdit* strict_expect_ = nullptr;  // 编辑框4, "必须包含"
  QLineEdit* strict_judge_ = nullptr;   // 编辑框5, "匿名检测网址"
};

}  // namespace lumvex
