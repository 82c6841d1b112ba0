// Per-cell colours of the main list: failed verdicts are drawn in red. Written by several
// validation workers at once and read by the view while it paints, so every access takes one
// lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace lumvex {

// Colours are 0x00BBGGRR values, as Windows COLORREF holds them.
struct CellColours {
  std::uint32_t text = 0;
  // nullopt: the list's own background, whatever it is when the cell is drawn.
  std::optional<std::uint32_t> back;

  friend bool operator==(const CellColours&, const CellColours&) = default;
};

class CellColorTable {
 public:
  // Called after every change, outside the lock and on the thread that made the change (the
  // view must hand it over to its own thread). row and column are -1 when the whole table
  // changed (cleared).
  using ChangeCallback = std::function<void(int row, int column)>;

  CellColorTable() = default;
  CellColorTable(const CellColorTable&) = delete;
  CellColorTable& operator=(const CellColorTable&) = delete;

  // Draws the cell in `text_colour` on `back_colour`, or on the list's own background when
  // `back_given` is false. A cell has at most one entry: a second call replaces its colours.
  // Entries stay on their row position when rows are deleted. Negative positions name no cell
  // and are ignored.
  void SetCellColor(int row, int column, std::uint32_t text_colour, std::uint32_t back_colour,
                    bool back_given);
  // Removes every entry; all cells go back to the list's own colours.
  void ClearCellColors();

  std::optional<CellColours> Lookup(int row, int column) const;
  std::size_t size() const;
  // Grows by one on every change; lets a painter tell whether anything changed since it looked.
  std::uint64_t Generation() const;

  void SetChangeCallback(ChangeCallback callback);

 private:
  static std::uint64_t Key(int row, int column) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(row)) << 32) |
           static_cast<std::uint32_t>(column);
  }
  void Notify(int row, int column) const;

  mutable std::mutex mutex_;
  std::unordered_map<std::uint64_t, CellColours> entries_;
  std::uint64_t generation_ = 0;
  ChangeCallback on_change_;
};

}  // namespace lumvex
