// Source B's parsers on arbitrary pages: the marker lists take only texts of the page, splitting
// GBK bytes loses none of them, and a list page gives at most one row per "<br />".
#include <string>
#include <string_view>

#include "acquire/source_b.h"
#include "fuzz_check.h"
#include "text/text_util.h"

namespace {

std::string Join(const std::vector<std::string>& pieces, std::string_view delimiter) {
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += delimiter;
    joined += pieces[i];
  }
  return joined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::vector<std::string_view> fields = fuzz::Fields(data, size, 2);
  const std::string_view delimiter = fields[0].substr(0, 4);
  const std::string_view page = fields[1];

  const std::vector<std::string> values = source_b::ParseDatabaseValues(page);
  FUZZ_CHECK(values.size() <= fuzz::CountFolded(page, source_b::kOptionLeft));
  for (const std::string& value : values) FUZZ_CHECK(page.find(value) != std::string_view::npos);

  const source_b::DatabasePage database = source_b::ParseDatabasePage(page, "h");
  FUZZ_CHECK(database.page_addresses.size() <= fuzz::CountFolded(page, source_b::kLinkLeft));
  FUZZ_CHECK(database.titles.size() <= fuzz::CountFolded(page, source_b::kTitleLeft));
  for (const std::string& address : database.page_addresses) {
    FUZZ_CHECK(address.starts_with("http://h/"));
  }

  // Joining the pieces gives the bytes back (but for a dropped empty last piece).
  const std::vector<std::string> pieces = text::SplitGbk(page, delimiter);
  const std::string joined = Join(pieces, delimiter);
  FUZZ_CHECK(joined == page || (!delimiter.empty() && joined + std::string(delimiter) == page));

  FUZZ_CHECK(source_b::ParseListPage(page).size() <= fuzz::CountFolded(page, "<br />"));
  return 0;
}
