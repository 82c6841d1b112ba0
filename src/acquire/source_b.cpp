#include "acquire/source_b.h"

#include <algorithm>
#include <utility>

#include "http/raw_request.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex::source_b {

std::string DatabaseListUrl(std::string_view host) {
  return "http://" + std::string(host) + "/proxyip/";
}

std::string DatabaseAddress(std::string_view host, std::string_view option_value) {
  return std::string(host) + "/proxyip/" + std::string(option_value);
}

std::string DatabaseCaption(int k) {
  return "自动更新IP代理数据库：（" + text::FormatInt(k) + "）";
}

std::vector<std::string> ParseDatabaseValues(std::string_view page, const ScanLimits& limits) {
  return AllTextsBetweenBounded(page, kOptionLeft, kOptionRight, {}, {}, limits);
}

DatabasePage ParseDatabasePage(std::string_view page, std::string_view host,
                               const ScanLimits& limits) {
  DatabasePage result;
  result.page_addresses = AllTextsBetweenBounded(page, kLinkLeft, kLinkRight,
                                                 "http://" + std::string(host) + "/", {}, limits);
  result.titles = AllTextsBetweenBounded(page, kTitleLeft, kTitleRight, {}, {}, limits);
  return result;
}

std::vector<ProxyEntry> ParseListPage(std::string_view page_gbk) {
  std::vector<ProxyEntry> rows;
  for (const std::string& line : text::SplitGbk(page_gbk, "\r\n")) {
    if (line.find("<br />") == std::string::npos) continue;
    // "<br />" is six bytes, so the line has at least that many; one more for the first byte.
    if (line.size() < 7) continue;
    const std::string_view sliced = std::string_view(line).substr(1, line.size() - 7);
    const std::vector<std::string> parts = text::SplitGbk(sliced, ":");
    if (parts.size() < 2) continue;
    const std::vector<std::string> rest = text::SplitGbk(parts[1], "@");
    if (rest.size() < 2) continue;
    const std::vector<std::string> tail = text::SplitGbk(rest[1], ";");
    ProxyEntry row;
    row.cells[kColAddress] = text::DecodeGbk(parts[0]);
    row.cells[kColPort] = text::DecodeGbk(rest[0]);
    if (tail.size() >= 2) row.cells[kColLocation] = text::DecodeGbk(tail[1]);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace lumvex::source_b

namespace lumvex {

std::optional<std::vector<HarvestChoice>> SourceBSite::LoadChoices() {
  const std::string url = source_b::DatabaseListUrl(host_);
  http::RawRequestArgs args;
  args.cancel = context_.cancel.Flag();
  std::string body = http::RawRequest(context_.fetcher, url, args, context_.cookies).body;
  // The site is retried until it answers, with a pause that doubles up to its bound.
  std::chrono::milliseconds pause = context_.tuning.retry_first;
  int attempts = 1;
  while (body.empty()) {
    if (context_.tuning.database_attempts > 0 && attempts >= context_.tuning.database_attempts) {
      return std::nullopt;
    }
    if (!context_.cancel.Pause(pause)) return std::nullopt;
    pause = std::min(pause * 2, context_.tuning.retry_most);
    // The plain GET hands over the page's own bytes; the raw request's answer is decoded.
    body = text::DecodeGbk(http::SimpleGet(context_.fetcher, url, context_.cookies,
                                           {http::kSimpleGetConnectMs, http::kSimpleGetIdleMs},
                                           context_.cancel.Flag()));
    ++attempts;
  }
  const std::vector<std::string> values = source_b::ParseDatabaseValues(body, context_.Limits());
  if (context_.cancel.Raised()) return std::nullopt;
  std::vector<HarvestChoice> choices;
  for (std::size_t k = 0; k < values.size(); ++k) {
    choices.push_back(HarvestChoice{source_b::DatabaseCaption(static_cast<int>(k) + 1), 0,
                                    source_b::DatabaseAddress(host_, values[k])});
  }
  return choices;
}

std::optional<ChoicePages> SourceBSite::LoadPages(const std::string& address) {
  http::RawRequestArgs args;
  args.cancel = context_.cancel.Flag();
  const std::string body =
      address.empty() ? std::string()
                      : http::RawRequest(context_.fetcher, address, args, context_.cookies).body;
  source_b::DatabasePage page = source_b::ParseDatabasePage(body, host_, context_.Limits());
  if (context_.cancel.Raised()) return std::nullopt;
  return ChoicePages{std::move(page.titles), std::move(page.page_addresses)};
}

void SourceBSite::Start(HarvestOrder order, std::shared_ptr<HarvestSink> sink) {
  context_.threads.Start([this, address = std::move(order.choice.address), sink] {
    bool reached = false;
    if (!address.empty()) {
      http::RawRequestArgs args;
      args.cancel = context_.cancel.Flag();
      const std::string body =
          http::RawRequest(context_.fetcher, address, args, context_.cookies).body;
      if (context_.cancel.Raised()) return;
      reached = !body.empty();
      sink->Running();
      // The raw request decodes the page; its lines are cut on the GBK bytes again.
      sink->Append(source_b::ParseListPage(text::EncodeGbk(body)));
    }
    if (context_.cancel.Raised()) return;
    sink->Finished(reached);
  });
}

}  // namespace lumvex
