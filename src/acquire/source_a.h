// Source A: a proxy-list site that sorts its proxies into categories, each with a paged table.
// Pages arrive as UTF-8. The functions cut its pages into categories and rows; SourceASite
// fetches them and hands the rows to a harvest's sink.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "acquire/bounded_scan.h"
#include "acquire/site_source.h"
#include "proxylist/proxy_entry.h"

namespace lumvex::source_a {

// One category link of the category list (the two spaces before "title" belong to the page).
inline constexpr std::string_view kCategoryPattern =
    "<li><a href=\"proxy_ip.html\\?id=(.{1,}?)\"  title=\"(.{1,}?)\">.*\\（(.{1,}?)\\）个</a></li>";
// One table row: CR LF line ends, two spaces before every cell.
inline constexpr std::string_view kRowPattern =
    "<tr>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n"
    "  <td class=\"tableAdr\">(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n"
    "  <td>(.{1,}?)</td>\r\n</tr>";

// Rows per table page assumed when planning a harvest.
inline constexpr int kRowsPerPage = 80;
// Pause between two page submissions.
inline constexpr int kPageIntervalMs = 1000;

struct Category {
  int id = 0;
  std::string title;

  friend bool operator==(const Category&, const Category&) = default;
};

// "http://" + host + "/proxy_ipList.html?pageid=1".
std::string CategoryListUrl(std::string_view host);
// "http://" + host + "/proxy_ip.html?id=" + id + "&pageid=" + page.
std::string TablePageUrl(std::string_view host, int category_id, int page);

// The categories of the list page, in page order; the id is the number its text starts with.
std::vector<Category> ParseCategories(std::string_view page, const ScanLimits& limits = {});

// The rows of a table page, in page order: address, port, type, speed in seconds, location,
// survival time. `complete` (when given) is false when the bound ended the scan early.
std::vector<ProxyEntry> ParseTableRows(std::string_view page, const ScanLimits& limits = {},
                                       bool* complete = nullptr);

// The speed cell in seconds: the words 秒, 毫 and 钟 removed, the number read and divided by
// 1000 ("350毫秒" gives "0.35", "2秒" gives "0.002", no number gives "0").
std::string SpeedSeconds(std::string_view cell);

// Caption of the category count label for the chosen entry's text: the text between its
// full-width parentheses framed by "当前数据库共有IP： " and " 个".
std::string CategoryCountCaption(std::string_view entry_text);

// Pages to fetch for the requested number as typed: integer of (number / 80), plus 1.
int PageCount(std::string_view fetch_count_text);

// True when the list holds the requested number of rows (row count − number ≥ −0.0000001).
bool CountReached(int list_count, std::string_view fetch_count_text);

}  // namespace lumvex::source_a

namespace lumvex {

// Source A as a harvest source: its categories as choices; a harvest plans the table pages the
// requested number needs, paces them out one interval apart and ends after the first page that
// brings the rows up to the number (or when every page is done). Each page is a transfer on the
// fetch driver, at most the harvest's worker count of them at once.
class SourceASite : public SiteSource {
 public:
  using SiteSource::SiteSource;

  // order.choice.data is the category id.
  void Start(HarvestOrder order, std::shared_ptr<HarvestSink> sink) override;
  // The categories: title and id.
  std::optional<std::vector<HarvestChoice>> LoadChoices() override;

 private:
  // One harvest: its page table, its progress and where its rows go.
  struct Run {
    std::vector<std::string> urls;  // page i at i - 1
    std::function<std::string()> count_text;
    std::shared_ptr<HarvestSink> sink;
    std::atomic<int> processed{0};
    std::atomic<int> reached{0};
    bool finished = false;       // guarded by mutex_
    std::uint64_t schedule = 0;  // guarded by mutex_
  };
  // The harvests that share one limit in flight: from the start that finds none running to the
  // end of any of them, which ends them all (their pages not yet sent are dropped).
  struct Round {
    int limit = 0;
    int in_flight = 0;
    bool stopped = false;
    std::vector<std::shared_ptr<Run>> runs;
    std::deque<std::pair<std::shared_ptr<Run>, int>> waiting;  // pages whose turn came, in order
  };

  // The pacer's turn of `page`: sent now if the round has room, else queued behind the others.
  bool Submit(const std::shared_ptr<Round>& round, const std::shared_ptr<Run>& run, int page);
  void Send(const std::shared_ptr<Round>& round, const std::shared_ptr<Run>& run, int page);
  // A page's completion, on the driver thread: its rows, the completion test, the next page.
  void PageDone(const std::shared_ptr<Round>& round, const std::shared_ptr<Run>& run,
                const http::FetchResult& fetched);
  // Ends `run` and its round: true for the one page that may report the end.
  bool EndRound(const std::shared_ptr<Round>& round, Run& run);

  std::mutex mutex_;
  std::shared_ptr<Round> round_;  // the running round, or none
};

}  // namespace lumvex
