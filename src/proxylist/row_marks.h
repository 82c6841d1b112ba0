// The list's current row and selected rows. They point at rows, so they follow the rows when rows
// above are inserted or deleted.
#pragma once

#include <vector>

namespace lumvex {

class RowMarks {
 public:
  // -1 when there is no current row.
  int Current() const { return current_; }
  const std::vector<int>& Selected() const { return selected_; }  // ascending, no repeats

  void SetCurrent(int row) { current_ = row; }
  // Keeps the rows below `row_count`, sorted, without repeats.
  void SetSelected(std::vector<int> rows, int row_count);
  // `row` becomes the current and only selected row.
  void MoveTo(int row);

  // Each returns true when a mark changed.
  bool AfterInsert(int at);
  bool AfterDelete(int row);
  bool Clear();

 private:
  int current_ = -1;
  std::vector<int> selected_;
};

}  // namespace lumvex
