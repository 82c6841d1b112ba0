#include "app/window_events.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace lumvex {
namespace {

// The commands a harvest disables, in this order.
constexpr Command kHarvestDisabledCommands[] = {
    Command::kValidate,  Command::kExport,    Command::kCleanFailed, Command::kImport,
    Command::kDeleteRow, Command::kClearList, Command::kAddProxy,    Command::kPaste};

// The commands a finished harvest enables ("清理失败IP" waits for a check run).
constexpr Command kHarvestEnabledCommands[] = {
    Command::kValidate,  Command::kExport,   Command::kImport, Command::kDeleteRow,
    Command::kClearList, Command::kAddProxy, Command::kPaste};

// The commands a check run locks and gives back.
constexpr Command kEditingCommands[] = {
    Command::kFetch,     Command::kExport,    Command::kCleanFailed, Command::kImport,
    Command::kDeleteRow, Command::kClearList, Command::kAddProxy,    Command::kPaste};

class Changes {
 public:
  template <typename Range>
  Changes& Enable(const Range& controls, bool on) {
    for (const auto& control : controls) list_.push_back(ControlChange::Enabled(control, on));
    return *this;
  }
  Changes& Enable(std::initializer_list<ControlId> controls, bool on) {
    for (ControlId control : controls) list_.push_back(ControlChange::Enabled(control, on));
    return *this;
  }
  Changes& Check(ControlId control, bool on) {
    list_.push_back(ControlChange::Checked(control, on));
    return *this;
  }
  Changes& Add(ControlChange change) {
    list_.push_back(std::move(change));
    return *this;
  }
  std::vector<ControlChange> Take() { return std::move(list_); }

 private:
  std::vector<ControlChange> list_;
};

// The tray icon (with its tooltip), 图片框1 and the window icon show whether a proxy is set.
void ShowIndicators(Changes& changes, ProxyIndicator kind, const std::string& tooltip) {
  changes.Add(ControlChange::Indicator(control::kTrayIcon, kind))
      .Add(ControlChange::Text(control::kTrayIcon, tooltip))
      .Add(ControlChange::Indicator(control::kProxyPicture, kind))
      .Add(ControlChange::Indicator(control::kWindowIcon, kind));
}

// While a harvest or a check run goes on: 组合框2 and both radio buttons disabled.
void LockSourceSelectors(Changes& changes) {
  changes.Enable({Combo::kSourceACategories, Radio::kSourceA, Radio::kSourceB}, false);
}

// When it ends: both radio buttons enabled, and the chosen source's combo boxes (source A:
// 组合框2; otherwise 组合框3 and 组合框4).
void UnlockSourceSelectors(const MainWindowState& state, Changes& changes) {
  changes.Enable({Radio::kSourceA, Radio::kSourceB}, true);
  if (state.ChosenSource() == SourceChoice::kSourceA) {
    changes.Enable({Combo::kSourceACategories}, true);
  } else {
    changes.Enable({Combo::kSourceBPages, Combo::kSourceBDatabases}, true);
  }
}

}  // namespace

std::vector<ControlChange> ChangesFor(const MainWindowState& state, WindowEvent event,
                                      const EventFacts& facts) {
  Changes changes;
  switch (event) {
    case WindowEvent::kSourceChosen: {
      // Source A enables 组合框2 and disables 组合框3 and 组合框4; source B the reverse. No
      // source only clears the choice.
      if (facts.source == SourceChoice::kNone) {
        changes.Check(Radio::kSourceA, false).Check(Radio::kSourceB, false);
        break;
      }
      const bool source_a = facts.source == SourceChoice::kSourceA;
      changes.Check(source_a ? Radio::kSourceA : Radio::kSourceB, true);
      changes.Enable({Combo::kSourceACategories}, source_a);
      changes.Enable({Combo::kSourceBPages, Combo::kSourceBDatabases}, !source_a);
      break;
    }
    case WindowEvent::kHarvestChoiceChanged:
      changes.Enable({Command::kFetch}, true).Enable({Command::kCleanFailed}, false);
      break;
    case WindowEvent::kHarvestStarted:
      changes.Enable(kHarvestDisabledCommands, false);
      LockSourceSelectors(changes);
      break;
    case WindowEvent::kHarvestEnded:
      changes.Enable(kHarvestEnabledCommands, true);
      UnlockSourceSelectors(state, changes);
      break;
    case WindowEvent::kSourceBHarvestEnded:
      // The radio buttons come back, but the combo boxes of the source not chosen stay off.
      changes.Enable(kHarvestEnabledCommands, true);
      changes.Enable({Radio::kSourceA, Radio::kSourceB}, true);
      if (state.ChosenSource() == SourceChoice::kSourceB) {
        changes.Enable({Combo::kSourceACategories}, false);
      } else {
        changes.Enable({Combo::kSourceBPages, Combo::kSourceBDatabases}, false);
      }
      break;
    case WindowEvent::kAnyCountryHarvestStarted:
      changes.Enable({ContextItem::kFetchAnyCountry}, false);
      break;
    case WindowEvent::kAnyCountryHarvestEnded:
    case WindowEvent::kRowsPasted:
      changes.Enable({Command::kValidate, Command::kExport}, true);
      break;
    case WindowEvent::kValidationStarted:
      changes.Enable(kEditingCommands, false);
      LockSourceSelectors(changes);
      changes.Enable({Command::kStopValidation}, true);
      break;
    case WindowEvent::kValidationFinished:
      changes.Enable(kEditingCommands, true);
      UnlockSourceSelectors(state, changes);
      break;
    case WindowEvent::kValidationStopped:
      changes.Enable(kEditingCommands, true);
      UnlockSourceSelectors(state, changes);
      changes.Enable({Command::kStopValidation}, false);
      break;
    case WindowEvent::kRowsAdded:
      changes.Enable({Command::kValidate}, true);
      break;
    case WindowEvent::kListEmptied:
      changes.Enable({ContextItem::kFetchAnyCountry}, true);
      changes.Enable({Command::kExport, Command::kValidate}, false);
      break;
    case WindowEvent::kListCleared:
      changes.Enable({Command::kFetch, ContextItem::kFetchAnyCountry}, true);
      changes.Enable({Command::kValidate, Command::kExport, Command::kCleanFailed}, false);
      break;
    case WindowEvent::kUrlImportStarted:
      changes.Enable({ContextItem::kImportFromUrl}, false);
      break;
    case WindowEvent::kUrlImportEnded:
      changes.Enable({ContextItem::kImportFromUrl}, true);
      break;
    case WindowEvent::kTrayMenuOpening: {
      const bool minimised =
          static_cast<WindowMode>(state.Value(control::kWindow)) != WindowMode::kNormal;
      changes.Enable({TrayItem::kRestore}, minimised).Enable({TrayItem::kMinimise}, !minimised);
      break;
    }
    case WindowEvent::kContextMenuOpening:
      // The fetch and check items follow their buttons; the clean item follows "保存代理IP".
      changes.Enable({ContextItem::kFetch}, state.Enabled(Command::kFetch));
      changes.Enable({ContextItem::kValidateSelected}, state.Enabled(Command::kValidate));
      changes.Enable({ContextItem::kCleanFailed}, state.Enabled(Command::kExport));
      changes.Enable({ContextItem::kCopy, ContextItem::kModify, ContextItem::kDelete},
                     facts.has_rows);
      changes.Enable({ContextItem::kSetSystemProxy}, facts.current_row_ok);
      break;
    case WindowEvent::kProxySet:
      ShowIndicators(changes, ProxyIndicator::kProxyOn, facts.text);
      changes.Check(TrayItem::kSavedProxy, true);
      break;
    case WindowEvent::kProxyCleared:
      ShowIndicators(changes, ProxyIndicator::kProxyOff, facts.text);
      changes.Check(TrayItem::kSavedProxy, false);
      break;
    case WindowEvent::kSavedProxyShown:
      // The item and the separator above it appear with the caption.
      changes.Add(ControlChange::Text(TrayItem::kSavedProxy, facts.text))
          .Add(ControlChange::Visible(TrayItem::kSavedProxy, true));
      break;
  }
  return changes.Take();
}

void Announce(MainWindowState& state, WindowEvent event, const EventFacts& facts) {
  state.Apply(ChangesFor(state, event, facts));
}

}  // namespace lumvex
