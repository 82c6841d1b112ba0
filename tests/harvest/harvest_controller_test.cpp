// The harvest against the loopback sites: loaders, the paced source-A harvest and its ends,
// failing/stalled/junk pages, a second start, source B and C, and exit during a harvest.
#include "app/harvest_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "app/window_events.h"
#include "http/cookie_store.h"
#include "http/curl_global.h"
#include "platform/headless_ui_thread.h"
#include "sites/proxy_sites.h"

namespace lumvex {
namespace {

using namespace std::chrono_literals;

// Waits for the harvest's completion steps.
class Finish {
 public:
  HarvestEvents Events() {
    HarvestEvents events;
    events.on_finished = [this](bool reached) {
      std::lock_guard lock(mutex_);
      ++count_;
      reached_ = reached;
      done_.notify_all();
    };
    return events;
  }
  bool Wait(int count = 1, std::chrono::seconds timeout = 60s) {
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, timeout, [&] { return count_ >= count; });
  }
  int Count() {
    std::lock_guard lock(mutex_);
    return count_;
  }
  bool Reached() {
    std::lock_guard lock(mutex_);
    return reached_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  int count_ = 0;
  bool reached_ = false;
};

class HarvestTest : public ::testing::Test {
 protected:
  void SetUp() override { http::EnsureCurlGlobalInit(); }

  void StartSites(tools::SitesConfig config = {}) {
    sites_ = std::make_unique<tools::ProxySites>(std::move(config));
    ASSERT_TRUE(sites_->Start());
    endpoints_.source_hosts["a"] = sites_->HostA();
    endpoints_.source_hosts["b"] = sites_->HostB();
    endpoints_.source_hosts["c"] = sites_->HostC();
  }

  HarvestController& Make(HarvestTuning tuning = Fast()) {
    harvest_ = std::make_unique<HarvestController>(ui_, state_, session_, list_, fetcher_, &cookies_,
                                                   endpoints_, tuning);
    harvest_->SetEvents(finish_.Events());
    return *harvest_;
  }

  static HarvestTuning Fast() {
    HarvestTuning tuning;
    tuning.page_interval = 10ms;
    tuning.retry_first = 10ms;
    tuning.retry_most = 40ms;
    tuning.database_attempts = 3;
    tuning.page_timeout_s = 2.0;
    return tuning;
  }

  void TearDown() override {
    if (harvest_) harvest_->Shutdown();
  }

  // Starts a source-A harvest of `count` from the UI thread.
  void StartSourceA(const std::string& count, int category) {
    harvest_->SetCurrentCategoryId(category);
    ui_.RunSync([&] {
      session_.SetFetchCount(count);
      Announce(state_, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceA});
      harvest_->StartHarvest();
    });
  }

  std::vector<std::string> Addresses() {
    std::vector<std::string> out;
    for (const ProxyEntry& row : list_.Snapshot())
      out.push_back(row.cells[kColAddress] + ":" + row.cells[kColPort]);
    return out;
  }

  std::vector<std::string> SiteAddresses(const std::vector<tools::SiteRow>& rows) {
    std::vector<std::string> out;
    for (const tools::SiteRow& row : rows) out.push_back(row.address + ":" + row.port);
    return out;
  }

  HeadlessUiThread ui_;
  MainWindowState state_{ui_};
  WindowSession session_;
  ProxyList list_{ui_};
  http::CookieStore cookies_;
  http::FetchClient fetcher_{&cookies_};
  Endpoints endpoints_;
  std::unique_ptr<tools::ProxySites> sites_;
  Finish finish_;
  std::unique_ptr<HarvestController> harvest_;
};

TEST_F(HarvestTest, CategoryLoaderFillsTheBoxAndSelectsSourceA) {
  StartSites();
  HarvestController& harvest = Make();
  harvest.LoadSourceACategories();
  const ControlState combo = state_.Get(Combo::kSourceACategories);
  ASSERT_EQ(combo.items.size(), sites_->CategoryIds().size());
  EXPECT_EQ(combo.chosen, 0);
  EXPECT_EQ(combo.items[1].text, sites_->CategoryTitle(1));
  EXPECT_EQ(combo.items[1].data, sites_->CategoryIds()[1]);
  EXPECT_EQ(harvest.CurrentCategoryId(), sites_->CategoryIds()[0]);
  EXPECT_EQ(state_.Text(Label::kCategoryCount), "当前数据库共有IP： 2400 个");
  EXPECT_EQ(state_.ChosenSource(), SourceChoice::kSourceA);
  EXPECT_TRUE(state_.Get(Combo::kSourceACategories).enabled);
  EXPECT_FALSE(state_.Get(Combo::kSourceBPages).enabled);

  // Choosing another category: its id, its count, the status and counters reset.
  ui_.RunSync([&] {
    state_.SetText(control::kStatusLine, "x");
    state_.SetText(Counter::kList, "9");
    state_.SetChosen(Combo::kSourceACategories, 2);
    harvest.OnCategoryChosen();
  });
  EXPECT_EQ(harvest.CurrentCategoryId(), sites_->CategoryIds()[2]);
  EXPECT_EQ(state_.Text(control::kStatusLine), "");
  EXPECT_EQ(state_.Text(Counter::kList), "0");
  EXPECT_FALSE(state_.Enabled(Command::kCleanFailed));
}

TEST_F(HarvestTest, UnreachableCategoryListSelectsSourceB) {
  StartSites();
  sites_->SetFault("/proxy_ipList.html?pageid=1", tools::PageFault::kFail);
  HarvestController& harvest = Make();
  harvest.LoadSourceACategories();
  EXPECT_TRUE(state_.Get(Combo::kSourceACategories).items.empty());
  EXPECT_EQ(harvest.CurrentCategoryId(), -1);
  EXPECT_EQ(state_.Text(Label::kCategoryCount), "当前数据库共有IP：  个");
  EXPECT_EQ(state_.ChosenSource(), SourceChoice::kSourceB);
}

TEST_F(HarvestTest, SourceAHarvestCompletesByCount) {
  StartSites();
  Make();
  list_.AddRow(ProxyEntry{{"9.9.9.9", "1"}});  // kept: rows are appended after it
  StartSourceA("200", 103);
  // The controls are disabled at once, the start button is not.
  EXPECT_FALSE(state_.Enabled(Command::kValidate));
  EXPECT_FALSE(state_.Enabled(Command::kPaste));
  EXPECT_FALSE(state_.Enabled(Radio::kSourceA));
  EXPECT_TRUE(state_.Enabled(Command::kFetch));
  EXPECT_EQ(state_.Text(control::kStatusLine), "正在获取代理IP....");
  ASSERT_TRUE(finish_.Wait());
  // 200 requested: three pages planned; the row count passes 200 with the third.
  EXPECT_EQ(list_.ListCount(), 241);
  EXPECT_EQ(state_.Text(control::kStatusLine), "代理IP获取完毕！ 获取代理IP：241个");
  EXPECT_EQ(state_.Text(Counter::kList), "241");
  EXPECT_TRUE(state_.Enabled(Command::kValidate));
  EXPECT_TRUE(state_.Enabled(Command::kPaste));
  EXPECT_FALSE(state_.Enabled(Command::kCleanFailed));
  EXPECT_TRUE(state_.Get(Combo::kSourceACategories).enabled);
  EXPECT_TRUE(finish_.Reached());
  std::vector<std::string> got = Addresses();
  EXPECT_EQ(got.front(), "9.9.9.9:1");
  got.erase(got.begin());
  std::vector<std::string> want;
  for (int page = 1; page <= 3; ++page) {
    for (const std::string& a : SiteAddresses(sites_->TableRows(103, page))) want.push_back(a);
  }
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
  // Rows come whole: speed in seconds, location and survival in place.
  const ProxyEntry first = list_.GetRow(1);
  EXPECT_FALSE(first.cells[kColLocation].empty());
  EXPECT_FALSE(first.cells[kColSurvival].empty());
}

TEST_F(HarvestTest, SourceAHarvestEndsWhenPagesRunOutBelowTheCount) {
  tools::SitesConfig config;
  config.pages_per_category = 1;
  StartSites(config);
  Make();
  StartSourceA("500", 101);
  ASSERT_TRUE(finish_.Wait());
  // Seven pages, only the first has rows: the harvest still ends and frees the controls.
  EXPECT_EQ(list_.ListCount(), 80);
  EXPECT_EQ(state_.Text(control::kStatusLine), "代理IP获取完毕！ 获取代理IP：80个");
  EXPECT_TRUE(state_.Enabled(Command::kValidate));
  EXPECT_TRUE(state_.Enabled(Radio::kSourceB));
  EXPECT_EQ(sites_->Hits("/proxy_ip.html?id=101&pageid=7"), 1);
  EXPECT_EQ(finish_.Count(), 1);
}

TEST_F(HarvestTest, FailingStalledJunkAndHostilePagesAddNothingAndDoNotHold) {
  StartSites();
  sites_->SetFault("/proxy_ip.html?id=101&pageid=2", tools::PageFault::kFail);
  sites_->SetFault("/proxy_ip.html?id=101&pageid=3", tools::PageFault::kStall);
  sites_->SetFault("/proxy_ip.html?id=101&pageid=4", tools::PageFault::kJunk);
  sites_->SetFault("/proxy_ip.html?id=101&pageid=5", tools::PageFault::kHostile);
  Make();
  StartSourceA("399", 101);  // pages 1..5
  ASSERT_TRUE(finish_.Wait());
  const int count = list_.ListCount();
  // Page 1 whole, page 5 up to its hostile line (a part of its rows), nothing from 2, 3, 4.
  EXPECT_GE(count, 81);
  EXPECT_LT(count, 160);
  std::vector<std::string> got = Addresses();
  const std::vector<std::string> page5 = SiteAddresses(sites_->TableRows(101, 5));
  const std::vector<std::string> page1 = SiteAddresses(sites_->TableRows(101, 1));
  for (const std::string& a : got) {
    EXPECT_TRUE(std::find(page1.begin(), page1.end(), a) != page1.end() ||
                std::find(page5.begin(), page5.end(), a) != page5.end())
        << a;
  }
}

TEST_F(HarvestTest, SecondStartDuringAHarvestKeepsBothTablesValid) {
  StartSites();
  Make();
  StartSourceA("1500", 101);  // 19 pages
  StartSourceA("1500", 102);  // the first still runs: these pages share its limit
  ASSERT_TRUE(finish_.Wait());
  EXPECT_TRUE(harvest_->WaitThreadsIdle(10s));
  // Every row is a row of one of the two categories.
  std::vector<std::string> known;
  for (int category : {101, 102}) {
    for (int page = 1; page <= 19; ++page) {
      for (const std::string& a : SiteAddresses(sites_->TableRows(category, page)))
        known.push_back(a);
    }
  }
  std::sort(known.begin(), known.end());
  for (const std::string& a : Addresses()) {
    EXPECT_TRUE(std::binary_search(known.begin(), known.end(), a)) << a;
  }
  EXPECT_GE(list_.ListCount(), 1500);
}

TEST_F(HarvestTest, SourceBLoadsDatabasesPagesAndHarvestsOnePage) {
  StartSites();
  HarvestController& harvest = Make();
  ASSERT_TRUE(harvest.LoadSourceBDatabases());
  ASSERT_TRUE(harvest.WaitThreadsIdle(10s));
  const ControlState databases = state_.Get(Combo::kSourceBDatabases);
  ASSERT_EQ(databases.items.size(), 3u);
  EXPECT_EQ(databases.items[1].text, "自动更新IP代理数据库：（2）");
  EXPECT_EQ(session_.SourceBAddress(2), sites_->HostB() + "/proxyip/3.html");
  EXPECT_EQ(state_.Get(Combo::kSourceBPages).items.size(), 4u);
  EXPECT_EQ(state_.Get(Combo::kSourceBPages).items[0].text, sites_->ListPageTitles(1)[0]);

  // Database 2, list page 3.
  ui_.RunSync([&] {
    state_.SetChosen(Combo::kSourceBDatabases, 1);
    harvest.OnDatabaseChosen();
  });
  ASSERT_TRUE(harvest.WaitThreadsIdle(10s));
  EXPECT_EQ(harvest.SourceBPageTable()[2],
            "http://" + sites_->HostB() + "/" + sites_->ListPageTargets(2)[2]);
  ui_.RunSync([&] {
    state_.SetChosen(Combo::kSourceBPages, 2);
    harvest.OnSourceBPageChosen();
    Announce(state_, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceB});
    harvest.StartHarvest();
  });
  ASSERT_TRUE(finish_.Wait());
  const std::vector<tools::SiteRow> want = sites_->ListPageRows(2, 3);
  ASSERT_EQ(list_.ListCount(), static_cast<int>(want.size()));
  for (int i = 0; i < list_.ListCount(); ++i) {
    const ProxyEntry row = list_.GetRow(i);
    EXPECT_EQ(row.cells, (std::array<std::string, 6>{want[i].address, want[i].port, "", "",
                                                     want[i].location, ""}));
  }
  EXPECT_EQ(state_.Text(control::kStatusLine), "代理IP获取完毕！ 获取代理IP：40个");
  EXPECT_TRUE(state_.Enabled(Command::kValidate));
  EXPECT_FALSE(state_.Get(Combo::kSourceACategories).enabled);
}

TEST_F(HarvestTest, SourceBWithoutAChosenPageFetchesNothingAndCompletes) {
  StartSites();
  HarvestController& harvest = Make();
  ui_.RunSync([&] {
    Announce(state_, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceB});
    harvest.StartHarvest();
  });
  ASSERT_TRUE(finish_.Wait());
  EXPECT_FALSE(finish_.Reached());
  // Nothing was fetched from the site, and the status line says so before the count.
  EXPECT_EQ(state_.Text(control::kStatusLine),
            "无法访问代理IP网站：" + sites_->HostB() + "  代理IP获取完毕！ 获取代理IP：0个");
  EXPECT_TRUE(state_.Enabled(Command::kPaste));
  EXPECT_TRUE(state_.Enabled(Radio::kSourceA));
}

// A harvest that fetched no page of its site names the site before the usual count, and the
// source's boxes that stayed empty say why in their tooltip; one that fetched a page does neither.
TEST_F(HarvestTest, HarvestThatReachedNoPageNamesTheSite) {
  enum class Site { kClosed, kListPageFails, kUp };
  struct Case {
    const char* name;
    SourceChoice source;
    Site site;
    std::string closed_host;  // the source's address when the site is closed
  };
  const std::string closed = "127.0.0.1:1";
  const Case cases[] = {
      {"A closed", SourceChoice::kSourceA, Site::kClosed, closed},
      {"A up", SourceChoice::kSourceA, Site::kUp, ""},
      {"B closed", SourceChoice::kSourceB, Site::kClosed, closed},
      {"B list page fails", SourceChoice::kSourceB, Site::kListPageFails, ""},
      {"A address with a bell", SourceChoice::kSourceA, Site::kClosed, "127.0.0.1:1\a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartSites();
    if (c.site == Site::kClosed) {
      endpoints_.source_hosts[c.source == SourceChoice::kSourceA ? "a" : "b"] = c.closed_host;
    }
    if (c.site == Site::kListPageFails) {
      sites_->SetFault("/" + sites_->ListPageTargets(1)[0], tools::PageFault::kFail);
    }
    HarvestController& harvest = Make();
    Finish finish;
    harvest.SetEvents(finish.Events());
    list_.DeleteAllRows();
    list_.AddRow(ProxyEntry{{"9.9.9.9", "1"}});
    const bool a = c.source == SourceChoice::kSourceA;
    if (a) {
      harvest.LoadSourceACategories();
      StartSourceA("10", harvest.CurrentCategoryId());
    } else {
      harvest.LoadSourceBDatabases();
      ASSERT_TRUE(harvest.WaitThreadsIdle(10s));
      ui_.RunSync([&] {
        Announce(state_, WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceB});
        harvest.StartHarvest();
      });
    }
    ASSERT_TRUE(finish.Wait());
    const int count = list_.ListCount();
    const std::string done = "代理IP获取完毕！ 获取代理IP：" + std::to_string(count) + "个";
    const std::string host = c.site == Site::kClosed ? c.closed_host
                             : a                     ? sites_->HostA()
                                                     : sites_->HostB();
    // The escaped form of a control character, as a terminal would show it too.
    std::string shown = host;
    if (const std::size_t bell = shown.find('\a'); bell != std::string::npos) {
      shown.replace(bell, 1, "\\x07");
    }
    const std::string note = "无法访问代理IP网站：" + shown;
    if (c.site == Site::kUp) {
      EXPECT_GT(count, 1);
      EXPECT_EQ(state_.Text(control::kStatusLine), done);
    } else {
      EXPECT_EQ(count, 1);
      EXPECT_EQ(state_.Text(control::kStatusLine), note + "  " + done);
    }
    // Tooltips: only on boxes left empty by a site that could not be reached.
    const auto expected_tip = [&](ControlId box) {
      return c.site != Site::kUp && state_.Get(box).items.empty() ? note : std::string();
    };
    if (a) {
      EXPECT_EQ(state_.Tooltip(Combo::kSourceACategories), expected_tip(Combo::kSourceACategories));
      EXPECT_EQ(state_.Tooltip(Label::kCategoryCount), expected_tip(Combo::kSourceACategories));
      EXPECT_EQ(state_.Get(Combo::kSourceACategories).items.empty(), c.site == Site::kClosed);
    } else {
      for (ControlId box : {ControlId(Combo::kSourceBDatabases), ControlId(Combo::kSourceBPages)}) {
        EXPECT_EQ(state_.Tooltip(box), expected_tip(box));
        EXPECT_EQ(state_.Get(box).items.empty(), c.site == Site::kClosed);
      }
    }
    harvest_->Shutdown();
    harvest_.reset();
    ui_.RunSync([&] {
      for (ControlId box : {ControlId(Combo::kSourceACategories),
                            ControlId(Combo::kSourceBDatabases), ControlId(Combo::kSourceBPages)}) {
        state_.SetItems(box, {});
        state_.SetTooltip(box, "");
      }
    });
  }
}

TEST_F(HarvestTest, DatabaseRetryBacksOffAndGivesUpOrStopsAtExit) {
  StartSites();
  sites_->SetFault("/proxyip/", tools::PageFault::kFail);
  HarvestController& harvest = Make();
  EXPECT_FALSE(harvest.LoadSourceBDatabases());
  EXPECT_EQ(sites_->Hits("/proxyip/"), 3);
  EXPECT_TRUE(state_.Get(Combo::kSourceBDatabases).items.empty());

  // Without a bound it retries until exit, and exit ends it.
  HarvestTuning endless = Fast();
  endless.database_attempts = 0;
  endless.retry_first = 50ms;
  HarvestController& again = Make(endless);
  again.StartSourceLoaders();
  ASSERT_TRUE(sites_->Hits("/proxyip/") < 100);
  const auto start = std::chrono::steady_clock::now();
  while (sites_->Hits("/proxyip/") < 5 && std::chrono::steady_clock::now() - start < 30s) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_GE(sites_->Hits("/proxyip/"), 5);
  again.Shutdown();
  EXPECT_EQ(again.RunningThreads(), 0);
}

TEST_F(HarvestTest, AnyCountryTakesTransparentRows) {
  StartSites();
  HarvestController& harvest = Make();
  list_.AddRow(ProxyEntry{{"1.1.1.1", "1"}});
  ui_.RunSync([&] { harvest.StartAnyCountryHarvest(); });
  EXPECT_FALSE(state_.Enabled(ContextItem::kFetchAnyCountry));
  ASSERT_TRUE(finish_.Wait());
  std::vector<std::string> want = {"1.1.1.1:1"};
  for (const tools::SiteRow& row : sites_->AnyCountryRows()) {
    if (row.type == "透明") want.push_back(row.address + ":" + row.port);
  }
  EXPECT_EQ(Addresses(), want);
  EXPECT_EQ(state_.Text(control::kStatusLine),
            "代理IP获取完毕！ 获取代理IP：" + std::to_string(want.size()) + "个");
  EXPECT_TRUE(state_.Enabled(Command::kExport));
  EXPECT_FALSE(state_.Enabled(ContextItem::kFetchAnyCountry));
}

TEST_F(HarvestTest, ExitDuringAHarvestEndsEveryWait) {
  tools::SitesConfig config;
  StartSites(config);
  for (int page = 1; page <= 7; ++page) {
    sites_->SetFault("/proxy_ip.html?id=101&pageid=" + std::to_string(page),
                     tools::PageFault::kStall);
  }
  sites_->SetFault("/proxy/index.aspx", tools::PageFault::kStall);
  HarvestTuning slow = Fast();
  slow.page_timeout_s.reset();  // the 60-second default: only exit can end these waits
  HarvestController& harvest = Make(slow);
  StartSourceA("500", 101);
  ui_.RunSync([&] { harvest.StartAnyCountryHarvest(); });
  const auto asked = std::chrono::steady_clock::now();
  while (sites_->Hits("/proxy_ip.html?id=101&pageid=2") == 0 &&
         std::chrono::steady_clock::now() - asked < 30s) {
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_GT(sites_->Hits("/proxy_ip.html?id=101&pageid=2"), 0)
      << "the second page was never asked for";
  ui_.Close();
  harvest.Shutdown();
  EXPECT_EQ(harvest.RunningThreads(), 0);
  EXPECT_EQ(finish_.Count(), 0);
}

}  // namespace
}  // namespace lumvex
