// Loopback stand-ins for the three proxy-list sources, generated from a seed so that tests know
// every row they serve. Source A: a category list and 80-row table pages (UTF-8, CR LF rows).
// Source B: a database list, database pages linking to list pages, list pages of "<br />" lines
// (GBK). Source C: one GBK page mixing transparent and anonymous rows, and the same rows as a
// plain-text list (/http.txt). Chosen pages can be told
// to fail, stall, return junk, or return a hostile page built to make a pattern matcher backtrack.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lumvex::tools {

class ReplyEngine;

struct SiteRow {
  std::string address, port, type, location, speed, survival;

  friend bool operator==(const SiteRow&, const SiteRow&) = default;
};

enum class PageFault {
  kNone,
  kFail,     // "500 Internal Server Error" with an empty body
  kStall,    // the request is read and never answered
  kJunk,     // bytes that are no page at all
  kHostile,  // the page's first rows, then a multi-megabyte line of half-started records
};

struct SitesConfig {
  std::uint32_t seed = 1;
  int categories = 5;           // source A
  int pages_per_category = 30;  // 80 rows each; later pages are empty tables
  int databases = 3;            // source B
  int list_pages = 4;           // per database
  int rows_per_list_page = 40;
  int c_rows = 30;  // source C, every third one anonymous ("高匿")
  // When set, every other generated row is one of these address:port proxies (the demo's farm);
  // the other rows point at closed loopback ports.
  std::vector<std::string> live_proxies;
  std::chrono::milliseconds lifetime{10 * 60 * 1000};
  // When set, each request is appended to this file as it arrives, one "a|b|c TARGET" line
  // (scripts driving the program wait on it instead of sleeping).
  std::string request_log;
};

class ProxySites {
 public:
  explicit ProxySites(SitesConfig config);
  ~ProxySites();
  ProxySites(const ProxySites&) = delete;
  ProxySites& operator=(const ProxySites&) = delete;

  // Binds three loopback listeners (ports 0: free ones); false on failure.
  bool Start(std::uint16_t port_a = 0, std::uint16_t port_b = 0, std::uint16_t port_c = 0);
  void Stop();
  // "127.0.0.1:port" of each site (the program's host names).
  std::string HostA() const;
  std::string HostB() const;
  std::string HostC() const;

  // A fault for one request target ("/proxy_ip.html?id=101&pageid=2"), any time.
  void SetFault(const std::string& target, PageFault fault);
  // Requests answered per target so far.
  int Hits(const std::string& target) const;

  // What the sites serve.
  const SitesConfig& Config() const { return config_; }
  // Category ids in list order and their titles ("北京代理（2400）").
  std::vector<int> CategoryIds() const;
  std::string CategoryTitle(int index) const;
  // Rows of a source-A table page (empty past the category's pages).
  std::vector<SiteRow> TableRows(int category_id, int page) const;
  // Option values of the database list ("1.html" ...), list-page link targets and titles of a
  // database (1-based), and the rows of a list page (1-based).
  std::vector<std::string> DatabaseValues() const;
  std::vector<std::string> ListPageTargets(int database) const;
  std::vector<std::string> ListPageTitles(int database) const;
  std::vector<SiteRow> ListPageRows(int database, int page) const;
  // Every row of the source-C page in page order (type "透明" or "高匿").
  std::vector<SiteRow> AnyCountryRows() const;

  // The pages themselves (bytes as sent).
  std::string CategoryListPage() const;
  std::string TablePage(int category_id, int page) const;
  std::string DatabaseListPage() const;
  std::string DatabasePage(int database) const;
  std::string ListPage(int database, int page) const;
  std::string AnyCountryPage() const;
  // Source C's rows again as a plain-text list, one "address:port" a line (CR LF), served at
  // kPlainListTarget: what "从网址导入代理IP(&U)" and `harvest --url` read.
  std::string PlainListPage() const;
  static constexpr const char* kPlainListTarget = "/http.txt";

 private:
  struct Answer;
  Answer Serve(std::size_t site, const std::string& target);
  SiteRow MakeRow(std::uint32_t salt, int index) const;

  SitesConfig config_;
  std::unique_ptr<ReplyEngine> engine_;
  std::vector<std::uint16_t> ports_;
  mutable std::mutex mutex_;
  std::map<std::string, PageFault> faults_;
  std::map<std::string, int> hits_;
};

}  // namespace lumvex::tools
