// A UserPrompts for tests: records every call and answers from scripts queued in advance.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/user_prompts.h"

namespace lumvex::testing {

class ScriptedPrompts : public UserPrompts {
 public:
  struct Message {
    std::string caption;
    std::string text;
    MessageButtons buttons;
    MessageIcon icon;
  };
  struct FileRequest {
    bool save;
    std::string filter;
    std::string suggested_name;
  };

  // Answers are taken in order; when a queue runs dry the default answer is given (OK / Yes for
  // message boxes, a cancelled dialog for file choosers).
  void QueueAnswer(MessageAnswer answer) { answers_.push_back(answer); }
  void QueueFile(std::string path) { files_.push_back(std::move(path)); }

  MessageAnswer ShowMessage(std::string_view caption, std::string_view text, MessageButtons buttons,
                            MessageIcon icon) override {
    messages.push_back({std::string(caption), std::string(text), buttons, icon});
    if (!answers_.empty()) {
      MessageAnswer answer = answers_.front();
      answers_.pop_front();
      return answer;
    }
    return buttons == MessageButtons::kYesNo ? MessageAnswer::kYes : MessageAnswer::kOk;
  }

  std::string ChooseOpenFile(std::string_view filter) override {
    file_requests.push_back({false, std::string(filter), ""});
    return NextFile();
  }

  std::string ChooseSaveFile(std::string_view filter, std::string_view suggested_name) override {
    file_requests.push_back({true, std::string(filter), std::string(suggested_name)});
    return NextFile();
  }

  std::string ClipboardText() override {
    ++clipboard_reads;
    return clipboard;
  }
  void SetClipboardText(std::string_view text) override {
    ++clipboard_writes;
    clipboard = std::string(text);
  }
  void ClearClipboard() override {
    ++clipboard_clears;
    clipboard.clear();
  }

  void OpenWebAddress(std::string_view address) override {
    opened_addresses.push_back(std::string(address));
  }

  // Input boxes: answered from QueueText in order; cancelled when the queue is empty.
  void QueueText(std::optional<std::string> text) { texts_.push_back(std::move(text)); }
  std::optional<std::string> AskText(std::string_view caption, std::string_view label,
                                     std::string_view initial) override {
    text_requests.push_back({std::string(caption), std::string(label), std::string(initial)});
    if (texts_.empty()) return std::nullopt;
    std::optional<std::string> text = std::move(texts_.front());
    texts_.pop_front();
    return text;
  }
  struct TextRequest {
    std::string caption;
    std::string label;
    std::string initial;
  };
  std::vector<TextRequest> text_requests;

  // Tray messages: recorded and answered with `tray_shown` (false: as if there were no tray).
  bool ShowTrayMessage(std::string_view title, std::string_view text) override {
    tray_messages.push_back({std::string(title), std::string(text)});
    return tray_shown;
  }
  struct TrayMessage {
    std::string title;
    std::string text;
  };
  std::vector<TrayMessage> tray_messages;
  bool tray_shown = true;

  // What happened, for the assertions.
  std::vector<Message> messages;
  std::vector<FileRequest> file_requests;
  std::vector<std::string> opened_addresses;
  std::string clipboard;
  int clipboard_reads = 0;
  int clipboard_writes = 0;
  int clipboard_clears = 0;

 private:
  std::string NextFile() {
    if (files_.empty()) return "";
    std::string path = std::move(files_.front());
    files_.pop_front();
    return path;
  }

  std::deque<MessageAnswer> answers_;
  std::deque<std::string> files_;
  std::deque<std::optional<std::string>> texts_;
};

}  // namespace lumvex::testing
