// The settings dialog "IP代理验证设置": what it shows when it opens, the live copy of the two
// numbers into the window's session, and what "确 定" writes (the two plain files, the three INI
// files, the strict rule and the autostart entry; the strict rule into the session as well). All
// methods run on the UI thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window_state.h"
#include "app/window_session.h"
#include "platform/autostart.h"
#include "settings/settings.h"
#include "validate/strict_check.h"
#include "validate/validation_run.h"

namespace lumvex {

inline constexpr std::string_view kSettingsDialogTitle = "IP代理验证设置";
// The most checks (and source-A page fetches) at once, as `check --threads` takes them.
inline constexpr int kMostThreads = ValidationRun::kMaxThreads;
// Shown when "确 定" finds a thread count outside 1 to kMostThreads; the dialog stays open.
inline constexpr std::string_view kThreadCountRefused = "线程数必须是1到10000之间的数字！";

// Whether "确 定" takes the thread count as typed: empty (the default is used) or decimal digits
// giving 1 to kMostThreads. A file may have brought in anything else, which is refused as well.
bool ThreadCountAccepted(std::string_view text);

// First line of the message shown when "确 定" could not write everything; the paths follow.
inline constexpr std::string_view kSettingsNotSaved = "设置未能保存，以下文件无法写入：";

// The message naming the files that could not be written.
std::string SettingsNotSavedMessage(const std::vector<std::string>& failed_paths);

// The dialog's contents.
struct SettingsDialogValues {
  // nullopt: the file is absent and the field keeps its form value (empty).
  std::optional<std::string> fetch_count;   // 编辑框2, "agent number"
  std::optional<std::string> thread_count;  // 编辑框1, "thread"
  bool autostart = false;                   // 选择框1, mirrored in "Powered up"
  bool start_in_tray = false;               // 选择框2, "tray"
  // 选择框3, key "run" of "IE Agent": nullopt when neither "yes" nor "no" (form value kept).
  std::optional<bool> switch_proxy_on_start;
  // Both number fields are enabled only while source A (单选框1) is chosen.
  bool numbers_enabled = false;
  // What an empty field means, shown in it while it is empty: the proxies one source-A page
  // brings (a count of 0 fetches one page) and the default thread count.
  std::string fetch_count_in_force;
  std::string thread_count_in_force;
};

// What "确 定" takes from the dialog.
struct SettingsChoices {
  std::string fetch_count;
  std::string thread_count;
  bool autostart = false;
  bool start_in_tray = false;
  bool switch_proxy_on_start = false;
};

class SettingsController {
 public:
  // `state`, `session`, and what `autostart` points at, must outlive the controller.
  SettingsController(MainWindowState& state, WindowSession& session, DataDir data_dir,
                     Autostart autostart);

  // The dialog's created handler.
  SettingsDialogValues Load() const;
  // Content of 编辑框2 / 编辑框1 changed: copied at once into the session, whatever the dialog's
  // end.
  void OnFetchCountEdited(const std::string& text);
  void OnThreadCountEdited(const std::string& text);
  // "确 定": writes everything it can; returns the paths of the files (and the autostart entry)
  // that could not be written or removed, empty when all went well.
  std::vector<std::string> Confirm(const SettingsChoices& choices);
  // The third group "严格验证" ("\data\strict"): shown when the dialog opens, written by "确 定"
  // and then taken by the session (the next run checks by it); returns the path of the file when
  // it could not be written, and the session keeps the rule it had.
  StrictRule LoadStrictRule() const;
  std::vector<std::string> ConfirmStrictRule(const StrictRule& rule);

  const Autostart& AutostartEntry() const { return autostart_; }

 private:
  MainWindowState& state_;
  WindowSession& session_;
  Settings settings_;
  Autostart autostart_;
};

}  // namespace lumvex
