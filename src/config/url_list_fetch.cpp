#include "config/url_list_fetch.h"

#include <utility>

#include "config/list_body.h"
#include "http/http_limits.h"
#include "proxylist/address_line_reader.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex {

int LastStatusCode(std::string_view header_block) {
  int code = 0;
  for (const std::string& line : text::Split(header_block, "\n")) {
    if (!text::StartsWith(line, "HTTP/")) continue;
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    code = text::AtoI(std::string_view(line).substr(space + 1));
  }
  return code;
}

UrlListFetch FetchUrlList(http::FetchClient& fetcher, const std::string& address,
                          double timeout_s) {
  UrlListFetch result;
  http::FetchOptions options;
  options.timeout_s = timeout_s;
  options.body_encoding = http::kBodyAsIs;
  options.want_response_headers = true;
  // Compressed lists are decoded here, whether the server was asked or not.
  options.headers = "Accept-Encoding: gzip, deflate\r\n";
  std::string url = address;
  http::FetchResult page = fetcher.FetchPage(url, options);
  const int status = page.response_headers ? LastStatusCode(*page.response_headers) : 0;
  const auto fail = [&result](std::string error, std::string status_error) {
    result.error = std::move(error);
    result.status_error = std::move(status_error);
  };
  if (page.timed_out) {
    fail("no answer (timed out)", "超时，没有应答");
  } else if (status == 0 && page.body.empty()) {
    fail("no answer", "没有应答");
  } else if (status != 0 && (status < 200 || status > 299)) {
    // An error page is no list: its words would become rows.
    fail("HTTP " + text::FormatInt(status), "HTTP " + text::FormatInt(status));
  } else if (page.body.empty()) {
    fail("empty answer", "内容为空");
  } else {
    result.fetched = true;
    const bool arrived_cut = page.body.size() >= http::kMaxBodyBytes;
    ListBody body = PrepareListBody(std::move(page.body), arrived_cut, http::kMaxBodyBytes);
    result.cut = body.cut;
    result.bytes = std::move(body.bytes);
  }
  return result;
}

std::vector<ProxyEntry> UrlListRows(std::string_view bytes) {
  std::vector<ProxyEntry> rows;
  ReadUrlListRows(bytes, [&rows](std::vector<ProxyEntry>&& batch) {
    for (ProxyEntry& row : batch) rows.push_back(std::move(row));
    return true;
  });
  return rows;
}

AddressReadSummary ReadUrlListRows(std::string_view bytes, const RowSink& on_rows,
                                   const SkipSink& on_skip) {
  // Bytes held whole (a downloaded list) are judged whole: UTF-8 or GBK.
  const LineEncoding encoding =
      text::LooksLikeUtf8(bytes) ? LineEncoding::kUtf8 : LineEncoding::kGbk;
  return ReadAddressLines(bytes, encoding, on_rows, on_skip);
}

}  // namespace lumvex
