#include "acquire/source_c.h"

#include "text/codec.h"

namespace lumvex::source_c {

std::string PageUrl(std::string_view host) {
  return "http://" + std::string(host) + "/proxy/index.aspx";
}

std::vector<ProxyEntry> ParsePage(std::string_view page_gbk, const ScanLimits& limits,
                                  bool* complete) {
  std::vector<ProxyEntry> rows;
  const bool whole = ScanBounded(kRowPattern, "<tr><td>", text::DecodeGbk(page_gbk), limits,
                                 [&](const RegexHelper& helper, int i) {
                                   ProxyEntry row;
                                   row.cells[kColAddress] = helper.SubMatchText(i, 1);
                                   row.cells[kColPort] = helper.SubMatchText(i, 2);
                                   row.cells[kColLocation] = helper.SubMatchText(i, 3);
                                   rows.push_back(std::move(row));
                                 });
  if (complete != nullptr) *complete = whole;
  return rows;
}

}  // namespace lumvex::source_c
