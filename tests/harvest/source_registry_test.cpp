// The one list of sources and the Harvester over it: every source is found by its name, a
// harvest reports to any sink, without the window, and source A keeps to its limit in flight.
#include "acquire/source_registry.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "acquire/harvester.h"
#include "http/cookie_store.h"
#include "http/curl_global.h"
#include "sites/proxy_sites.h"

namespace lumvex {
namespace {

TEST(SourceRegistryTest, EverySourceIsFoundByItsName) {
  struct Case {
    std::string_view name;
    std::string_view title;
    std::string_view running_status;
    std::string_view default_host;
  };
  const Case cases[] = {
      {"a", "source A", "正在获取代理IP....", "proxy-a.example.com"},
      {"b", "source B", "正在获取代理IP....", "proxy-b.example.com"},
      {"c", "source C", "正在获取任意国家代理IP....", "proxy-c.example.com"},
  };
  ASSERT_EQ(RegisteredSources().size(), std::size(cases));
  http::CookieStore cookies;
  http::FetchClient fetcher(&cookies);
  Harvester harvester(fetcher, &cookies, {}, [](std::string_view) { return "127.0.0.1:9"; });
  for (const Case& c : cases) {
    const SourceInfo* info = FindSource(c.name);
    ASSERT_NE(info, nullptr) << c.name;
    EXPECT_EQ(info->title, c.title);
    EXPECT_EQ(info->running_status, c.running_status);
    EXPECT_EQ(info->default_host, c.default_host);
    EXPECT_NE(harvester.Find(c.name), nullptr) << c.name;
  }
  EXPECT_EQ(FindSource("d"), nullptr);
  EXPECT_EQ(harvester.Find("d"), nullptr);
}

// Records what a harvest reports.
class RecordingSink : public HarvestSink {
 public:
  void Running() override {
    std::lock_guard lock(mutex_);
    ++running_;
  }
  int Append(std::vector<ProxyEntry> rows) override {
    std::lock_guard lock(mutex_);
    for (ProxyEntry& row : rows)
      rows_.push_back(row.cells[kColAddress] + ":" + row.cells[kColPort]);
    return static_cast<int>(rows_.size());
  }
  void Progress(int /*count*/) override {}
  void Finished(bool reached) override {
    std::lock_guard lock(mutex_);
    finished_ = true;
    ++finished_count_;
    reached_ = reached;
    done_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return finished_; });
  }

  std::mutex mutex_;
  std::condition_variable done_;
  int running_ = 0;
  std::vector<std::string> rows_;
  bool finished_ = false;
  int finished_count_ = 0;
  bool reached_ = false;
};

TEST(SourceRegistryTest, AHarvestReportsToItsSink) {
  http::EnsureCurlGlobalInit();
  tools::ProxySites sites({});
  ASSERT_TRUE(sites.Start());
  http::CookieStore cookies;
  http::FetchClient fetcher(&cookies);
  Harvester harvester(fetcher, &cookies, {}, [&sites](std::string_view) { return sites.HostC(); });
  Source* any_country = harvester.Find("c");
  ASSERT_NE(any_country, nullptr);
  EXPECT_EQ(any_country->LoadChoices()->size(), 1u);
  auto sink = std::make_shared<RecordingSink>();
  any_country->Start({}, sink);
  sink->Wait();
  std::vector<std::string> want;
  for (const tools::SiteRow& row : sites.AnyCountryRows()) {
    if (row.type == "透明") want.push_back(row.address + ":" + row.port);
  }
  EXPECT_EQ(sink->rows_, want);
  EXPECT_EQ(sink->running_, 1);
  EXPECT_TRUE(sink->reached_);
  harvester.Shutdown();
}

std::string TablePath(int category, int page) {
  return "/proxy_ip.html?id=" + std::to_string(category) + "&pageid=" + std::to_string(page);
}

// Records, as each source-A page is handed over, how many of its harvest's table pages the site
// has been asked for.
class InFlightSink : public RecordingSink {
 public:
  InFlightSink(const tools::ProxySites& sites, int category, int pages)
      : sites_(sites), category_(category), pages_(pages) {}
  void Progress(int /*count*/) override {
    int asked = 0;
    for (int page = 1; page <= pages_; ++page) asked += sites_.Hits(TablePath(category_, page));
    std::lock_guard lock(mutex_);
    asked_at_page_.push_back(asked);
    done_.notify_all();
  }
  void WaitPages(std::size_t count) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return asked_at_page_.size() >= count; });
  }
  // Before the n-th page ended, n - 1 places came free: that many more pages went out.
  void ExpectAtMostInFlight(int limit) {
    std::lock_guard lock(mutex_);
    for (std::size_t done = 0; done < asked_at_page_.size(); ++done) {
      EXPECT_LE(asked_at_page_[done], limit + static_cast<int>(done)) << done;
    }
  }
  std::vector<int> asked_at_page_;  // the n-th page handed over: pages asked by then

 private:
  const tools::ProxySites& sites_;
  const int category_;
  const int pages_;
};

HarvestOrder OrderOf(int category, const std::string& count, int workers) {
  HarvestOrder order;
  order.choice.data = category;
  order.count_text = [count] { return count; };
  order.workers = workers;
  return order;
}

// A held page ends at its half-second deadline.
HarvestTuning QuickPages(std::chrono::milliseconds interval) {
  HarvestTuning tuning;
  tuning.page_interval = interval;
  tuning.page_timeout_s = 0.5;
  return tuning;
}

// No more than the worker count of pages are out at once: while the first pages are held, the
// later ones wait for them to end (at their deadline) instead of going out on their turn.
TEST(SourceRegistryTest, SourceAKeepsAtMostTheWorkerCountOfPagesInFlight) {
  http::EnsureCurlGlobalInit();
  for (const int workers : {1, 2}) {
    SCOPED_TRACE(workers);
    tools::ProxySites sites({});
    ASSERT_TRUE(sites.Start());
    for (const int page : {1, 2}) sites.SetFault(TablePath(101, page), tools::PageFault::kStall);
    http::CookieStore cookies;
    http::FetchClient fetcher(&cookies);
    Harvester harvester(fetcher, &cookies, QuickPages(std::chrono::milliseconds(10)),
                        [&sites](std::string_view) { return sites.HostA(); });
    const int pages = 7;  // 500 requested; pages 3 to 7 bring 400 rows, so every page is taken
    auto sink = std::make_shared<InFlightSink>(sites, 101, pages);
    harvester.Find("a")->Start(OrderOf(101, "500", workers), sink);
    sink->Wait();
    harvester.Shutdown();
    sink->ExpectAtMostInFlight(workers);
    std::lock_guard lock(sink->mutex_);
    ASSERT_EQ(sink->asked_at_page_.size(), static_cast<std::size_t>(pages));
    EXPECT_EQ(sink->asked_at_page_.back(), pages);
    EXPECT_EQ(sink->rows_.size(), 400u);
  }
}

// A page that ends after its harvest ended is that harvest's alone: it neither ends a harvest
// started since nor frees one of its places in flight.
TEST(SourceRegistryTest, ALatePageOfAnEndedHarvestTouchesNoLaterOne) {
  http::EnsureCurlGlobalInit();
  tools::ProxySites sites({});
  ASSERT_TRUE(sites.Start());
  for (const int category : {101, 102}) {
    sites.SetFault(TablePath(category, 1), tools::PageFault::kStall);
  }
  http::CookieStore cookies;
  http::FetchClient fetcher(&cookies);
  // Pages 100 ms apart: the second harvest's pages still come up after the late page.
  Harvester harvester(fetcher, &cookies, QuickPages(std::chrono::milliseconds(100)),
                      [&sites](std::string_view) { return sites.HostA(); });
  // 160 requested: three pages; the third ends the harvest while the held first is still out.
  auto first = std::make_shared<InFlightSink>(sites, 101, 3);
  harvester.Find("a")->Start(OrderOf(101, "160", 20), first);
  first->Wait();
  // One place: the held first page keeps the others waiting past the first harvest's late page.
  auto second = std::make_shared<InFlightSink>(sites, 102, 7);
  harvester.Find("a")->Start(OrderOf(102, "500", 1), second);
  second->Wait();
  first->WaitPages(3);
  harvester.Shutdown();
  second->ExpectAtMostInFlight(1);
  std::scoped_lock lock(first->mutex_, second->mutex_);
  EXPECT_EQ(first->finished_count_, 1);
  EXPECT_EQ(first->rows_.size(), 160u);
  EXPECT_EQ(second->finished_count_, 1);
  EXPECT_EQ(second->asked_at_page_.size(), 7u);
  EXPECT_EQ(second->rows_.size(), 480u);
}

}  // namespace
}  // namespace lumvex
