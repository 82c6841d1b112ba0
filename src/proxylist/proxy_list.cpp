#include "proxylist/proxy_list.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <type_traits>
#include <utility>

namespace lumvex {

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsColumn(int column) { return column >= 0 && column < kProxyColumnCount; }

}  // namespace

ProxyList::ProxyList(UiThread& ui) : ui_(ui) {}

template <typename Fn>
auto ProxyList::OnUi(Fn&& fn, std::invoke_result_t<Fn&> neutral) const
    -> std::invoke_result_t<Fn&> {
  if (ui_.IsUiThread()) return fn();
  std::invoke_result_t<Fn&> result = neutral;
  if (!ui_.RunSync([&] { result = fn(); })) return neutral;
  return result;
}

template <typename Fn>
void ProxyList::OnUiVoid(Fn&& fn) const {
  if (ui_.IsUiThread()) {
    fn();
    return;
  }
  ui_.RunSync([&] { fn(); });
}

template <typename Fn>
void ProxyList::ForEachObserver(Fn&& fn) {
  if (observers_.empty()) return;
  // A copy, so an observer may add or remove observers while it is being told.
  const std::vector<ProxyListObserver*> observers = observers_;
  for (ProxyListObserver* o : observers) fn(*o);
}

bool ProxyList::InRange(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size();
}

int ProxyList::ListCount() const {
  return OnUi([this] { return static_cast<int>(rows_.size()); }, 0);
}

int ProxyList::CurrentRow() const {
  return OnUi([this] { return current_row_; }, -1);
}

std::vector<int> ProxyList::SelectedRows() const {
  return OnUi([this] { return selected_rows_; }, std::vector<int>{});
}

void ProxyList::SetCurrentRow(int row) {
  OnUiVoid([this, row] {
    if (row == -1 || InRange(row)) current_row_ = row;
  });
}

void ProxyList::MoveCursorTo(int row) {
  OnUiVoid([this, row] {
    if (!InRange(row)) return;
    current_row_ = row;
    selected_rows_ = {row};
    NotifyMarksChanged();
  });
}

void ProxyList::SetSelectedRows(std::vector<int> rows) {
  OnUiVoid([this, &rows] {
    std::erase_if(rows, [this](int r) { return !InRange(r); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    selected_rows_ = std::move(rows);
  });
}

std::string ProxyList::GetCell(int row, int column) const {
  return OnUi(
      [this, row, column] {
        if (!InRange(row) || !IsColumn(column)) return std::string();
        return std::string(CellText(rows_[static_cast<std::size_t>(row)], column));
      },
      std::string());
}

ProxyEntry ProxyList::GetRow(int row) const {
  return OnUi(
      [this, row] {
        if (!InRange(row)) return ProxyEntry{};
        return rows_[static_cast<std::size_t>(row)];
      },
      ProxyEntry{});
}

std::vector<ProxyEntry> ProxyList::Snapshot() const {
  return OnUi([this] { return rows_; }, std::vector<ProxyEntry>{});
}

bool ProxyList::ReadRows(const std::function<void(const std::vector<ProxyEntry>&)>& reader) const {
  return OnUi(
      [this, &reader] {
        reader(rows_);
        return true;
      },
      false);
}

bool ProxyList::SetCell(int row, int column, std::string text) {
  return OnUi(
      [this, row, column, &text] {
        if (!InRange(row) || !IsColumn(column)) return false;
        SetCellText(rows_[static_cast<std::size_t>(row)], column, std::move(text));
        ForEachObserver([&](ProxyListObserver& o) { o.CellChanged(row, column); });
        return true;
      },
      false);
}

bool ProxyList::SetCellAndColours(int row, int column, std::string text,
                                  std::optional<CellColours> colours) {
  return OnUi(
      [this, row, column, &text, &colours] {
        if (!InRange(row) || !IsColumn(column)) return false;
        ProxyEntry& entry = rows_[static_cast<std::size_t>(row)];
        SetCellText(entry, column, std::move(text));
        entry.colours.Set(column, colours);
        ForEachObserver([&](ProxyListObserver& o) { o.CellChanged(row, column); });
        return true;
      },
      false);
}

CheckState ProxyList::GetCheckState(int row) const {
  return OnUi(
      [this, row] {
        if (!InRange(row)) return CheckState{};
        return rows_[static_cast<std::size_t>(row)].check;
      },
      CheckState{});
}

bool ProxyList::SetCheckState(int row, CheckState state) {
  return OnUi(
      [this, row, &state] {
        if (!InRange(row)) return false;
        ProxyEntry& entry = rows_[static_cast<std::size_t>(row)];
        entry.check = state;
        // A verdict replaces its cell's colour: red for a failure, the list's own for a success.
        // A check under way leaves the colour of the verdict before it.
        if (state.Failed()) {
          entry.colours.Set(kColType, CellColours{kFailureTextColour, std::nullopt});
        } else if (state.Ok()) {
          entry.colours.Set(kColType, std::nullopt);
        }
        ForEachObserver([&](ProxyListObserver& o) { o.CellChanged(row, kColType); });
        return true;
      },
      false);
}

std::optional<CellColours> ProxyList::GetCellColours(int row, int column) const {
  return OnUi(
      [this, row, column]() -> std::optional<CellColours> {
        if (!InRange(row) || !IsColumn(column)) return std::nullopt;
        return rows_[static_cast<std::size_t>(row)].colours.Get(column);
      },
      std::nullopt);
}

bool ProxyList::SetCellColours(int row, int column, std::optional<CellColours> colours) {
  return OnUi(
      [this, row, column, &colours] {
        if (!InRange(row) || !IsColumn(column)) return false;
        if (rows_[static_cast<std::size_t>(row)].colours.Set(column, colours)) {
          ForEachObserver([&](ProxyListObserver& o) { o.CellChanged(row, column); });
        }
        return true;
      },
      false);
}

void ProxyList::ClearCellColours() {
  OnUiVoid([this] {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
      RowColours& colours = rows_[r].colours;
      if (colours.empty()) continue;
      const std::vector<int> columns = colours.Columns();
      colours = RowColours();
      const int row = static_cast<int>(r);
      for (int column : columns) {
        ForEachObserver([&](ProxyListObserver& o) { o.CellChanged(row, column); });
      }
    }
  });
}

std::size_t ProxyList::ColouredCellCount() const {
  return OnUi(
      [this] {
        std::size_t count = 0;
        for (const ProxyEntry& entry : rows_) count += entry.colours.size();
        return count;
      },
      std::size_t{0});
}

int ProxyList::InsertRow(int position, std::string address) {
  return OnUi(
      [this, position, &address] {
        const int count = static_cast<int>(rows_.size());
        const int at = (position < 0 || position > count) ? count : position;
        ForEachObserver([&](ProxyListObserver& o) { o.BeginInsertRows(at, at); });
        ProxyEntry entry;
        entry.cells[kColAddress] = std::move(address);
        rows_.insert(rows_.begin() + at, std::move(entry));
        ForEachObserver([&](ProxyListObserver& o) { o.EndInsertRows(); });
        ShiftMarksAfterInsert(at);
        return at;
      },
      -1);
}

int ProxyList::AddRow(ProxyEntry entry) {
  ReadCheckState(entry);
  return OnUi(
      [this, &entry] {
        const int at = static_cast<int>(rows_.size());
        ForEachObserver([&](ProxyListObserver& o) { o.BeginInsertRows(at, at); });
        rows_.push_back(std::move(entry));
        ForEachObserver([&](ProxyListObserver& o) { o.EndInsertRows(); });
        return at;
      },
      -1);
}

void ProxyList::AddRows(std::vector<ProxyEntry> entries) {
  // Off the UI thread: typing a large load's verdicts must not stall the window.
  for (ProxyEntry& entry : entries) ReadCheckState(entry);
  OnUiVoid([this, &entries] {
    if (entries.empty()) return;
    const int first = static_cast<int>(rows_.size());
    const int last = first + static_cast<int>(entries.size()) - 1;
    ForEachObserver([&](ProxyListObserver& o) { o.BeginInsertRows(first, last); });
    if (rows_.empty()) {
      // Loading a file: take the loader's buffer as it is instead of copying row by row.
      rows_ = std::move(entries);
    } else {
      // Grow geometrically: reserving the exact size moved every row on each batch, which made
      // an import appended in batches quadratic (100,000 rows took seconds).
      const std::size_t needed = rows_.size() + entries.size();
      if (rows_.capacity() < needed) rows_.reserve(std::max(needed, rows_.capacity() * 2));
      std::move(entries.begin(), entries.end(), std::back_inserter(rows_));
    }
    ForEachObserver([&](ProxyListObserver& o) { o.EndInsertRows(); });
  });
}

bool ProxyList::DeleteRow(int row) {
  return OnUi(
      [this, row] {
        if (!InRange(row)) return false;
        ForEachObserver([&](ProxyListObserver& o) { o.BeginRemoveRows(row, row); });
        rows_.erase(rows_.begin() + row);
        ForEachObserver([&](ProxyListObserver& o) { o.EndRemoveRows(); });
        ShiftMarksAfterDelete(row);
        return true;
      },
      false);
}

void ProxyList::DeleteAllRows() {
  OnUiVoid([this] { ResetRows({}); });
}

void ProxyList::ReplaceAll(std::vector<ProxyEntry> entries) {
  for (ProxyEntry& entry : entries) ReadCheckState(entry);
  OnUiVoid([this, &entries] { ResetRows(std::move(entries)); });
}

int ProxyList::FindRow(std::string_view text, int start_row, int column) const {
  return OnUi(
      [this, text, start_row, column] {
        if (!IsColumn(column)) return -1;
        for (std::size_t r = static_cast<std::size_t>(std::max(start_row, 0)); r < rows_.size();
             ++r) {
          const std::string_view cell = CellText(rows_[r], column);
          const bool match =
              column == kColAddress ? EqualsIgnoringAsciiCase(cell, text) : cell == text;
          if (match) return static_cast<int>(r);
        }
        return -1;
      },
      -1);
}

void ProxyList::AddObserver(ProxyListObserver* observer) {
  OnUiVoid([this, observer] {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
      observers_.push_back(observer);
  });
}

void ProxyList::RemoveObserver(ProxyListObserver* observer) {
  OnUiVoid([this, observer] { std::erase(observers_, observer); });
}

void ProxyList::ResetRows(std::vector<ProxyEntry> entries) {
  if (rows_.empty() && entries.empty()) return;
  ForEachObserver([&](ProxyListObserver& o) { o.BeginReset(); });
  // Assigning a fresh vector also gives the old rows' memory back.
  rows_ = std::move(entries);
  ForEachObserver([&](ProxyListObserver& o) { o.EndReset(); });
  // The rows are new ones: nothing of the old cursor or selection refers to them.
  const bool marks_changed = current_row_ != -1 || !selected_rows_.empty();
  current_row_ = -1;
  selected_rows_.clear();
  if (marks_changed) NotifyMarksChanged();
}

void ProxyList::ShiftMarksAfterInsert(int at) {
  bool changed = false;
  if (current_row_ >= at) {
    ++current_row_;
    changed = true;
  }
  for (int& r : selected_rows_) {
    if (r >= at) {
      ++r;
      changed = true;
    }
  }
  if (changed) NotifyMarksChanged();
}

void ProxyList::ShiftMarksAfterDelete(int row) {
  bool changed = false;
  if (current_row_ == row) {
    current_row_ = -1;
    changed = true;
  } else if (current_row_ > row) {
    --current_row_;
    changed = true;
  }
  for (auto it = selected_rows_.begin(); it != selected_rows_.end();) {
    if (*it == row) {
      it = selected_rows_.erase(it);
      changed = true;
      continue;
    }
    if (*it > row) {
      --*it;
      changed = true;
    }
    ++it;
  }
  if (changed) NotifyMarksChanged();
}

void ProxyList::NotifyMarksChanged() {
  ForEachObserver([&](ProxyListObserver& o) { o.CurrentOrSelectionChanged(); });
}

}  // namespace lumvex
