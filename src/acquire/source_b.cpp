#include "acquire/source_b.h"

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

std::vector<std::string> SplitGbk(std::string_view gbk, std::string_view delimiter) {
  std::vector<std::string> pieces;
  if (gbk.empty()) return pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(gbk);
    return pieces;
  }
  std::size_t piece_start = 0;
  std::size_t i = 0;
  while (i < gbk.size()) {
    if (gbk.compare(i, delimiter.size(), delimiter) == 0) {
      pieces.emplace_back(gbk.substr(piece_start, i - piece_start));
      i += delimiter.size();
      piece_start = i;
    } else {
      i += (static_cast<unsigned char>(gbk[i]) & 0x80) != 0 ? 2 : 1;
    }
  }
  if (piece_start < gbk.size()) pieces.emplace_back(gbk.substr(piece_start));
  return pieces;
}

std::vector<ProxyEntry> ParseListPage(std::string_view page_gbk) {
  std::vector<ProxyEntry> rows;
  for (const std::string& line : SplitGbk(page_gbk, "\r\n")) {
    if (line.find("<br />") == std::string::npos) continue;
    // "<br />" is six bytes, so the line has at least that many; one more for the first byte.
    if (line.size() < 7) continue;
    const std::string_view sliced = std::string_view(line).substr(1, line.size() - 7);
    const std::vector<std::string> parts = SplitGbk(sliced, ":");
    if (parts.size() < 2) continue;
    const std::vector<std::string> rest = SplitGbk(parts[1], "@");
    if (rest.size() < 2) continue;
    const std::vector<std::string> tail = SplitGbk(rest[1], ";");
    ProxyEntry row;
    row.cells[kColAddress] = text::DecodeGbk(parts[0]);
    row.cells[kColPort] = text::DecodeGbk(rest[0]);
    if (tail.size() >= 2) row.cells[kColLocation] = text::DecodeGbk(tail[1]);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace lumvex::source_b
