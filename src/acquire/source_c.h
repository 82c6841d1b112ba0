// Source C: one GBK page listing proxies of every country in one table; only transparent
// ("透明") proxies are taken.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "acquire/bounded_scan.h"
#include "acquire/site_source.h"
#include "proxylist/proxy_entry.h"

namespace lumvex {

// Source C as a harvest source: one page of proxies of every country, no choice to make (the
// one empty choice of every source); a harvest fetches the page on a thread and takes its
// transparent proxies.
class SourceCSite : public SiteSource {
 public:
  using SiteSource::SiteSource;
  void Start(HarvestOrder order, std::shared_ptr<HarvestSink> sink) override;
};

}  // namespace lumvex

namespace lumvex::source_c {

inline constexpr std::string_view kRowPattern =
    "<tr><td>(.*?)</td><td>(.*?)</td><td>透明</td><td>whois</td><td><div "
    "class=\"addr_style\">(.*?)</div></td></tr>";
inline constexpr std::string_view kStatusRunning = "正在获取任意国家代理IP....";

// "http://" + host + "/proxy/index.aspx".
std::string PageUrl(std::string_view host);

// The transparent proxies of the page (GBK bytes, decoded here), in page order: address, port
// and location.
std::vector<ProxyEntry> ParsePage(std::string_view page_gbk, const ScanLimits& limits = {},
                                  bool* complete = nullptr);

}  // namespace lumvex::source_c
