// The list file load on arbitrary bytes: the loaded rows, saved and loaded again, are the same
// rows, and saving them again gives the same bytes. A cell saved as GBK comes back as GBK keeps
// it: bytes that could not be read were already lost at the first load (U+FFFD), and GBK writes
// that character, and the few others it cannot hold, as "?". A save whose GBK bytes would read as
// UTF-8 is not read back the same (the encoding is a guess); the reader keeps such a file's bytes
// beside it before its first save, so nothing is lost, and the round trip is asked of every other.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "proxylist/agent_file.h"
#include "text/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const AgentFileContent loaded = ParseAgentFile(bytes);
  const std::string saved = FormatAgentText(loaded.rows);
  if (text::LooksLikeUtf8(saved)) return 0;
  const std::vector<ProxyEntry> again = ParseAgentText(saved);
  FUZZ_CHECK(again.size() == loaded.rows.size());
  for (std::size_t i = 0; i < again.size(); ++i) {
    for (int column = 0; column < kProxyColumnCount; ++column) {
      const std::string cell(loaded.rows[i].Cell(column));
      FUZZ_CHECK(again[i].cells[column] == cell ||
                 again[i].cells[column] == text::DecodeGbk(text::EncodeGbk(cell)));
    }
  }
  FUZZ_CHECK(FormatAgentText(again) == saved);
  return 0;
}
