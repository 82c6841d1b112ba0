// Source B: a proxy-list site with numbered databases; a database page links to list pages, and a
// list page carries one proxy per line. Its pages are GBK: the link lists are searched in the
// decoded text, the list lines are cut on the GBK bytes themselves (their first byte and last six
// bytes go) and decoded piece by piece.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "acquire/bounded_scan.h"
#include "acquire/site_source.h"
#include "proxylist/proxy_entry.h"

namespace lumvex::source_b {

// Marker pairs of the database list and the database pages (double quotes belong to them).
inline constexpr std::string_view kOptionLeft = "<option value='";
inline constexpr std::string_view kOptionRight = "'";
inline constexpr std::string_view kLinkLeft = "免费代理IP</a></b>] <a href=\"";
inline constexpr std::string_view kLinkRight = "\"";
inline constexpr std::string_view kTitleLeft = "html\" class=\"title\">";
inline constexpr std::string_view kTitleRight = "</a>";

// "http://" + host + "/proxyip/".
std::string DatabaseListUrl(std::string_view host);
// host + "/proxyip/" + value (without a scheme, as the address box holds it).
std::string DatabaseAddress(std::string_view host, std::string_view option_value);
// "自动更新IP代理数据库：（" + k + "）".
std::string DatabaseCaption(int k);

// The option values of the database list (decoded text).
std::vector<std::string> ParseDatabaseValues(std::string_view page, const ScanLimits& limits = {});

// The list pages of a database page (decoded text): addresses "http://" + host + "/" + link target,
// and titles, found independently, in page order.
struct DatabasePage {
  std::vector<std::string> page_addresses;
  std::vector<std::string> titles;
};
DatabasePage ParseDatabasePage(std::string_view page, std::string_view host,
                               const ScanLimits& limits = {});

// The rows of a list page (GBK bytes), in line order. A line counts when it holds "<br />"; it
// loses its first byte and its last six bytes, then reads ip ":" port "@" type [";" location].
// Rows hold address, port and (when present) location; the type is not kept.
std::vector<ProxyEntry> ParseListPage(std::string_view page_gbk);

}  // namespace lumvex::source_b

namespace lumvex {

// Source B as a harvest source: its numbered databases as choices (retried until the site
// answers), the list pages of a database, and a harvest of one list page on a thread.
class SourceBSite : public SiteSource {
 public:
  using SiteSource::SiteSource;

  // The database list, asked again with a doubling pause while it comes back empty.
  std::optional<std::vector<HarvestChoice>> LoadChoices() override;
  // `address` as a database choice carries it; empty gives no pages.
  std::optional<ChoicePages> LoadPages(const std::string& address) override;
  // order.choice.address is the list page; empty fetches nothing, but the harvest still ends.
  void Start(HarvestOrder order, std::shared_ptr<HarvestSink> sink) override;
};

}  // namespace lumvex
