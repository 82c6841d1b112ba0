// The address-line reader on arbitrary bytes read as a stream: no line it returns is longer than
// its limit or holds a line end or NUL, every address it gives parses again to itself, and the
// line count agrees between the reader and the whole read.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "proxylist/address_line_reader.h"
#include "proxylist/proxy_line_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  std::istringstream in(bytes);
  AddressLineReader reader(in);
  std::string line;
  std::size_t returned = 0;
  while (reader.Next(line)) {
    ++returned;
    FUZZ_CHECK(line.size() <= AddressLineReader::kMaxLineBytes);
    FUZZ_CHECK(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
  }
  FUZZ_CHECK(returned + reader.LongLines().size() == reader.LineNumber());

  for (const LineEncoding encoding :
       {LineEncoding::kGbk, LineEncoding::kUtf8, LineEncoding::kEachLine}) {
    std::size_t rows_total = 0;
    const AddressReadSummary summary =
        ReadAddressLines(bytes, encoding, [&rows_total](std::vector<ProxyEntry>&& rows) {
          FUZZ_CHECK(rows.size() <= 2);
          for (const ProxyEntry& row : rows) {
            const std::vector<ProxyEntry> again =
                ParseProxyLine(row.cells[kColAddress] + ":" + row.cells[kColPort]);
            FUZZ_CHECK(again.size() == 1);
            FUZZ_CHECK(again[0].cells[kColAddress] == row.cells[kColAddress]);
            FUZZ_CHECK(again[0].cells[kColPort] == row.cells[kColPort]);
          }
          rows_total += rows.size();
          return true;
        });
    FUZZ_CHECK(summary.lines == reader.LineNumber());
    FUZZ_CHECK(summary.stopped_at_nul == reader.StoppedAtNul());
    // Each row needs at least "a:1" of the input.
    FUZZ_CHECK(rows_total <= 2 * (size / 3 + 1));
  }
  return 0;
}
