#include "proxylist/row_marks.h"

#include <algorithm>
#include <utility>

namespace lumvex {

void RowMarks::SetSelected(std::vector<int> rows, int row_count) {
  std::erase_if(rows, [row_count](int r) { return r < 0 || r >= row_count; });
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  selected_ = std::move(rows);
}

void RowMarks::MoveTo(int row) {
  current_ = row;
  selected_ = {row};
}

bool RowMarks::AfterInsert(int at) {
  bool changed = false;
  if (current_ >= at) {
    ++current_;
    changed = true;
  }
  for (int& r : selected_) {
    if (r >= at) {
      ++r;
      changed = true;
    }
  }
  return changed;
}

bool RowMarks::AfterDelete(int row) {
  bool changed = false;
  if (current_ == row) {
    current_ = -1;
    changed = true;
  } else if (current_ > row) {
    --current_;
    changed = true;
  }
  for (auto it = selected_.begin(); it != selected_.end();) {
    if (*it == row) {
      it = selected_.erase(it);
      changed = true;
      continue;
    }
    if (*it > row) {
      --*it;
      changed = true;
    }
    ++it;
  }
  return changed;
}

bool RowMarks::Clear() {
  const bool changed = current_ != -1 || !selected_.empty();
  current_ = -1;
  selected_.clear();
  return changed;
}

}  // namespace lumvex
