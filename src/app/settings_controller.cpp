#include "app/settings_controller.h"

#include "app/strict_settings.h"

#include <utility>

namespace lumvex {

SettingsController::SettingsController(MainWindowState& state, DataDir data_dir,
                                       Autostart autostart)
    : state_(state), settings_(std::move(data_dir)), autostart_(std::move(autostart)) {}

SettingsDialogValues SettingsController::Load() const {
  SettingsDialogValues values;
  values.fetch_count = settings_.ReadAgentNumber();
  values.thread_count = settings_.ReadThreadCount();
  values.autostart = settings_.ReadPoweredUp();
  values.start_in_tray = settings_.ReadTray();
  switch (settings_.ReadRun()) {
    case RunChoice::kYes:
      values.switch_proxy_on_start = true;
      break;
    case RunChoice::kNo:
      values.switch_proxy_on_start = false;
      break;
    case RunChoice::kUnset:
      break;
  }
  values.numbers_enabled = state_.GetSourceChoice() == SourceChoice::kSourceA;
  return values;
}

void SettingsController::OnFetchCountEdited(const std::string& text) {
  state_.SetFieldText(Field::kFetchCount, text);
}

void SettingsController::OnThreadCountEdited(const std::string& text) {
  state_.SetFieldText(Field::kThreadCount, text);
}

void SettingsController::Confirm(const SettingsChoices& choices) {
  settings_.WriteAgentNumber(choices.fetch_count);
  settings_.WriteThreadCount(choices.thread_count);
  if (choices.autostart) {
    autostart_.Enable();
  } else {
    autostart_.Disable();
  }
  settings_.WritePoweredUp(choices.autostart);
  settings_.WriteTray(choices.start_in_tray);
  settings_.WriteRun(choices.switch_proxy_on_start);
}

StrictRule SettingsController::LoadStrictRule() const {
  return ReadStrictRule(settings_.data_dir().Path());
}

void SettingsController::ConfirmStrictRule(const StrictRule& rule) {
  WriteStrictRule(settings_.data_dir().Path(), rule);
}

}  // namespace lumvex
