#include "app/main_window_state.h"

#include <algorithm>
#include <utility>

#include "text/text_util.h"

namespace lumvex {
namespace {

// Stores `value` in `slot`; true when that changed anything.
template <typename T>
bool Assign(T& slot, T value) {
  if (slot == value) return false;
  slot = std::move(value);
  return true;
}

template <typename Enum>
std::size_t Index(Enum value) {
  return static_cast<std::size_t>(value);
}

template <typename Enum>
StateChange Change(StateChangeKind kind, Enum value) {
  return StateChange{kind, static_cast<int>(value)};
}

}  // namespace

MainWindowState::MainWindowState(UiThread& ui) : ui_(ui) {
  data_.command_enabled.fill(true);
  // Nothing to check, export or clean before a list exists, and no run to stop.
  for (Command off :
       {Command::kValidate, Command::kExport, Command::kCleanFailed, Command::kStopValidation}) {
    data_.command_enabled[Index(off)] = false;
  }
  data_.context_enabled.fill(true);
  data_.tray_enabled.fill(true);
  for (int i = 0; i < kTrayItemCount; ++i) {
    data_.tray_caption[i] = std::string(TrayItemDefaultCaption(static_cast<TrayItem>(i)));
  }
  data_.counters.fill("0");
  data_.radio_enabled.fill(true);
  data_.labels[Index(Label::kCategoryCount)] = "当前数据库共有IP：";
  data_.labels[Index(Label::kDatabase)] = "代理IP数据库：";
  data_.links[Index(Link::kBlog)].caption = "Lumvex博客";
  data_.tray_tooltip = std::string(kIdleTrayTooltip);
}

template <typename Fn>
void MainWindowState::Mutate(Fn fn) {
  ui_.RunSync([&] {
    std::vector<StateChange> changes;
    fn(changes);
    if (!changes.empty()) Notify(changes);
  });
}

template <typename Fn>
auto MainWindowState::Read(Fn fn) const {
  decltype(fn()) result{};
  ui_.RunSync([&] { result = fn(); });
  return result;
}

void MainWindowState::Notify(const std::vector<StateChange>& changes) {
  // A copy, so an observer may remove itself (or another) while being notified; a removed one
  // hears nothing more.
  const std::vector<MainWindowStateObserver*> observers = observers_;
  for (const StateChange& change : changes) {
    for (MainWindowStateObserver* observer : observers) {
      if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) {
        observer->OnStateChanged(change);
      }
    }
  }
}

void MainWindowState::AddObserver(MainWindowStateObserver* observer) {
  if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}

void MainWindowState::RemoveObserver(MainWindowStateObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

bool MainWindowState::IsCommandEnabled(Command command) const {
  return Read([&] { return data_.command_enabled.at(Index(command)); });
}

void MainWindowState::SetCommandEnabled(Command command, bool enabled) {
  SetCommandsEnabled({command}, enabled);
}

void MainWindowState::SetCommandsEnabled(const std::vector<Command>& commands, bool enabled) {
  Mutate([&](std::vector<StateChange>& changes) {
    for (Command command : commands) {
      if (Assign(data_.command_enabled.at(Index(command)), enabled)) {
        changes.push_back(Change(StateChangeKind::kCommandEnabled, command));
      }
    }
  });
}

bool MainWindowState::IsContextItemEnabled(ContextItem item) const {
  return Read([&] { return data_.context_enabled.at(Index(item)); });
}

void MainWindowState::SetContextItemEnabled(ContextItem item, bool enabled) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.context_enabled.at(Index(item)), enabled)) {
      changes.push_back(Change(StateChangeKind::kContextItemEnabled, item));
    }
  });
}

bool MainWindowState::IsTrayItemEnabled(TrayItem item) const {
  return Read([&] { return data_.tray_enabled.at(Index(item)); });
}

void MainWindowState::SetTrayItemEnabled(TrayItem item, bool enabled) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.tray_enabled.at(Index(item)), enabled)) {
      changes.push_back(Change(StateChangeKind::kTrayItemEnabled, item));
    }
  });
}

std::string MainWindowState::TrayItemCaption(TrayItem item) const {
  return Read([&] { return data_.tray_caption.at(Index(item)); });
}

void MainWindowState::SetTrayItemCaption(TrayItem item, std::string caption) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.tray_caption.at(Index(item)), std::move(caption))) {
      changes.push_back(Change(StateChangeKind::kTrayItemCaption, item));
    }
  });
}

bool MainWindowState::SavedProxyVisible() const {
  return Read([&] { return data_.saved_proxy_visible; });
}

bool MainWindowState::SavedProxySeparatorVisible() const {
  return Read([&] { return data_.saved_proxy_separator_visible; });
}

bool MainWindowState::SavedProxyChecked() const {
  return Read([&] { return data_.saved_proxy_checked; });
}

void MainWindowState::SetSavedProxyVisible(bool visible) {
  Mutate([&](std::vector<StateChange>& changes) {
    const bool item = Assign(data_.saved_proxy_visible, visible);
    const bool separator = Assign(data_.saved_proxy_separator_visible, visible);
    if (item || separator) changes.push_back({StateChangeKind::kSavedProxyItem});
  });
}

void MainWindowState::SetSavedProxyChecked(bool checked) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.saved_proxy_checked, checked)) {
      changes.push_back({StateChangeKind::kSavedProxyItem});
    }
  });
}

bool MainWindowState::GuardChecked() const {
  return Read([&] { return data_.guard_checked; });
}

void MainWindowState::SetGuardChecked(bool checked) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.guard_checked, checked)) changes.push_back({StateChangeKind::kGuardItem});
  });
}

std::string MainWindowState::Status() const {
  return Read([&] { return data_.status; });
}

void MainWindowState::SetStatus(std::string text) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.status, std::move(text))) changes.push_back({StateChangeKind::kStatus});
  });
}

std::string MainWindowState::CounterText(Counter counter) const {
  return Read([&] { return data_.counters.at(Index(counter)); });
}

void MainWindowState::SetCounter(Counter counter, std::string text) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.counters.at(Index(counter)), std::move(text))) {
      changes.push_back(Change(StateChangeKind::kCounter, counter));
    }
  });
}

void MainWindowState::SetCounterValue(Counter counter, std::int64_t value) {
  SetCounter(counter, text::FormatInt(value));
}

std::string MainWindowState::FieldText(Field field) const {
  return Read([&] { return data_.fields.at(Index(field)); });
}

void MainWindowState::SetFieldText(Field field, std::string text) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.fields.at(Index(field)), std::move(text))) {
      changes.push_back(Change(StateChangeKind::kField, field));
    }
  });
}

ComboState MainWindowState::GetCombo(Combo combo) const {
  return Read([&] { return data_.combos.at(Index(combo)); });
}

std::string MainWindowState::ComboDisplayedText(Combo combo) const {
  return Read([&] {
    const ComboState& state = data_.combos.at(Index(combo));
    if (state.chosen < 0 || state.chosen >= static_cast<int>(state.items.size())) {
      return std::string();
    }
    return state.items[state.chosen].text;
  });
}

void MainWindowState::ClearCombo(Combo combo) { SetComboItems(combo, {}); }

void MainWindowState::AddComboItem(Combo combo, ComboItem item) {
  Mutate([&](std::vector<StateChange>& changes) {
    data_.combos.at(Index(combo)).items.push_back(std::move(item));
    changes.push_back(Change(StateChangeKind::kCombo, combo));
  });
}

void MainWindowState::SetComboItems(Combo combo, std::vector<ComboItem> items) {
  Mutate([&](std::vector<StateChange>& changes) {
    ComboState& state = data_.combos.at(Index(combo));
    const bool changed_items = Assign(state.items, std::move(items));
    const bool changed_choice = Assign(state.chosen, -1);
    if (changed_items || changed_choice) {
      changes.push_back(Change(StateChangeKind::kCombo, combo));
    }
  });
}

void MainWindowState::SetComboChosen(Combo combo, int index) {
  Mutate([&](std::vector<StateChange>& changes) {
    ComboState& state = data_.combos.at(Index(combo));
    if (index < -1 || index >= static_cast<int>(state.items.size())) return;
    if (Assign(state.chosen, index)) changes.push_back(Change(StateChangeKind::kCombo, combo));
  });
}

void MainWindowState::SetComboEnabled(Combo combo, bool enabled) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.combos.at(Index(combo)).enabled, enabled)) {
      changes.push_back(Change(StateChangeKind::kCombo, combo));
    }
  });
}

SourceChoice MainWindowState::GetSourceChoice() const {
  return Read([&] { return data_.source_choice; });
}

void MainWindowState::SetSourceChoice(SourceChoice choice) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.source_choice, choice)) changes.push_back({StateChangeKind::kSourceChoice});
  });
}

void MainWindowState::ApplySourceSelection(SourceChoice choice) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.source_choice, choice)) changes.push_back({StateChangeKind::kSourceChoice});
    if (choice == SourceChoice::kNone) return;
    const bool source_a = choice == SourceChoice::kSourceA;
    const std::pair<Combo, bool> settings[] = {{Combo::kSourceACategories, source_a},
                                               {Combo::kSourceBPages, !source_a},
                                               {Combo::kSourceBDatabases, !source_a}};
    for (const auto& [combo, enabled] : settings) {
      if (Assign(data_.combos.at(Index(combo)).enabled, enabled)) {
        changes.push_back(Change(StateChangeKind::kCombo, combo));
      }
    }
  });
}

bool MainWindowState::IsRadioEnabled(Radio radio) const {
  return Read([&] { return data_.radio_enabled.at(Index(radio)); });
}

void MainWindowState::SetRadioEnabled(Radio radio, bool enabled) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.radio_enabled.at(Index(radio)), enabled)) {
      changes.push_back(Change(StateChangeKind::kRadioEnabled, radio));
    }
  });
}

void MainWindowState::LockSourceSelectors() {
  SetComboEnabled(Combo::kSourceACategories, false);
  SetRadioEnabled(Radio::kSourceA, false);
  SetRadioEnabled(Radio::kSourceB, false);
}

void MainWindowState::UnlockSourceSelectors() {
  SetRadioEnabled(Radio::kSourceA, true);
  SetRadioEnabled(Radio::kSourceB, true);
  if (GetSourceChoice() == SourceChoice::kSourceA) {
    SetComboEnabled(Combo::kSourceACategories, true);
  } else {
    SetComboEnabled(Combo::kSourceBPages, true);
    SetComboEnabled(Combo::kSourceBDatabases, true);
  }
}

std::string MainWindowState::LabelText(Label label) const {
  return Read([&] { return data_.labels.at(Index(label)); });
}

void MainWindowState::SetLabelText(Label label, std::string text) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.labels.at(Index(label)), std::move(text))) {
      changes.push_back(Change(StateChangeKind::kLabel, label));
    }
  });
}

LinkState MainWindowState::GetLink(Link link) const {
  return Read([&] { return data_.links.at(Index(link)); });
}

void MainWindowState::SetLink(Link link, std::string caption, std::string target) {
  Mutate([&](std::vector<StateChange>& changes) {
    LinkState& state = data_.links.at(Index(link));
    const bool caption_changed = Assign(state.caption, std::move(caption));
    const bool target_changed = Assign(state.target, std::move(target));
    if (caption_changed || target_changed) changes.push_back(Change(StateChangeKind::kLink, link));
  });
}

void MainWindowState::SetLinkVisible(Link link, bool visible) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.links.at(Index(link)).visible, visible)) {
      changes.push_back(Change(StateChangeKind::kLink, link));
    }
  });
}

bool MainWindowState::TrayIconPlaced() const {
  return Read([&] { return data_.tray_placed; });
}

void MainWindowState::SetTrayIconPlaced(bool placed) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.tray_placed, placed)) changes.push_back({StateChangeKind::kTrayIcon});
  });
}

ProxyIndicator MainWindowState::TrayIconKind() const {
  return Read([&] { return data_.tray_kind; });
}

std::string MainWindowState::TrayTooltip() const {
  return Read([&] { return data_.tray_tooltip; });
}

void MainWindowState::SetTrayIcon(ProxyIndicator kind, std::string tooltip) {
  Mutate([&](std::vector<StateChange>& changes) {
    const bool kind_changed = Assign(data_.tray_kind, kind);
    const bool tooltip_changed = Assign(data_.tray_tooltip, std::move(tooltip));
    if (kind_changed || tooltip_changed) changes.push_back({StateChangeKind::kTrayIcon});
  });
}

ProxyIndicator MainWindowState::ProxyPictureKind() const {
  return Read([&] { return data_.picture_kind; });
}

bool MainWindowState::ProxyPictureVisible() const {
  return Read([&] { return data_.picture_visible; });
}

void MainWindowState::SetProxyPicture(ProxyIndicator kind) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.picture_kind, kind)) changes.push_back({StateChangeKind::kProxyPicture});
  });
}

void MainWindowState::SetProxyPictureVisible(bool visible) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.picture_visible, visible)) {
      changes.push_back({StateChangeKind::kProxyPicture});
    }
  });
}

ProxyIndicator MainWindowState::WindowIconKind() const {
  return Read([&] { return data_.window_icon; });
}

void MainWindowState::SetWindowIcon(ProxyIndicator kind) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.window_icon, kind)) changes.push_back({StateChangeKind::kWindowIcon});
  });
}

WindowMode MainWindowState::GetWindowMode() const {
  return Read([&] { return data_.window_mode; });
}

void MainWindowState::SetWindowMode(WindowMode mode) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.window_mode, mode)) changes.push_back({StateChangeKind::kWindowMode});
  });
}

int MainWindowState::TimerInterval() const {
  return Read([&] { return data_.timer_interval; });
}

void MainWindowState::SetTimerInterval(int milliseconds) {
  Mutate([&](std::vector<StateChange>& changes) {
    if (Assign(data_.timer_interval, std::max(0, milliseconds))) {
      changes.push_back({StateChangeKind::kTimer});
    }
  });
}

}  // namespace lumvex
