#include "validate/cell_color_table.h"

namespace lumvex {

void CellColorTable::SetCellColor(int row, int column, std::uint32_t text_colour,
                                  std::uint32_t back_colour, bool back_given) {
  CellColours colours;
  colours.text = text_colour;
  if (back_given) colours.back = back_colour;
  list_.SetCellColours(row, column, colours);
}

void CellColorTable::RemoveCellColor(int row, int column) {
  list_.SetCellColours(row, column, std::nullopt);
}

void CellColorTable::ClearCellColors() { list_.ClearCellColours(); }

std::optional<CellColours> CellColorTable::Lookup(int row, int column) const {
  return list_.GetCellColours(row, column);
}

std::size_t CellColorTable::size() const { return list_.ColouredCellCount(); }

}  // namespace lumvex
