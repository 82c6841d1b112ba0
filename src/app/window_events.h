// What happened, as the controllers say it, and the one place that turns each event into the
// window's enabling rules: which buttons, menu items, radio buttons and combo boxes are enabled
// while a harvest or a check run goes on and when it ends, when the list fills or empties, and
// when a menu opens.
#pragma once

#include <string>
#include <vector>

#include "app/main_window_controls.h"
#include "app/main_window_state.h"

namespace lumvex {

enum class WindowEvent : int {
  kSourceChosen,              // a radio button was chosen (facts.source)
  kHarvestChoiceChanged,      // a source-A category or a source-B page or database was chosen
  kHarvestStarted,            // a source-A or source-B harvest began
  kHarvestEnded,              // a source-A harvest finished or was stopped
  kSourceBHarvestEnded,       // a source-B harvest finished
  kAnyCountryHarvestStarted,  // "获取任意国家IP" began
  kAnyCountryHarvestEnded,    // ... and finished
  kValidationStarted,         // a check run began
  kValidationFinished,        // a check run finished: "停止验证" stays as it is
  kValidationStopped,         // "停止验证" stopped a check run
  kRowsAdded,                 // rows were imported, added, loaded at start-up
  kRowsPasted,                // a paste added at least one row
  kListEmptied,               // the last row was deleted
  kListCleared,               // "清空" removed every row
  kUrlImportStarted,          // an import from a web address began
  kUrlImportEnded,            // ... and ended
  kTrayMenuOpening,           // the tray menu is about to show
  kContextMenuOpening,        // the list's menu is about to show (facts.has_rows, current_row_ok)
  kProxySet,                  // the system proxy was set (facts.text: the tray tooltip)
  kProxyCleared,              // it was turned off or could not be set (facts.text: the tooltip)
  kSavedProxyShown,           // a proxy was saved (facts.text: the caption of "代理IE一")
};

// What an event needs to know beyond the window state.
struct EventFacts {
  SourceChoice source = SourceChoice::kNone;
  bool has_rows = false;
  bool current_row_ok = false;  // the current row's check succeeded
  std::string text{};  // see the events that use it
};

// The changes `event` makes, given the state as it is now.
std::vector<ControlChange> ChangesFor(const MainWindowState& state, WindowEvent event,
                                      const EventFacts& facts = {});

// Applies ChangesFor(event) in one UI-thread step.
void Announce(MainWindowState& state, WindowEvent event, const EventFacts& facts = {});

}  // namespace lumvex
