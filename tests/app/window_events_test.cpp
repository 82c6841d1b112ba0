#include "app/window_events.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window_controls.h"
#include "app/main_window_state.h"
#include "platform/headless_ui_thread.h"

namespace lumvex {
namespace {

class WindowEventsTest : public ::testing::Test {
 protected:
  HeadlessUiThread ui_;
  MainWindowState state_{ui_};
};

TEST_F(WindowEventsTest, SourceSelectionSwitchesTheComboBoxes) {
  Announce(state_, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceB});
  EXPECT_EQ(state_.ChosenSource(), SourceChoice::kSourceB);
  EXPECT_FALSE(state_.Get(Combo::kSourceACategories).enabled);
  EXPECT_TRUE(state_.Get(Combo::kSourceBPages).enabled);
  EXPECT_TRUE(state_.Get(Combo::kSourceBDatabases).enabled);

  Announce(state_, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceA});
  EXPECT_EQ(state_.ChosenSource(), SourceChoice::kSourceA);
  EXPECT_FALSE(state_.Checked(Radio::kSourceB));  // one radio group
  EXPECT_TRUE(state_.Get(Combo::kSourceACategories).enabled);
  EXPECT_FALSE(state_.Get(Combo::kSourceBPages).enabled);
  EXPECT_FALSE(state_.Get(Combo::kSourceBDatabases).enabled);

  Announce(state_, WindowEvent::kSourceChosen, {.source = SourceChoice::kNone});
  EXPECT_EQ(state_.ChosenSource(), SourceChoice::kNone);
  EXPECT_TRUE(state_.Get(Combo::kSourceACategories).enabled);  // only the choice is cleared
}

// One row per rule: the state before (a list of events), the event, and the controls it leaves
// enabled or disabled.
struct EventCase {
  std::string name;
  std::vector<std::pair<WindowEvent, EventFacts>> before;
  WindowEvent event;
  EventFacts facts;
  std::vector<std::pair<ControlId, bool>> enabled;
};

TEST_F(WindowEventsTest, EachEventSetsTheControlsItNames) {
  const EventFacts source_a{.source = SourceChoice::kSourceA};
  const EventFacts source_b{.source = SourceChoice::kSourceB};
  const std::vector<EventCase> cases = {
      {"harvest started",
       {{WindowEvent::kSourceChosen, source_a}},
       WindowEvent::kHarvestStarted,
       {},
       {{Command::kValidate, false},
        {Command::kExport, false},
        {Command::kCleanFailed, false},
        {Command::kImport, false},
        {Command::kDeleteRow, false},
        {Command::kClearList, false},
        {Command::kAddProxy, false},
        {Command::kPaste, false},
        {Command::kFetch, true},
        {Command::kSettings, true},
        {Combo::kSourceACategories, false},
        {Radio::kSourceA, false},
        {Radio::kSourceB, false}}},
      {"source-A harvest ended",
       {{WindowEvent::kSourceChosen, source_a}, {WindowEvent::kHarvestStarted, {}}},
       WindowEvent::kHarvestEnded,
       {},
       {{Command::kValidate, true},
        {Command::kExport, true},
        {Command::kCleanFailed, false},
        {Command::kPaste, true},
        {Combo::kSourceACategories, true},
        {Combo::kSourceBPages, false},
        {Radio::kSourceA, true},
        {Radio::kSourceB, true}}},
      {"harvest ended with source B chosen",
       {{WindowEvent::kSourceChosen, source_b}, {WindowEvent::kHarvestStarted, {}}},
       WindowEvent::kHarvestEnded,
       {},
       {{Combo::kSourceACategories, false},
        {Combo::kSourceBPages, true},
        {Combo::kSourceBDatabases, true}}},
      {"source-B harvest ended",
       {{WindowEvent::kSourceChosen, source_b}, {WindowEvent::kHarvestStarted, {}}},
       WindowEvent::kSourceBHarvestEnded,
       {},
       {{Command::kValidate, true},
        {Command::kCleanFailed, false},
        {Combo::kSourceACategories, false},
        {Combo::kSourceBPages, true},
        {Radio::kSourceA, true}}},
      {"check run started",
       {{WindowEvent::kSourceChosen, source_a}},
       WindowEvent::kValidationStarted,
       {},
       {{Command::kFetch, false},
        {Command::kPaste, false},
        {Command::kStopValidation, true},
        {Combo::kSourceACategories, false},
        {Radio::kSourceB, false}}},
      {"check run finished",
       {{WindowEvent::kSourceChosen, source_a}, {WindowEvent::kValidationStarted, {}}},
       WindowEvent::kValidationFinished,
       {},
       {{Command::kFetch, true},
        {Command::kCleanFailed, true},
        {Command::kStopValidation, true},
        {Combo::kSourceACategories, true},
        {Radio::kSourceA, true}}},
      {"check run stopped",
       {{WindowEvent::kSourceChosen, source_a}, {WindowEvent::kValidationStarted, {}}},
       WindowEvent::kValidationStopped,
       {},
       {{Command::kFetch, true}, {Command::kStopValidation, false}}},
      {"category chosen",
       {{WindowEvent::kHarvestStarted, {}}},
       WindowEvent::kHarvestChoiceChanged,
       {},
       {{Command::kFetch, true}, {Command::kCleanFailed, false}}},
      {"rows added",
       {},
       WindowEvent::kRowsAdded,
       {},
       {{Command::kValidate, true}, {Command::kExport, false}}},
      {"rows pasted",
       {},
       WindowEvent::kRowsPasted,
       {},
       {{Command::kValidate, true}, {Command::kExport, true}}},
      {"any-country harvest started",
       {},
       WindowEvent::kAnyCountryHarvestStarted,
       {},
       {{ContextItem::kFetchAnyCountry, false}}},
      {"any-country harvest ended",
       {},
       WindowEvent::kAnyCountryHarvestEnded,
       {},
       {{Command::kValidate, true}, {Command::kExport, true}}},
      {"list emptied",
       {{WindowEvent::kRowsPasted, {}}, {WindowEvent::kAnyCountryHarvestStarted, {}}},
       WindowEvent::kListEmptied,
       {},
       {{ContextItem::kFetchAnyCountry, true},
        {Command::kExport, false},
        {Command::kValidate, false}}},
      {"list cleared",
       {{WindowEvent::kRowsPasted, {}}, {WindowEvent::kValidationFinished, {}}},
       WindowEvent::kListCleared,
       {},
       {{Command::kFetch, true},
        {ContextItem::kFetchAnyCountry, true},
        {Command::kValidate, false},
        {Command::kExport, false},
        {Command::kCleanFailed, false}}},
      {"import from a web address started",
       {},
       WindowEvent::kUrlImportStarted,
       {},
       {{ContextItem::kImportFromUrl, false}}},
      {"import from a web address ended",
       {{WindowEvent::kUrlImportStarted, {}}},
       WindowEvent::kUrlImportEnded,
       {},
       {{ContextItem::kImportFromUrl, true}}},
      {"tray menu over a normal window",
       {},
       WindowEvent::kTrayMenuOpening,
       {},
       {{TrayItem::kRestore, false}, {TrayItem::kMinimise, true}}},
      {"list menu, no rows, export off",
       {},
       WindowEvent::kContextMenuOpening,
       {.has_rows = false, .current_row_ok = false},
       {{ContextItem::kFetch, true},
        {ContextItem::kValidateSelected, false},
        {ContextItem::kCleanFailed, false},
        {ContextItem::kCopy, false},
        {ContextItem::kModify, false},
        {ContextItem::kDelete, false},
        {ContextItem::kSetSystemProxy, false}}},
      {"list menu, rows, current row ok",
       {{WindowEvent::kRowsPasted, {}}},
       WindowEvent::kContextMenuOpening,
       {.has_rows = true, .current_row_ok = true},
       {{ContextItem::kValidateSelected, true},
        {ContextItem::kCleanFailed, true},
        {ContextItem::kCopy, true},
        {ContextItem::kDelete, true},
        {ContextItem::kSetSystemProxy, true}}},
  };
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.name);
    MainWindowState state(ui_);
    for (const auto& [event, facts] : c.before) Announce(state, event, facts);
    Announce(state, c.event, c.facts);
    for (const auto& [control, enabled] : c.enabled) {
      EXPECT_EQ(state.Enabled(control), enabled)
          << "kind " << static_cast<int>(control.kind) << " index " << control.index;
    }
  }
}

TEST_F(WindowEventsTest, TrayMenuFollowsTheWindowMode) {
  state_.SetValue(control::kWindow, static_cast<int>(WindowMode::kMinimisedToTray));
  Announce(state_, WindowEvent::kTrayMenuOpening);
  EXPECT_TRUE(state_.Enabled(TrayItem::kRestore));
  EXPECT_FALSE(state_.Enabled(TrayItem::kMinimise));
}

}  // namespace
}  // namespace lumvex
