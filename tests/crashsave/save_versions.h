// The numbered contents the crash-save writer saves and the test expects: every row and the
// saved proxy depend on the version, so a file mixed from two saves matches neither.
#pragma once

#include <string>
#include <vector>

#include "proxylist/proxy_entry.h"

namespace lumvex::crashsave {

// Large enough that a save takes a while (about half a megabyte on disk), so kills land inside
// saves.
inline constexpr int kListRows = 10000;

inline std::vector<ProxyEntry> ListVersion(int version) {
  std::vector<ProxyEntry> rows;
  rows.reserve(kListRows);
  for (int r = 0; r < kListRows; ++r) {
    std::string address = "10." + std::to_string(r / 65536 % 256) + "." +
                          std::to_string(r / 256 % 256) + "." + std::to_string(r % 256);
    rows.push_back(ProxyEntry{{address, std::to_string(1000 + (version + r) % 60000), "HTTP",
                               "0.25", "版本" + std::to_string(version), "1天"}});
  }
  return rows;
}

// The saved proxy of the "IE Agent" settings file; its length varies so a cut shows.
inline std::string SavedProxyVersion(int version) {
  return "10.0.0." + std::to_string(version % 250) + ":" + std::to_string(1000 + version) + " | " +
         std::string(static_cast<std::size_t>(version % 97), 'x');
}

}  // namespace lumvex::crashsave
