// Source A's page parsers on arbitrary pages: categories and table rows come only from where a
// record can begin, and every cell is a piece of the page.
#include <string_view>

#include "acquire/source_a.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string_view page(reinterpret_cast<const char*>(data), size);

  const std::vector<source_a::Category> categories = source_a::ParseCategories(page);
  FUZZ_CHECK(categories.size() <= fuzz::CountFolded(page, "<li><a href=\"proxy_ip"));
  for (const source_a::Category& category : categories) {
    FUZZ_CHECK(!category.title.empty() && page.find(category.title) != std::string_view::npos);
  }

  bool complete = false;
  const std::vector<ProxyEntry> rows = source_a::ParseTableRows(page, {}, &complete);
  FUZZ_CHECK(rows.size() <= fuzz::CountFolded(page, "<tr>"));
  for (const ProxyEntry& row : rows) {
    for (int column : {kColAddress, kColPort, kColType, kColLocation, kColSurvival}) {
      FUZZ_CHECK(!row.cells[column].empty());
      FUZZ_CHECK(page.find(row.cells[column]) != std::string_view::npos);
    }
  }
  source_a::CategoryCountCaption(page);
  FUZZ_CHECK(source_a::PageCount(page) >= 1);
  return 0;
}
