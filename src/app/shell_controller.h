// The application shell: start-up and exit, closing, tray events, the window-state operations,
// the list's context-menu rules, copying, and routing of commands and menu items to handlers.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window_controls.h"
#include "app/main_window_state.h"
#include "app/window_session.h"
#include "config/user_prompts.h"
#include "proxylist/agent_file.h"
#include "proxylist/proxy_entry.h"
#include "proxylist/proxy_list.h"
#include "settings/data_dir.h"

namespace lumvex {

struct ShellConfig {
  std::string run_directory;  // directory of the executable (leftover clean-up)
  DataDir data_dir{"data"};   // where the list and settings files live
  // --data-dir as the command line gave it; unset when the default directory is used.
  std::optional<std::string> data_dir_given;
  bool tray_available = true;  // false where the desktop has no system tray
  std::string running_executable = "/proc/self/exe";
  // The list file's rows when they were read ahead (start-up reads the file while the window is
  // built); unset: the file is read at its step of the start-up sequence.
  std::function<std::optional<AgentFileContent>()> read_list_ahead;
};

// Steps that other controllers and the Qt window plug in. Unset hooks are skipped.
struct ShellHooks {
  std::function<void()> before_startup;           // start-up, first: recover from an unclean end
  std::function<void()> start_source_loaders;     // start-up: fill the source selectors
  std::function<void()> apply_manifest_settings;  // start-up: manifest and link labels
  std::function<void()> restore_system_proxy;     // start-up: saved system proxy
  std::function<void()> check_new_version;        // start-up: newer-version notice
  std::function<void()> switch_system_proxy_off;  // exit: proxy off, indicators reset
  std::function<void()> close_dialogs;            // exit: proxy edit dialog, update window (UI)
  std::function<void()> destroy_main_window;      // exit: only while the window exists (UI)
};

// Said once a run when the close button minimises the window of a desktop without a tray.
inline constexpr std::string_view kNoTrayCloseNotice =
    "桌面没有系统托盘：关闭按钮把窗口最小化到任务栏，程序继续运行。\n"
    "单击窗口中的代理状态图片（或右击窗口空白处）打开托盘菜单，其中“退出程序”结束程序。  ";

// All methods run on the UI thread (they are widget event handlers).
class ShellController {
 public:
  // `state`, `session`, `list` and `prompts` must outlive the controller.
  ShellController(MainWindowState& state, WindowSession& session, ProxyList& list,
                  UserPrompts& prompts, ShellConfig config, ShellHooks hooks = {});
  ShellController(const ShellController&) = delete;
  ShellController& operator=(const ShellController&) = delete;

  ShellHooks& Hooks() { return hooks_; }
  // What the window's runs go by beyond its controls (the About window reads it too).
  WindowSession& Session() { return session_; }

  // The main window's created handler.
  void StartupSequence();
  // Loads the agent file into the list and shows its count (start-up step).
  void LoadProxyList();
  // Reads the settings files into the session (WindowSession::Load) and applies the start-in-tray
  // preference (start-up step).
  void LoadNumbersAndTray();
  // Removes the executables of earlier versions (start-up step).
  void RemoveLeftovers();

  // Proxy off (hook), save the list, close dialogs (hook), destroy the window if it still exists
  // (hook). Safe to run more than once.
  void ExitSequence();
  // Title-bar close: minimise and refuse (false). With a tray the window hides in it; without one
  // it is minimised to the taskbar, so the proxy and its guard stay on as they would with a tray,
  // and the first time a run does so a message says where the tray's menu is.
  bool OnCloseRequested();
  // The window is being destroyed: runs the exit sequence (again).
  void OnMainWindowDestroyed();
  // The window was minimised by its title bar (kMinimised): with a tray it is hidden, without one
  // it stays in the taskbar.
  void OnWindowMinimised();
  // The desktop brought a minimised window back (no tray: from the taskbar).
  void OnWindowRestoredByDesktop();

  // Hidden and out of the taskbar; without a tray minimised to the taskbar instead (kMinimised),
  // from where the window can be brought back.
  void MinimiseToTray();
  void RestoreFromTray();

  // A click on the proxy status picture: without a tray it stands in for the tray icon, so the
  // tray menu's enabling is applied and true says the UI should pop up the tray menu there.
  bool OnProxyPictureClicked();
  bool TrayAvailable() const { return config_.tray_available; }

  // Tray notification: 1 left click (nothing), 2 double click (toggle), 3 right click or menu key
  // (sets the tray-menu enabling). True when the UI should pop up the tray menu.
  bool OnTrayEvent(int kind);
  // Right button over the list: applies the context-menu enabling; true when the UI should pop up
  // the menu.
  bool ShowListContextMenu();
  // Column 0 + ":" + column 1 of the current row to the clipboard; nothing without a current row.
  void CopyCurrentRow();

  // The source radio buttons.
  void OnSourceChosen(SourceChoice choice);
  // A link label was clicked: opens its target when it is an http or https address.
  void OnLinkClicked(Link link);

  // Routing: the UI calls these on clicks; handlers registered by other controllers (or the UI)
  // run. Built in: 复制选定IP(&C), 退出程序, 弹出窗口, 最小化 and the web-site item. Items without
  // a handler do nothing.
  void OnCommand(Command command);
  void OnContextItem(ContextItem item);
  void OnTrayItem(TrayItem item);
  void SetCommandHandler(Command command, std::function<void()> handler);
  void SetContextItemHandler(ContextItem item, std::function<void()> handler);
  void SetTrayItemHandler(TrayItem item, std::function<void()> handler);

  bool MainWindowExists() const { return window_exists_; }
  // How many times the exit sequence has run.
  int ExitCount() const { return exit_count_; }

 private:
  void RunHook(const std::function<void()>& hook);
  void OpenTrayWebAddress();
  // Opens `address` in the browser when it is a web address (BrowsableWebAddress); else nothing.
  void OpenWebAddress(const std::string& address);

  MainWindowState& state_;
  WindowSession& session_;
  ProxyList& list_;
  UserPrompts& prompts_;
  ShellConfig config_;
  ShellHooks hooks_;
  bool window_exists_ = true;
  bool close_notice_shown_ = false;
  int exit_count_ = 0;
  std::array<std::function<void()>, kCommandCount> command_handlers_;
  std::array<std::function<void()>, kContextItemCount> context_handlers_;
  std::array<std::function<void()>, kTrayItemCount> tray_handlers_;
};

}  // namespace lumvex
