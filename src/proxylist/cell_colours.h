// Colours of single cells of the list (a failed verdict is drawn in red). They belong to their row
// and move with it when rows above are inserted or deleted.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace lumvex {

// Colours are 0x00BBGGRR values, as Windows COLORREF holds them.
struct CellColours {
  std::uint32_t text = 0;
  // nullopt: the list's own background, whatever it is when the cell is drawn.
  std::optional<std::uint32_t> back;

  friend bool operator==(const CellColours&, const CellColours&) = default;
};

// The coloured cells of one row: almost always none or one, so a short list (empty: no memory
// beyond the list itself) serves better than a table per row.
class RowColours {
 public:
  std::optional<CellColours> Get(int column) const {
    for (const auto& [c, colours] : cells_) {
      if (c == column) return colours;
    }
    return std::nullopt;
  }
  // nullopt removes the cell's colours. True when anything changed.
  bool Set(int column, std::optional<CellColours> colours) {
    auto it = std::find_if(cells_.begin(), cells_.end(),
                           [column](const auto& cell) { return cell.first == column; });
    if (!colours) {
      if (it == cells_.end()) return false;
      cells_.erase(it);
      if (cells_.empty()) cells_.shrink_to_fit();
      return true;
    }
    if (it == cells_.end()) {
      cells_.emplace_back(column, *colours);
      return true;
    }
    if (it->second == *colours) return false;
    it->second = *colours;
    return true;
  }
  bool empty() const { return cells_.empty(); }
  std::size_t size() const { return cells_.size(); }
  // The columns that have colours.
  std::vector<int> Columns() const {
    std::vector<int> columns;
    for (const auto& cell : cells_) columns.push_back(cell.first);
    return columns;
  }

  friend bool operator==(const RowColours&, const RowColours&) = default;

 private:
  std::vector<std::pair<int, CellColours>> cells_;
};

}  // namespace lumvex
