// One row of the proxy list: six text cells.
#pragma once

#include <array>
#include <string>

#include "proxylist/cell_colours.h"

namespace lumvex {

enum ProxyColumn : int {
  kColAddress = 0,   // "IP地址"
  kColPort = 1,      // "IP端口"
  kColType = 2,      // "类型": the source's type text, then the check verdict
  kColSpeed = 3,     // "速度(秒)"
  kColLocation = 4,  // "地理位置"
  kColSurvival = 5,  // "存活时间"
};
inline constexpr int kProxyColumnCount = 6;

struct ProxyEntry {
  std::array<std::string, kProxyColumnCount> cells;
  // Set by checks, shown by the view, never saved: the red of a failed verdict stays with its row.
  RowColours colours = {};

  friend bool operator==(const ProxyEntry&, const ProxyEntry&) = default;
};

}  // namespace lumvex
