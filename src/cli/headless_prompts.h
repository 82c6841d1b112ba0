// The prompts of the headless subcommands: there is nobody to ask, so every question gets its
// default answer and the desktop services do nothing.
#pragma once

#include <string>
#include <string_view>

#include "config/user_prompts.h"

namespace lumvex::cli {

class HeadlessPrompts : public UserPrompts {
 public:
  MessageAnswer ShowMessage(std::string_view, std::string_view, MessageButtons buttons,
                            MessageIcon) override {
    return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kCancel;
  }
  std::string ChooseOpenFile(std::string_view) override { return {}; }
  std::string ChooseSaveFile(std::string_view, std::string_view) override { return {}; }
  std::string ClipboardText() override { return {}; }
  void SetClipboardText(std::string_view) override {}
  void ClearClipboard() override {}
  void OpenWebAddress(std::string_view) override {}
};

}  // namespace lumvex::cli
