// The list file load on arbitrary bytes: the loaded rows, saved and loaded again, are the same
// rows, and saving them again gives the same bytes. Bytes that could not be read were already
// lost at the first load (U+FFFD), and GBK writes that character as "?", so a cell may come back
// with "?" where it had U+FFFD.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "proxylist/agent_file.h"

namespace {

std::string WithReplacementAsQuestionMark(std::string_view text) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string out;
  for (std::size_t at = text.find(kReplacement); at != std::string_view::npos;
       at = text.find(kReplacement)) {
    out.append(text.substr(0, at)).push_back('?');
    text.remove_prefix(at + kReplacement.size());
  }
  return out.append(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const AgentFileContent loaded = ParseAgentFile(bytes);
  const std::string saved = FormatAgentText(loaded.rows);
  const std::vector<ProxyEntry> again = ParseAgentText(saved);
  FUZZ_CHECK(again.size() == loaded.rows.size());
  for (std::size_t i = 0; i < again.size(); ++i) {
    for (int column = 0; column < kProxyColumnCount; ++column) {
      const std::string& cell = loaded.rows[i].cells[column];
      FUZZ_CHECK(again[i].cells[column] == cell ||
                 again[i].cells[column] == WithReplacementAsQuestionMark(cell));
    }
  }
  FUZZ_CHECK(FormatAgentText(again) == saved);
  return 0;
}
