// One row of the proxy list: six text cells and the row's check state.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "proxylist/check_state.h"

namespace lumvex {

enum ProxyColumn : int {
  kColAddress = 0,   // "IP地址"
  kColPort = 1,      // "IP端口"
  kColType = 2,      // "类型": the source's type text, then the text of the check state
  kColSpeed = 3,     // "速度(秒)"
  kColLocation = 4,  // "地理位置"
  kColSurvival = 5,  // "存活时间"
};
inline constexpr int kProxyColumnCount = 6;

struct ProxyEntry {
  // cells[kColType] keeps the source's type text; once a check has started, the column shows the
  // check state's text instead (CellText).
  std::array<std::string, kProxyColumnCount> cells;
  CheckState check = {};
  // Set by checks, shown by the view, never saved: the red of a failed verdict stays with its row.
  CheckMark mark = CheckMark::kNone;

  // Rows are equal when they show and save the same texts and carry the same mark: a source's
  // type text behind a verdict and a check's measurements are not part of what the row shows.
  friend bool operator==(const ProxyEntry& a, const ProxyEntry& b);
};

// The text the row shows and saves in `column`: the check state's text in the type column once a
// check has started, the cell's own text otherwise.
inline std::string_view CellText(const ProxyEntry& entry, int column) {
  if (column == kColType && entry.check.status != CheckStatus::kNone) {
    return CheckStatusText(entry.check.status);
  }
  return entry.cells[static_cast<std::size_t>(column)];
}

// The menus' rule for a proxy to set as the system proxy: a check found it working (or the list
// file said so when it was loaded).
inline bool ShowsOk(const ProxyEntry& entry) { return entry.check.Ok(); }

inline bool operator==(const ProxyEntry& a, const ProxyEntry& b) {
  for (int c = 0; c < kProxyColumnCount; ++c) {
    if (CellText(a, c) != CellText(b, c)) return false;
  }
  return a.mark == b.mark;
}

}  // namespace lumvex
