// The one list of sources and the Harvester over it: every source is found by its name, and a
// harvest reports to any sink, without the window.
#include "acquire/source_registry.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>

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
  WorkerPool pool;
  http::CookieStore cookies;
  http::FetchClient fetcher(&cookies);
  Harvester harvester(fetcher, &cookies, pool, {}, [](std::string_view) { return "127.0.0.1:9"; });
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
  bool reached_ = false;
};

TEST(SourceRegistryTest, AHarvestReportsToItsSink) {
  http::EnsureCurlGlobalInit();
  tools::ProxySites sites({});
  ASSERT_TRUE(sites.Start());
  WorkerPool pool;
  http::CookieStore cookies;
  http::FetchClient fetcher(&cookies);
  Harvester harvester(fetcher, &cookies, pool, {},
                      [&sites](std::string_view) { return sites.HostC(); });
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

}  // namespace
}  // namespace lumvex
