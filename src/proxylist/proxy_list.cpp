#include "proxylist/proxy_list.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <type_traits>
#include <utility>

#include "text/text_util.h"

namespace lumvex {

namespace {

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

template <typename T, typename Read>
T ProxyList::ReadRow(int row, T neutral, Read&& read) const {
  return OnUi(
      [&]() -> T { return InRange(row) ? T(read(rows_[static_cast<std::size_t>(row)])) : neutral; },
      neutral);
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
  return OnUi([this] { return marks_.Current(); }, -1);
}

std::vector<int> ProxyList::SelectedRows() const {
  return OnUi([this] { return marks_.Selected(); }, std::vector<int>{});
}

void ProxyList::SetCurrentRow(int row) {
  OnUiVoid([this, row] {
    if (row == -1 || InRange(row)) marks_.SetCurrent(row);
  });
}

void ProxyList::MoveCursorTo(int row) {
  OnUiVoid([this, row] {
    if (!InRange(row)) return;
    marks_.MoveTo(row);
    NotifyMarksChanged();
  });
}

void ProxyList::SetSelectedRows(std::vector<int> rows) {
  OnUiVoid([this, &rows] { marks_.SetSelected(std::move(rows), static_cast<int>(rows_.size())); });
}

std::string ProxyList::GetCell(int row, int column) const {
  if (!IsColumn(column)) return std::string();
  return ReadRow(row, std::string(), [column](const CompactRow& entry) {
    return std::string(CellText(entry, column));
  });
}

ProxyEntry ProxyList::GetRow(int row) const {
  return ReadRow(row, ProxyEntry{}, [](const CompactRow& entry) { return entry.ToEntry(); });
}

std::vector<ProxyEntry> ProxyList::Snapshot() const {
  return OnUi([this] { return ToEntries(rows_); }, std::vector<ProxyEntry>{});
}

bool ProxyList::ReadRows(const std::function<void(const std::vector<CompactRow>&)>& reader) const {
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
        SetCellText(rows_[static_cast<std::size_t>(row)], column, text);
        ForEachObserver([&](ProxyListObserver& o) { o.CellChanged(row, column); });
        return true;
      },
      false);
}

CheckState ProxyList::GetCheckState(int row) const {
  return ReadRow(row, CheckState{}, [](const CompactRow& entry) { return entry.Check(); });
}

bool ProxyList::SetCheckState(int row, CheckState state) {
  return OnUi(
      [this, row, &state] {
        if (!InRange(row)) return false;
        CompactRow& entry = rows_[static_cast<std::size_t>(row)];
        entry.SetCheck(state);
        // A verdict replaces the mark: failed for a failure, none for a success and for a check
        // that ended without a verdict (the judge was busy). A check under way leaves the mark
        // of the verdict before it.
        if (state.Failed()) {
          entry.SetMark(CheckMark::kFailed);
        } else if (state.Ok() || state.Unclassified()) {
          entry.SetMark(CheckMark::kNone);
        }
        ForEachObserver([&](ProxyListObserver& o) { o.CellChanged(row, kColType); });
        return true;
      },
      false);
}

CheckMark ProxyList::GetCheckMark(int row) const {
  return ReadRow(row, CheckMark::kNone, [](const CompactRow& entry) { return entry.Mark(); });
}

void ProxyList::ClearCheckMarks() {
  OnUiVoid([this] {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
      if (!rows_[r].SetMark(CheckMark::kNone)) continue;
      ForEachObserver([&](ProxyListObserver& o) { o.CellChanged(static_cast<int>(r), kColType); });
    }
  });
}

int ProxyList::InsertRow(int position, std::string address) {
  return OnUi(
      [this, position, &address] {
        const int count = static_cast<int>(rows_.size());
        const int at = (position < 0 || position > count) ? count : position;
        ForEachObserver([&](ProxyListObserver& o) { o.BeginInsertRows(at, at); });
        CompactRow entry;
        entry.SetCell(kColAddress, address);
        rows_.insert(rows_.begin() + at, std::move(entry));
        ForEachObserver([&](ProxyListObserver& o) { o.EndInsertRows(); });
        if (marks_.AfterInsert(at)) NotifyMarksChanged();
        return at;
      },
      -1);
}

int ProxyList::AddRow(ProxyEntry added) {
  CompactRow entry(added);
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
  // Off the UI thread: compacting a large batch must not stall the window.
  AddCompactRows(CompactRows(std::move(entries)));
}

void ProxyList::AddCompactRows(std::vector<CompactRow> entries) {
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
        if (marks_.AfterDelete(row)) NotifyMarksChanged();
        return true;
      },
      false);
}

void ProxyList::DeleteAllRows() {
  OnUiVoid([this] { ResetRows({}); });
}

void ProxyList::ReplaceAll(std::vector<ProxyEntry> entries) {
  ReplaceAllCompact(CompactRows(std::move(entries)));
}

void ProxyList::ReplaceAllCompact(std::vector<CompactRow> rows) {
  OnUiVoid([this, &rows] { ResetRows(std::move(rows)); });
}

int ProxyList::FindRow(std::string_view text, int start_row, int column) const {
  return OnUi(
      [this, text, start_row, column] {
        if (!IsColumn(column)) return -1;
        for (std::size_t r = static_cast<std::size_t>(std::max(start_row, 0)); r < rows_.size();
             ++r) {
          const std::string_view cell = CellText(rows_[r], column);
          const bool match = column == kColAddress
                                 ? cell.size() == text.size() && text::StartsWith(cell, text, true)
                                 : cell == text;
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

void ProxyList::ResetRows(std::vector<CompactRow> entries) {
  if (rows_.empty() && entries.empty()) return;
  ForEachObserver([&](ProxyListObserver& o) { o.BeginReset(); });
  // Assigning a fresh vector also gives the old rows' memory back.
  rows_ = std::move(entries);
  ForEachObserver([&](ProxyListObserver& o) { o.EndReset(); });
  // The rows are new ones: nothing of the old cursor or selection refers to them.
  if (marks_.Clear()) NotifyMarksChanged();
}

void ProxyList::NotifyMarksChanged() {
  ForEachObserver([&](ProxyListObserver& o) { o.CurrentOrSelectionChanged(); });
}

}  // namespace lumvex
