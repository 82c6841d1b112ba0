// The dialogs and desktop services the core needs: message boxes, file choosers, the clipboard
// and the web browser. The Qt front end implements it; tests use a scripted fake.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumvex {

enum class MessageButtons : int { kOk = 0, kOkCancel, kYesNo };
enum class MessageIcon : int { kNone = 0, kInformation, kQuestion, kWarning };
enum class MessageAnswer : int { kOk = 0, kCancel, kYes, kNo };

// Filter of the text-file dialogs, in the "description|pattern" form.
inline constexpr std::string_view kTextFileFilter = "文本(*.txt)|*.txt";

// Calls come from the UI thread only.
class UserPrompts {
 public:
  virtual ~UserPrompts() = default;

  // Modal message box; closing it without a button gives kCancel (kNo for kYesNo, kOk for kOk).
  virtual MessageAnswer ShowMessage(std::string_view caption, std::string_view text,
                                    MessageButtons buttons, MessageIcon icon) = 0;

  // Open-file dialog; the chosen path, or empty when cancelled.
  virtual std::string ChooseOpenFile(std::string_view filter) = 0;
  // Save-file dialog starting with `suggested_name`; the chosen path, or empty when cancelled.
  virtual std::string ChooseSaveFile(std::string_view filter, std::string_view suggested_name) = 0;

  // Clipboard text; empty when the clipboard is empty or holds no text.
  virtual std::string ClipboardText() = 0;
  virtual void SetClipboardText(std::string_view text) = 0;
  virtual void ClearClipboard() = 0;

  // Opens the address in the default browser; failures are silent.
  virtual void OpenWebAddress(std::string_view address) = 0;

  // Modal one-line input box prefilled with `initial`; the text typed, or nullopt when cancelled.
  virtual std::optional<std::string> AskText(std::string_view /*caption*/,
                                             std::string_view /*label*/,
                                             std::string_view /*initial*/) {
    return std::nullopt;
  }

  // A passing message at the tray icon (a balloon); false when there is no tray to show it at,
  // so the caller can put the text elsewhere.
  virtual bool ShowTrayMessage(std::string_view /*title*/, std::string_view /*text*/) {
    return false;
  }
};

}  // namespace lumvex
