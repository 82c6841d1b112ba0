// UserPrompts through Qt: message boxes, file dialogs, the clipboard and the desktop's browser.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "config/user_prompts.h"

class QSystemTrayIcon;
class QWidget;

namespace lumvex {

class QtUserPrompts : public UserPrompts {
 public:
  // Dialogs are owned by `parent` (may be null; set later with SetParent).
  explicit QtUserPrompts(QWidget* parent = nullptr) : parent_(parent) {}

  void SetParent(QWidget* parent) { parent_ = parent; }
  // The tray icon that shows tray messages (null: none; the messages then go elsewhere).
  void SetTrayIcon(QSystemTrayIcon* tray) { tray_ = tray; }

  MessageAnswer ShowMessage(std::string_view caption, std::string_view text, MessageButtons buttons,
                            MessageIcon icon) override;
  std::string ChooseOpenFile(std::string_view filter) override;
  std::string ChooseSaveFile(std::string_view filter, std::string_view suggested_name) override;
  std::string ClipboardText() override;
  void SetClipboardText(std::string_view text) override;
  void ClearClipboard() override;
  void OpenWebAddress(std::string_view address) override;
  std::optional<std::string> AskText(std::string_view caption, std::string_view label,
                                     std::string_view initial) override;
  bool ShowTrayMessage(std::string_view title, std::string_view text) override;

  // "desc|pattern|desc2|pattern2" as a QFileDialog filter: "desc;;desc2", where each
  // description shows its pattern in parentheses (added when it does not already).
  static QString ToQtFilter(std::string_view filter);

 private:
  QWidget* parent_;
  QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace lumvex
