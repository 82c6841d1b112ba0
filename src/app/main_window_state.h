// The main window as data: one table of controls (control -> enabled, text, checked and the few
// extra facets some controls have). The Qt window observes it and mirrors it into widgets;
// controllers change it, mostly by announcing what happened (app/window_events.h).
#pragma once

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

// One row of the table. Every control has every facet; each kind uses the ones it shows.
struct ControlState {
  bool enabled = true;
  bool checked = false;  // menu items' check marks, radio buttons
  bool visible = true;
  // Caption, counter digits, field text, status line, tray tooltip. A combo's text is the chosen
  // item's (read only).
  std::string text;
  std::string target;   // link labels: the web address opened on click; empty opens nothing
  std::string tooltip;  // combo boxes: why the box is empty; empty shows none
  std::vector<ComboItem> items;
  int chosen = -1;  // combos: -1 when nothing is chosen
  ProxyIndicator indicator = ProxyIndicator::kProxyOff;
  int value = 0;  // the timer's interval, the window's WindowMode; never negative

  friend bool operator==(const ControlState&, const ControlState&) = default;
};

// One change of one facet, for Apply.
struct ControlChange {
  enum class Facet : int {
    kEnabled = 0,
    kChecked,
    kVisible,
    kText,
    kTarget,
    kTooltip,
    kIndicator,
    kValue
  };

  ControlId control;
  Facet facet = Facet::kEnabled;
  bool flag = false;
  std::string text;
  int number = 0;

  static ControlChange Enabled(ControlId control, bool on);
  static ControlChange Checked(ControlId control, bool on);
  static ControlChange Visible(ControlId control, bool on);
  static ControlChange Text(ControlId control, std::string text);
  static ControlChange Target(ControlId control, std::string target);
  static ControlChange Tooltip(ControlId control, std::string tooltip);
  static ControlChange Indicator(ControlId control, ProxyIndicator kind);
  static ControlChange Value(ControlId control, int value);
};

// Caption of the tray menu's web-site item until the update manifest replaces it.
inline constexpr std::string_view kDefaultWebSiteCaption = "www.lumvex.example.com";
// Tray tooltip while no proxy is active (also the autostart value name).
inline constexpr std::string_view kIdleTrayTooltip = "LumvexIP代理验证";

// Every method may be called from any thread: calls from other threads run as one step on the UI
// thread through UiThread::RunSync (and do nothing once it has been closed). Observers are
// notified on the UI thread, once per control that a call actually changed, in the order of the
// changes.
class MainWindowState {
 public:
  explicit MainWindowState(UiThread& ui);
  MainWindowState(const MainWindowState&) = delete;
  MainWindowState& operator=(const MainWindowState&) = delete;

  // Add and remove on the UI thread.
  void AddObserver(MainWindowStateObserver* observer);
  void RemoveObserver(MainWindowStateObserver* observer);

  // The whole row of one control.
  ControlState Get(ControlId control) const;
  bool Enabled(ControlId control) const;
  bool Checked(ControlId control) const;
  bool Visible(ControlId control) const;
  std::string Text(ControlId control) const;
  std::string Target(ControlId control) const;
  std::string Tooltip(ControlId control) const;
  ProxyIndicator Indicator(ControlId control) const;
  int Value(ControlId control) const;

  // Several changes in one UI-thread step, in the given order. Checking a radio button unchecks
  // the other one.
  void Apply(const std::vector<ControlChange>& changes);
  void SetEnabled(ControlId control, bool on);
  void SetEnabled(const std::vector<ControlId>& controls, bool on);
  void SetChecked(ControlId control, bool on);
  void SetVisible(ControlId control, bool on);
  void SetText(ControlId control, std::string text);
  void SetTooltip(ControlId control, std::string tooltip);
  // A count as its decimal text.
  void SetCount(ControlId control, std::int64_t count);
  void SetIndicator(ControlId control, ProxyIndicator kind);
  void SetValue(ControlId control, int value);  // negative values store 0

  // Combo boxes: the items replace the old ones and nothing is chosen; an index out of range
  // other than -1 is ignored.
  void SetItems(ControlId combo, std::vector<ComboItem> items);
  void AddItem(ControlId combo, ComboItem item);
  void SetChosen(ControlId combo, int index);

  // Which radio button is checked.
  SourceChoice ChosenSource() const;

 private:
  // Runs `fn` on the UI thread; `fn` records the controls it changed.
  template <typename Fn>
  void Mutate(Fn fn);
  template <typename Fn>
  auto Read(Fn fn) const;
  void Notify(const std::vector<ControlId>& changed);
  ControlState& Row(ControlId control);
  const ControlState& Row(ControlId control) const;
  // Applies one change on the UI thread; true when it changed anything.
  bool ApplyOne(const ControlChange& change, std::vector<ControlId>& changed);

  UiThread& ui_;
  std::vector<ControlState> rows_;
  std::vector<MainWindowStateObserver*> observers_;
};

}  // namespace lumvex
