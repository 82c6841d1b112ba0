// The import line parser on arbitrary lines: at most two rows, both for one address and port,
// every cell a row fills taken from the line, and the other cells empty.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "proxylist/proxy_line_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::vector<ProxyEntry> rows = ParseProxyLine(line);
  FUZZ_CHECK(rows.size() <= 2);
  for (const ProxyEntry& row : rows) {
    FUZZ_CHECK(!row.cells[kColAddress].empty() && !row.cells[kColPort].empty());
    FUZZ_CHECK(row.cells[kColAddress] == rows[0].cells[kColAddress]);
    FUZZ_CHECK(row.cells[kColPort] == rows[0].cells[kColPort]);
    for (const int column : {kColAddress, kColPort, kColLocation}) {
      FUZZ_CHECK(line.find(row.cells[column]) != std::string_view::npos);
    }
    for (const int column : {kColType, kColSpeed, kColSurvival}) {
      FUZZ_CHECK(row.cells[column].empty());
    }
  }
  // The address and port come before the location in the line.
  if (!rows.empty()) {
    const std::size_t address_at = line.find(rows[0].cells[kColAddress]);
    FUZZ_CHECK(line.find(rows[0].cells[kColPort], address_at) != std::string_view::npos);
  }
  return 0;
}
