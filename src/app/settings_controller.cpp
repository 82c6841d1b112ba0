#include "app/settings_controller.h"

#include <utility>

#include "acquire/source_a.h"
#include "config/strict_settings.h"
#include "text/text_util.h"

namespace lumvex {

SettingsController::SettingsController(MainWindowState& state, WindowSession& session,
                                       DataDir data_dir, Autostart autostart)
    : state_(state),
      session_(session),
      settings_(std::move(data_dir)),
      autostart_(std::move(autostart)) {}

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
  values.numbers_enabled = state_.ChosenSource() == SourceChoice::kSourceA;
  values.fetch_count_in_force = text::FormatInt(source_a::kRowsPerPage);
  values.thread_count_in_force = text::FormatInt(ValidationRun::kDefaultThreads);
  return values;
}

void SettingsController::OnFetchCountEdited(const std::string& text) {
  session_.SetFetchCount(text);
}

void SettingsController::OnThreadCountEdited(const std::string& text) {
  session_.SetThreadCount(text);
}

std::vector<std::string> SettingsController::Confirm(const SettingsChoices& choices) {
  // Every write is tried, so one file in the way does not keep the others from being saved.
  const DataDir& dir = settings_.data_dir();
  std::vector<std::string> failed;
  const auto note = [&failed](bool written, std::string path) {
    if (!written) failed.push_back(std::move(path));
  };
  note(settings_.WriteAgentNumber(choices.fetch_count), dir.PathOf(DataFile::kFetchCount));
  note(settings_.WriteThreadCount(choices.thread_count), dir.PathOf(DataFile::kThreadCount));
  note(choices.autostart ? autostart_.Enable() : autostart_.Disable(), autostart_.EntryPath());
  note(settings_.WritePoweredUp(choices.autostart), dir.PathOf(DataFile::kPoweredUp));
  note(settings_.WriteTray(choices.start_in_tray), dir.PathOf(DataFile::kTray));
  note(settings_.WriteRun(choices.switch_proxy_on_start), dir.PathOf(DataFile::kIeAgent));
  return failed;
}

StrictRule SettingsController::LoadStrictRule() const {
  return ReadStrictRule(settings_.data_dir());
}

std::vector<std::string> SettingsController::ConfirmStrictRule(const StrictRule& rule) {
  if (!WriteStrictRule(settings_.data_dir(), rule)) {
    return {settings_.data_dir().PathOf(DataFile::kStrict)};
  }
  session_.SetStrictRule(rule);
  return {};
}

bool ThreadCountAccepted(std::string_view text) {
  if (text.empty()) return true;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > kMostThreads) return false;  // also keeps a long run of digits from overflowing
  }
  return value >= 1;
}

std::string SettingsNotSavedMessage(const std::vector<std::string>& failed_paths) {
  std::string message(kSettingsNotSaved);
  for (const std::string& path : failed_paths) message += "\n" + path;
  return message + "\n";
}

}  // namespace lumvex
