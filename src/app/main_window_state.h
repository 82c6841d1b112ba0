// The main window as data: every control state the program reads or changes. The Qt window
// observes it and mirrors it into widgets; controllers change it and the ProxyList.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/main_window_controls.h"
#include "app/main_window_state_observer.h"
#include "platform/ui_thread.h"

namespace lumvex {

struct ComboItem {
  std::string text;
  int data = 0;

  friend bool operator==(const ComboItem&, const ComboItem&) = default;
};

struct ComboState {
  std::vector<ComboItem> items;
  int chosen = -1;  // -1 when nothing is chosen
  bool enabled = true;
};

struct LinkState {
  std::string caption;
  std::string target;  // web address opened on click; empty opens nothing
  bool visible = true;
};

// Caption of the tray menu's web-site item until the update manifest replaces it.
inline constexpr std::string_view kDefaultWebSiteCaption = "www.lumvex.example.com";
// Tray tooltip while no proxy is active (also the autostart value name).
inline constexpr std::string_view kIdleTrayTooltip = "LumvexIP代理验证";

// Every method may be called from any thread: calls from other threads run as one step on the UI
// thread through UiThread::RunSync (and do nothing once it has been closed). Observers are
// notified on the UI thread after each change that actually changes something.
class MainWindowState {
 public:
  explicit MainWindowState(UiThread& ui);
  MainWindowState(const MainWindowState&) = delete;
  MainWindowState& operator=(const MainWindowState&) = delete;

  // Add and remove on the UI thread.
  void AddObserver(MainWindowStateObserver* observer);
  void RemoveObserver(MainWindowStateObserver* observer);

  // Command buttons.
  bool IsCommandEnabled(Command command) const;
  void SetCommandEnabled(Command command, bool enabled);
  // Several buttons in one UI-thread step, in the given order.
  void SetCommandsEnabled(const std::vector<Command>& commands, bool enabled);

  // Context-menu and tray-menu items.
  bool IsContextItemEnabled(ContextItem item) const;
  void SetContextItemEnabled(ContextItem item, bool enabled);
  bool IsTrayItemEnabled(TrayItem item) const;
  void SetTrayItemEnabled(TrayItem item, bool enabled);
  std::string TrayItemCaption(TrayItem item) const;
  void SetTrayItemCaption(TrayItem item, std::string caption);

  // The saved-proxy item "代理IE一" and the separator above it: hidden at load, shown together.
  bool SavedProxyVisible() const;
  bool SavedProxySeparatorVisible() const;
  bool SavedProxyChecked() const;
  void SetSavedProxyVisible(bool visible);  // the item and its separator
  void SetSavedProxyChecked(bool checked);

  // The checkable tray item "自动切换代理" (the proxy guard): unchecked at load.
  bool GuardChecked() const;
  void SetGuardChecked(bool checked);

  // The status line 编辑框3.
  std::string Status() const;
  void SetStatus(std::string text);

  // Counters: decimal text, "0" at load.
  std::string CounterText(Counter counter) const;
  void SetCounter(Counter counter, std::string text);
  void SetCounterValue(Counter counter, std::int64_t value);

  // Hidden fields FetchCountField / ThreadCountField, as typed; empty at load.
  std::string FieldText(Field field) const;
  void SetFieldText(Field field, std::string text);

  // Combo boxes: empty and enabled at load.
  ComboState GetCombo(Combo combo) const;
  // Text of the chosen item, empty when nothing is chosen.
  std::string ComboDisplayedText(Combo combo) const;
  void ClearCombo(Combo combo);
  void AddComboItem(Combo combo, ComboItem item);
  void SetComboItems(Combo combo, std::vector<ComboItem> items);  // chosen becomes -1
  // Out-of-range indexes other than -1 are ignored.
  void SetComboChosen(Combo combo, int index);
  void SetComboEnabled(Combo combo, bool enabled);

  // Radio buttons.
  SourceChoice GetSourceChoice() const;
  void SetSourceChoice(SourceChoice choice);
  // Checks the radio button and applies its combo enabling: source A enables 组合框2 and disables
  // 组合框3 and 组合框4; source B the reverse. kNone only clears the choice.
  void ApplySourceSelection(SourceChoice choice);
  bool IsRadioEnabled(Radio radio) const;
  void SetRadioEnabled(Radio radio, bool enabled);
  // While a harvest or a validation runs: 组合框2 and both radio buttons disabled.
  void LockSourceSelectors();
  // When it ends: both radio buttons enabled, and the chosen source's combo boxes (source A:
  // 组合框2; otherwise 组合框3 and 组合框4).
  void UnlockSourceSelectors();

  // Labels and link labels.
  std::string LabelText(Label label) const;
  void SetLabelText(Label label, std::string text);
  LinkState GetLink(Link link) const;
  void SetLink(Link link, std::string caption, std::string target);
  void SetLinkVisible(Link link, bool visible);

  // Tray icon: not in place until start-up puts it there.
  bool TrayIconPlaced() const;
  void SetTrayIconPlaced(bool placed);
  ProxyIndicator TrayIconKind() const;
  std::string TrayTooltip() const;
  void SetTrayIcon(ProxyIndicator kind, std::string tooltip);

  // Proxy status picture 图片框1 and the window icon.
  ProxyIndicator ProxyPictureKind() const;
  bool ProxyPictureVisible() const;
  void SetProxyPicture(ProxyIndicator kind);
  void SetProxyPictureVisible(bool visible);
  ProxyIndicator WindowIconKind() const;
  void SetWindowIcon(ProxyIndicator kind);

  WindowMode GetWindowMode() const;
  void SetWindowMode(WindowMode mode);

  // Interval of 时钟1 in milliseconds; 0 = stopped (at load).
  int TimerInterval() const;
  void SetTimerInterval(int milliseconds);

 private:
  struct Data {
    std::array<bool, kCommandCount> command_enabled{};
    std::array<bool, kContextItemCount> context_enabled{};
    std::array<bool, kTrayItemCount> tray_enabled{};
    std::array<std::string, kTrayItemCount> tray_caption;
    bool saved_proxy_visible = false;
    bool saved_proxy_separator_visible = false;
    bool saved_proxy_checked = false;
    bool guard_checked = false;
    std::string status;
    std::array<std::string, kCounterCount> counters;
    std::array<std::string, kFieldCount> fields;
    std::array<ComboState, kComboCount> combos;
    SourceChoice source_choice = SourceChoice::kNone;
    std::array<bool, kRadioCount> radio_enabled{};
    std::array<std::string, kLabelCount> labels;
    std::array<LinkState, kLinkCount> links;
    bool tray_placed = false;
    ProxyIndicator tray_kind = ProxyIndicator::kProxyOff;
    std::string tray_tooltip;
    ProxyIndicator picture_kind = ProxyIndicator::kProxyOff;
    bool picture_visible = true;
    ProxyIndicator window_icon = ProxyIndicator::kProxyOff;
    WindowMode window_mode = WindowMode::kNormal;
    int timer_interval = 0;
  };

  // Runs `fn` on the UI thread; `fn` returns the changes to announce.
  template <typename Fn>
  void Mutate(Fn fn);
  template <typename Fn>
  auto Read(Fn fn) const;
  void Notify(const std::vector<StateChange>& changes);

  UiThread& ui_;
  Data data_;
  std::vector<MainWindowStateObserver*> observers_;
};

}  // namespace lumvex
