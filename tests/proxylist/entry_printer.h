// Readable test failure output for list rows.
#pragma once

#include <ostream>

#include "proxylist/proxy_entry.h"

namespace lumvex {

inline void PrintTo(const ProxyEntry& entry, std::ostream* os) {
  *os << "{";
  for (int c = 0; c < kProxyColumnCount; ++c) {
    *os << (c ? ", \"" : "\"") << entry.cells[static_cast<std::size_t>(c)] << "\"";
  }
  *os << "}";
}

}  // namespace lumvex
