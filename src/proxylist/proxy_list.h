// The program's one data set: the ordered rows of the main list, addressed by 0-based index.
// Every operation may be called from any thread; each runs as one step on the UI thread.
// Rows are kept compact (CompactRow) and handed in and out as ProxyEntry.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/ui_thread.h"
#include "proxylist/compact_row.h"
#include "proxylist/proxy_entry.h"
#include "proxylist/proxy_list_observer.h"
#include "proxylist/row_marks.h"

namespace lumvex {

class ProxyList {
 public:
  explicit ProxyList(UiThread& ui);
  ProxyList(const ProxyList&) = delete;
  ProxyList& operator=(const ProxyList&) = delete;

  int ListCount() const;
  // -1 when there is no current row.
  int CurrentRow() const;
  std::vector<int> SelectedRows() const;  // ascending
  // Set by the view when the user moves the cursor or selects; out-of-range rows are ignored.
  void SetCurrentRow(int row);
  void SetSelectedRows(std::vector<int> rows);
  // The program moves the cursor: `row` becomes the current and only selected row, and the view
  // follows. Out-of-range rows are ignored.
  void MoveCursorTo(int row);

  // The text the row shows and saves (CellText). Empty text for a row or column out of range.
  std::string GetCell(int row, int column) const;
  ProxyEntry GetRow(int row) const;
  std::vector<ProxyEntry> Snapshot() const;
  // Lets `reader` look at all rows in one step without copying them (saving the list file).
  // False when the UI thread has closed and `reader` did not run.
  bool ReadRows(const std::function<void(const std::vector<CompactRow>&)>& reader) const;
  // Writes the cell as SetCellText does (text in the type column is a source's type and ends the
  // row's check state). False when the row or column is out of range.
  bool SetCell(int row, int column, std::string text);

  // The row's check state; the none state for a row out of range.
  CheckState GetCheckState(int row) const;
  // Sets the row's check state and, for a verdict, the row's mark (CheckMark: failed for a
  // failure, none for a pass or a check the busy judge left undecided), in one step, so a verdict
  // and its red are never seen apart; observers hear CellChanged of the type column. False when
  // the row is out of range.
  bool SetCheckState(int row, CheckState state);

  // The row's mark, carried by the row (inserting or deleting rows above moves it along); none
  // for a row out of range.
  CheckMark GetCheckMark(int row) const;
  // Every row's mark back to none; observers hear CellChanged of the type column of each row
  // that had one.
  void ClearCheckMarks();

  // Inserts a row whose column 0 is `address` at `position` (negative or past the end appends).
  // Returns the new row's index.
  int InsertRow(int position, std::string address);
  // Rows are taken with the check states and marks they carry.
  // Appends a row; returns its index.
  int AddRow(ProxyEntry entry);
  // Appends many rows in one step (loading a file).
  void AddRows(std::vector<ProxyEntry> entries);
  // The same with rows already compact (a loaded file's), taken as they are.
  void AddCompactRows(std::vector<CompactRow> rows);
  // False when the row is out of range. Rows below move up; current and selected rows follow.
  bool DeleteRow(int row);
  void DeleteAllRows();
  // Replaces all rows in one step (cleaning operations).
  void ReplaceAll(std::vector<ProxyEntry> entries);
  void ReplaceAllCompact(std::vector<CompactRow> rows);

  // First row at or after `start_row` whose cell in `column` equals `text` as a whole: letter
  // case is ignored in column 0 and respected in the other columns. -1 when none.
  int FindRow(std::string_view text, int start_row = 0, int column = 0) const;

  // Observers are called on the UI thread; add and remove them on the UI thread.
  void AddObserver(ProxyListObserver* observer);
  void RemoveObserver(ProxyListObserver* observer);

  // Direct access for code already on the UI thread (the table model's data() reads the cell
  // texts here, without copies). Callers must be on the UI thread.
  const std::vector<CompactRow>& RowsOnUiThread() const { return rows_; }

 private:
  // Runs `fn` as one step on the UI thread; `neutral` when that thread has closed.
  template <typename Fn>
  auto OnUi(Fn&& fn, std::invoke_result_t<Fn&> neutral) const -> std::invoke_result_t<Fn&>;
  template <typename Fn>
  void OnUiVoid(Fn&& fn) const;
  // `read(row)` as one step on the UI thread; `neutral` when the row does not exist.
  template <typename T, typename Read>
  T ReadRow(int row, T neutral, Read&& read) const;
  template <typename Fn>
  void ForEachObserver(Fn&& fn);

  bool InRange(int row) const;
  void ResetRows(std::vector<CompactRow> rows);
  void NotifyMarksChanged();

  UiThread& ui_;
  std::vector<CompactRow> rows_;
  RowMarks marks_;
  std::vector<ProxyListObserver*> observers_;
};

}  // namespace lumvex
