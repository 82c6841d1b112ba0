// The parts of the program a Qt test puts together: UI thread, list, view-model, shell
// controller with recording prompts, and the main window over them.
#pragma once

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window_state.h"
#include "app/shell_controller.h"
#include "app/window_session.h"
#include "proxylist/proxy_list.h"
#include "support/verdict_rows.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/qt_ui_thread.h"
#include "ui/qt_user_prompts.h"

namespace lumvex::test {

// Real clipboard and dialogs, but web addresses are recorded instead of opened.
class RecordingPrompts : public QtUserPrompts {
 public:
  void OpenWebAddress(std::string_view address) override { opened.emplace_back(address); }
  std::vector<std::string> opened;
};

inline ProxyEntry Row(std::string ip, std::string port, std::string type = "HTTP") {
  ProxyEntry entry;
  entry.cells = {std::move(ip), std::move(port), std::move(type), "0.5", "北京", "1天"};
  return WithVerdict(std::move(entry));
}

struct UiRig {
  explicit UiRig(bool tray_available) {
    ShellConfig config;
    config.run_directory = dir.path().toStdString();
    config.data_dir = DataDir(dir.path().toStdString());
    config.tray_available = tray_available;
    shell = std::make_unique<ShellController>(state, session, list, prompts, config);
    window = std::make_unique<MainWindow>(state, *shell, list);
    prompts.SetParent(window.get());
    shell->Hooks().close_dialogs = [this] { window->CloseDialogs(); };
    shell->Hooks().destroy_main_window = [this] {
      window->PrepareForExit();
      ++destroy_calls;
    };
  }
  ~UiRig() {
    window.reset();
    ui.Close();
  }

  std::string AgentFile() const { return dir.path().toStdString() + "/The agent"; }

  QTemporaryDir dir;
  QtUiThread ui;
  ProxyList list{ui};
  MainWindowState state{ui};
  WindowSession session;
  RecordingPrompts prompts;
  std::unique_ptr<ShellController> shell;
  std::unique_ptr<MainWindow> window;
  int destroy_calls = 0;
};

using ::lumvex::Q;

}  // namespace lumvex::test
