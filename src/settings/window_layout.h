// The main window's size and place and the list's column widths, kept in the data directory
// ("window") from one run to the next. Values a person or a broken write left unreadable give
// way to the window's defaults, each on its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"

namespace lumvex {

struct WindowGeometry {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

struct WindowLayout {
  std::optional<WindowGeometry> geometry;  // nullopt: the default size and place
  std::vector<int> column_widths;          // empty: the default widths
};

// Bounds of what is taken back: beyond them the text is malformed. Positions may be negative
// (a screen left of or above the first one).
inline constexpr int kMostWindowCoordinate = 100000;
inline constexpr int kLeastWindowSide = 50;
inline constexpr int kMostWindowSide = 100000;
inline constexpr int kMostColumnWidth = 4000;
inline constexpr std::size_t kMostColumns = 64;

// "left,top,width,height": four decimal integers, blanks around each allowed.
std::optional<WindowGeometry> ParseWindowGeometry(std::string_view text);
std::string FormatWindowGeometry(const WindowGeometry& geometry);

// One width a column, "150,50,...": empty when any is not a width from 1 to kMostColumnWidth.
std::vector<int> ParseColumnWidths(std::string_view text);
std::string FormatColumnWidths(const std::vector<int>& widths);

WindowLayout ReadWindowLayout(const Settings& settings);
// Both values in one replacement of the file; a part left unset is written empty.
bool WriteWindowLayout(const Settings& settings, const WindowLayout& layout);

}  // namespace lumvex
