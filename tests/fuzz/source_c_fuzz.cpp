// Source C's page parser on arbitrary GBK pages: rows come only from where a record can begin, and
// every cell is a piece of the decoded page.
#include <string>
#include <string_view>

#include "acquire/source_c.h"
#include "fuzz_check.h"
#include "text/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const std::string decoded = text::DecodeGbk(page);
  const std::vector<ProxyEntry> rows = source_c::ParsePage(page);
  FUZZ_CHECK(rows.size() <= fuzz::CountFolded(decoded, "<tr><td>"));
  for (const ProxyEntry& row : rows) {
    for (int column : {kColAddress, kColPort, kColLocation}) {
      FUZZ_CHECK(decoded.find(row.cells[column]) != std::string::npos);
    }
  }
  return 0;
}
