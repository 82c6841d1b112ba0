// Change notifications of MainWindowState, delivered on the UI thread after the change is made.
#pragma once

namespace lumvex {

// What changed; the observer re-reads that part of the state. `index` names the one command,
// item, combo, counter, label, link or field that changed (cast of its enum), -1 for the others.
enum class StateChangeKind : int {
  kCommandEnabled = 0,  // index: Command
  kContextItemEnabled,  // index: ContextItem
  kTrayItemEnabled,     // index: TrayItem
  kTrayItemCaption,     // index: TrayItem (kWebSite or kSavedProxy)
  kSavedProxyItem,      // visibility or check of "代理IE一" and its separator
  kStatus,              // 编辑框3
  kCounter,             // index: Counter
  kField,               // index: Field
  kCombo,               // index: Combo; items, chosen index or enabled flag
  kSourceChoice,        // which radio button is checked
  kRadioEnabled,        // index: Radio
  kLabel,               // index: Label
  kLink,                // index: Link; caption, target or visibility
  kTrayIcon,            // tray icon kind or tooltip
  kProxyPicture,        // 图片框1 kind or visibility
  kWindowIcon,          // window icon kind
  kWindowMode,          // normal / minimised to tray / minimised
  kTimer,               // 时钟1 interval
  kGuardItem,           // check of "自动切换代理"
};

struct StateChange {
  StateChangeKind kind;
  int index = -1;

  friend bool operator==(const StateChange&, const StateChange&) = default;
};

class MainWindowStateObserver {
 public:
  virtual ~MainWindowStateObserver() = default;
  virtual void OnStateChanged(const StateChange& change) = 0;
};

}  // namespace lumvex
