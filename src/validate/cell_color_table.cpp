#include "validate/cell_color_table.h"

#include <utility>

namespace lumvex {

void CellColorTable::SetCellColor(int row, int column, std::uint32_t text_colour,
                                  std::uint32_t back_colour, bool back_given) {
  if (row < 0 || column < 0) return;
  CellColours colours;
  colours.text = text_colour;
  if (back_given) colours.back = back_colour;
  {
    std::lock_guard lock(mutex_);
    entries_.insert_or_assign(Key(row, column), colours);
    ++generation_;
  }
  Notify(row, column);
}

void CellColorTable::ClearCellColors() {
  // Taken out whole so a large table gives its memory back, and freed outside the lock.
  std::unordered_map<std::uint64_t, CellColours> old;
  {
    std::lock_guard lock(mutex_);
    if (entries_.empty()) return;
    old.swap(entries_);
    ++generation_;
  }
  Notify(-1, -1);
}

std::optional<CellColours> CellColorTable::Lookup(int row, int column) const {
  if (row < 0 || column < 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto it = entries_.find(Key(row, column));
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

std::size_t CellColorTable::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

std::uint64_t CellColorTable::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

void CellColorTable::SetChangeCallback(ChangeCallback callback) {
  std::lock_guard lock(mutex_);
  on_change_ = std::move(callback);
}

void CellColorTable::Notify(int row, int column) const {
  // A copy taken under the lock, called without it: the callback may look colours up again.
  ChangeCallback callback;
  {
    std::lock_guard lock(mutex_);
    callback = on_change_;
  }
  if (callback) callback(row, column);
}

}  // namespace lumvex
