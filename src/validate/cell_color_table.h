// Per-cell colours of the main list: failed verdicts are drawn in red. The colours are kept by the
// rows themselves (ProxyList), so a red verdict stays on its proxy when rows above it are inserted
// or deleted; this is the view's side of them, usable from any thread (each call is one list step).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "proxylist/cell_colours.h"
#include "proxylist/proxy_list.h"

namespace lumvex {

class CellColorTable {
 public:
  // `list` must outlive the table.
  explicit CellColorTable(ProxyList& list) : list_(list) {}
  CellColorTable(const CellColorTable&) = delete;
  CellColorTable& operator=(const CellColorTable&) = delete;

  // Draws the cell in `text_colour` on `back_colour`, or on the list's own background when
  // `back_given` is false. A cell has at most one entry: a second call replaces its colours.
  // Positions that name no cell of the list are ignored.
  void SetCellColor(int row, int column, std::uint32_t text_colour, std::uint32_t back_colour,
                    bool back_given);
  // The cell goes back to the list's own colours.
  void RemoveCellColor(int row, int column);
  // Removes every entry; all cells go back to the list's own colours.
  void ClearCellColors();

  std::optional<CellColours> Lookup(int row, int column) const;
  // Cells that have colours of their own.
  std::size_t size() const;

 private:
  ProxyList& list_;
};

}  // namespace lumvex
