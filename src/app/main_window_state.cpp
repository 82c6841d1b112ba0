#include "app/main_window_state.h"

#include <algorithm>
#include <array>
#include <stdexcept>
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

// Row of the first control of each kind, and the number of rows.
struct Layout {
  std::array<int, kControlKindCount + 1> first{};
  constexpr Layout() {
    for (int kind = 0; kind < kControlKindCount; ++kind) {
      first[kind + 1] = first[kind] + ControlCount(static_cast<ControlKind>(kind));
    }
  }
};
constexpr Layout kLayout;

void Remember(std::vector<ControlId>& changed, ControlId control) {
  if (std::find(changed.begin(), changed.end(), control) == changed.end()) {
    changed.push_back(control);
  }
}

}  // namespace

ControlChange ControlChange::Enabled(ControlId control, bool on) {
  return {control, Facet::kEnabled, on, {}, 0};
}
ControlChange ControlChange::Checked(ControlId control, bool on) {
  return {control, Facet::kChecked, on, {}, 0};
}
ControlChange ControlChange::Visible(ControlId control, bool on) {
  return {control, Facet::kVisible, on, {}, 0};
}
ControlChange ControlChange::Text(ControlId control, std::string text) {
  return {control, Facet::kText, false, std::move(text), 0};
}
ControlChange ControlChange::Target(ControlId control, std::string target) {
  return {control, Facet::kTarget, false, std::move(target), 0};
}
ControlChange ControlChange::Tooltip(ControlId control, std::string tooltip) {
  return {control, Facet::kTooltip, false, std::move(tooltip), 0};
}
ControlChange ControlChange::Indicator(ControlId control, ProxyIndicator kind) {
  return {control, Facet::kIndicator, false, {}, static_cast<int>(kind)};
}
ControlChange ControlChange::Value(ControlId control, int value) {
  return {control, Facet::kValue, false, {}, value};
}

MainWindowState::MainWindowState(UiThread& ui) : ui_(ui), rows_(kLayout.first.back()) {
  // Nothing to check, export or clean before a list exists, and no run to stop.
  for (Command off :
       {Command::kValidate, Command::kExport, Command::kCleanFailed, Command::kStopValidation}) {
    Row(off).enabled = false;
  }
  for (int i = 0; i < kTrayItemCount; ++i) {
    Row(static_cast<TrayItem>(i)).text =
        std::string(TrayItemDefaultCaption(static_cast<TrayItem>(i)));
  }
  // The saved-proxy item "代理IE一" (and the separator above it) is hidden until a proxy is set.
  Row(TrayItem::kSavedProxy).visible = false;
  for (int i = 0; i < kCounterCount; ++i) Row(static_cast<Counter>(i)).text = "0";
  Row(Label::kCategoryCount).text = "当前数据库共有IP：";
  Row(Label::kDatabase).text = "代理IP数据库：";
  Row(Link::kBlog).text = "Lumvex博客";
  // The tray icon is not in place until start-up puts it there.
  Row(control::kTrayIcon).visible = false;
  Row(control::kTrayIcon).text = std::string(kIdleTrayTooltip);
}

ControlState& MainWindowState::Row(ControlId control) {
  const int kind = static_cast<int>(control.kind);
  if (kind < 0 || kind >= kControlKindCount || control.index < 0 ||
      control.index >= ControlCount(control.kind)) {
    throw std::out_of_range("MainWindowState: no such control");
  }
  return rows_[static_cast<std::size_t>(kLayout.first[kind] + control.index)];
}

const ControlState& MainWindowState::Row(ControlId control) const {
  return const_cast<MainWindowState*>(this)->Row(control);
}

template <typename Fn>
void MainWindowState::Mutate(Fn fn) {
  ui_.RunSync([&] {
    std::vector<ControlId> changed;
    fn(changed);
    if (!changed.empty()) Notify(changed);
  });
}

template <typename Fn>
auto MainWindowState::Read(Fn fn) const {
  decltype(fn()) result{};
  ui_.RunSync([&] { result = fn(); });
  return result;
}

void MainWindowState::Notify(const std::vector<ControlId>& changed) {
  // A copy, so an observer may remove itself (or another) while being notified; a removed one
  // hears nothing more.
  const std::vector<MainWindowStateObserver*> observers = observers_;
  for (ControlId control : changed) {
    for (MainWindowStateObserver* observer : observers) {
      if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) {
        observer->OnStateChanged(control);
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

ControlState MainWindowState::Get(ControlId control) const {
  return Read([&] { return Row(control); });
}

bool MainWindowState::Enabled(ControlId control) const {
  return Read([&] { return Row(control).enabled; });
}

bool MainWindowState::Checked(ControlId control) const {
  return Read([&] { return Row(control).checked; });
}

bool MainWindowState::Visible(ControlId control) const {
  return Read([&] { return Row(control).visible; });
}

std::string MainWindowState::Text(ControlId control) const {
  return Read([&] {
    const ControlState& row = Row(control);
    if (control.kind != ControlKind::kCombo) return row.text;
    if (row.chosen < 0 || row.chosen >= static_cast<int>(row.items.size())) return std::string();
    return row.items[static_cast<std::size_t>(row.chosen)].text;
  });
}

std::string MainWindowState::Target(ControlId control) const {
  return Read([&] { return Row(control).target; });
}

std::string MainWindowState::Tooltip(ControlId control) const {
  return Read([&] { return Row(control).tooltip; });
}

ProxyIndicator MainWindowState::Indicator(ControlId control) const {
  return Read([&] { return Row(control).indicator; });
}

int MainWindowState::Value(ControlId control) const {
  return Read([&] { return Row(control).value; });
}

bool MainWindowState::ApplyOne(const ControlChange& change, std::vector<ControlId>& changed) {
  ControlState& row = Row(change.control);
  bool did = false;
  switch (change.facet) {
    case ControlChange::Facet::kEnabled:
      did = Assign(row.enabled, change.flag);
      break;
    case ControlChange::Facet::kChecked:
      did = Assign(row.checked, change.flag);
      // The two radio buttons are one group: checking one unchecks the other.
      if (change.control.kind == ControlKind::kRadio && change.flag) {
        for (int i = 0; i < kRadioCount; ++i) {
          if (i != change.control.index && Assign(Row(static_cast<Radio>(i)).checked, false)) {
            Remember(changed, static_cast<Radio>(i));
          }
        }
      }
      break;
    case ControlChange::Facet::kVisible:
      did = Assign(row.visible, change.flag);
      break;
    case ControlChange::Facet::kText:
      did = Assign(row.text, change.text);
      break;
    case ControlChange::Facet::kTarget:
      did = Assign(row.target, change.text);
      break;
    case ControlChange::Facet::kTooltip:
      did = Assign(row.tooltip, change.text);
      break;
    case ControlChange::Facet::kIndicator:
      did = Assign(row.indicator, static_cast<ProxyIndicator>(change.number));
      break;
    case ControlChange::Facet::kValue:
      did = Assign(row.value, std::max(0, change.number));
      break;
  }
  if (did) Remember(changed, change.control);
  return did;
}

void MainWindowState::Apply(const std::vector<ControlChange>& changes) {
  Mutate([&](std::vector<ControlId>& changed) {
    for (const ControlChange& change : changes) ApplyOne(change, changed);
  });
}

void MainWindowState::SetEnabled(ControlId control, bool on) {
  Apply({ControlChange::Enabled(control, on)});
}

void MainWindowState::SetEnabled(const std::vector<ControlId>& controls, bool on) {
  std::vector<ControlChange> changes;
  changes.reserve(controls.size());
  for (ControlId control : controls) changes.push_back(ControlChange::Enabled(control, on));
  Apply(changes);
}

void MainWindowState::SetChecked(ControlId control, bool on) {
  Apply({ControlChange::Checked(control, on)});
}

void MainWindowState::SetVisible(ControlId control, bool on) {
  Apply({ControlChange::Visible(control, on)});
}

void MainWindowState::SetText(ControlId control, std::string text) {
  Apply({ControlChange::Text(control, std::move(text))});
}

void MainWindowState::SetTooltip(ControlId control, std::string tooltip) {
  Apply({ControlChange::Tooltip(control, std::move(tooltip))});
}

void MainWindowState::SetCount(ControlId control, std::int64_t count) {
  SetText(control, text::FormatInt(count));
}

void MainWindowState::SetIndicator(ControlId control, ProxyIndicator kind) {
  Apply({ControlChange::Indicator(control, kind)});
}

void MainWindowState::SetValue(ControlId control, int value) {
  Apply({ControlChange::Value(control, value)});
}

void MainWindowState::SetItems(ControlId combo, std::vector<ComboItem> items) {
  Mutate([&](std::vector<ControlId>& changed) {
    ControlState& row = Row(combo);
    const bool changed_items = Assign(row.items, std::move(items));
    const bool changed_choice = Assign(row.chosen, -1);
    if (changed_items || changed_choice) Remember(changed, combo);
  });
}

void MainWindowState::AddItem(ControlId combo, ComboItem item) {
  Mutate([&](std::vector<ControlId>& changed) {
    Row(combo).items.push_back(std::move(item));
    Remember(changed, combo);
  });
}

void MainWindowState::SetChosen(ControlId combo, int index) {
  Mutate([&](std::vector<ControlId>& changed) {
    ControlState& row = Row(combo);
    if (index < -1 || index >= static_cast<int>(row.items.size())) return;
    if (Assign(row.chosen, index)) Remember(changed, combo);
  });
}

SourceChoice MainWindowState::ChosenSource() const {
  return Read([&] {
    if (Row(Radio::kSourceA).checked) return SourceChoice::kSourceA;
    if (Row(Radio::kSourceB).checked) return SourceChoice::kSourceB;
    return SourceChoice::kNone;
  });
}

}  // namespace lumvex
