// The parts the list commands work on, put together on a headless UI thread with scripted prompts.
#pragma once

#include <string>
#include <vector>

#include "app/list_commands_controller.h"
#include "app/main_window_state.h"
#include "app/main_window_state_observer.h"
#include "platform/headless_ui_thread.h"
#include "proxylist/proxy_list.h"
#include "support/scripted_prompts.h"
#include "support/verdict_rows.h"
#include "temp_dir.h"

namespace lumvex::testing {

inline ProxyEntry Entry(std::string address, std::string port, std::string verdict = "HTTP",
                        std::string location = "") {
  ProxyEntry entry;
  entry.cells = {
      std::move(address), std::move(port), std::move(verdict), "", std::move(location), ""};
  return WithVerdict(std::move(entry));
}

// Every status text in the order it was shown (observers run on the UI thread).
class StatusRecorder : public MainWindowStateObserver {
 public:
  explicit StatusRecorder(MainWindowState& state) : state_(state) {}
  void OnStateChanged(ControlId control) override {
    if (control == control::kStatusLine) shown.push_back(state_.Text(control::kStatusLine));
  }
  std::vector<std::string> shown;

 private:
  MainWindowState& state_;
};

struct ListRig {
  ListRig() {
    ui.RunSync([this] { state.AddObserver(&statuses); });
  }
  ~ListRig() {
    commands.WaitIdle();
    ui.RunSync([this] { state.RemoveObserver(&statuses); });
    ui.Close();
  }
  // The status texts shown so far.
  std::vector<std::string> Statuses() {
    std::vector<std::string> copy;
    ui.RunSync([&] { copy = statuses.shown; });
    return copy;
  }

  std::vector<std::string> Addresses() const {
    std::vector<std::string> out;
    for (const ProxyEntry& row : list.Snapshot()) out.push_back(row.cells[kColAddress]);
    return out;
  }

  // Runs `fn` as a handler on the UI thread, as a click does.
  template <typename Fn>
  void OnUi(Fn fn) {
    ui.RunSync([&] { fn(); });
  }

  TempDir dir;
  HeadlessUiThread ui;
  ProxyList list{ui};
  MainWindowState state{ui};
  StatusRecorder statuses{state};
  ScriptedPrompts prompts;
  ListCommandsController commands{ui, state, list, prompts};
};

}  // namespace lumvex::testing
