#include "acquire/source_c.h"

#include <utility>

#include "http/raw_request.h"
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

namespace lumvex {

void SourceCSite::Start(HarvestOrder /*order*/, std::shared_ptr<HarvestSink> sink) {
  context_.threads.Start([this, sink] {
    sink->Running();
    const std::string page = http::SimpleGet(
        context_.fetcher, source_c::PageUrl(host_), context_.cookies,
        {http::kSimpleGetConnectMs, http::kSimpleGetIdleMs}, context_.cancel.Flag());
    std::vector<ProxyEntry> rows = source_c::ParsePage(page, context_.Limits());
    if (context_.cancel.Raised()) return;
    sink->Append(std::move(rows));
    sink->Finished(!page.empty());
  });
}

}  // namespace lumvex
