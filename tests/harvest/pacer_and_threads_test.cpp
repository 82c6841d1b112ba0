// The pacer that hands pages over, the harvest's thread set and cancel signal, and the
// loopback sites' own lifetime.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "acquire/cancel_signal.h"
#include "acquire/page_pacer.h"
#include "fixture/reply_engine.h"
#include "http/cookie_store.h"
#include "http/curl_global.h"
#include "http/raw_request.h"
#include "platform/work_threads.h"
#include "sites/proxy_sites.h"

namespace lumvex {
namespace {

using namespace std::chrono_literals;

// Records submitted pages and lets a test wait for a number of them.
class Submissions {
 public:
  PagePacer::Submit Recorder(int tag, bool keep_going = true) {
    return [this, tag, keep_going](int page) {
      std::lock_guard lock(mutex_);
      pages_.push_back({tag, page});
      changed_.notify_all();
      return keep_going;
    };
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 20s, [&] { return pages_.size() >= count; });
  }
  std::vector<std::pair<int, int>> Pages() {
    std::lock_guard lock(mutex_);
    return pages_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<int, int>> pages_;
};

TEST(PagePacerTest, PagesOfOneScheduleComeInOrderAndSchedulesRunSideBySide) {
  PagePacer pacer(5ms);
  Submissions seen;
  EXPECT_NE(pacer.Add(4, seen.Recorder(1)), 0u);
  EXPECT_NE(pacer.Add(3, seen.Recorder(2)), 0u);
  EXPECT_EQ(pacer.Add(0, seen.Recorder(3)), 0u);  // nothing to submit
  ASSERT_TRUE(seen.WaitFor(7));
  std::vector<int> first, second;
  for (auto [tag, page] : seen.Pages()) (tag == 1 ? first : second).push_back(page);
  EXPECT_EQ(first, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(second, (std::vector<int>{1, 2, 3}));
}

TEST(PagePacerTest, RefusedOrCancelledSchedulesDropTheirRest) {
  PagePacer pacer(5ms);
  Submissions seen;
  pacer.Add(5, seen.Recorder(1, false));  // page 1 was refused
  const std::uint64_t cancelled = pacer.Add(1000, seen.Recorder(2));
  ASSERT_TRUE(seen.WaitFor(3));
  pacer.Cancel(cancelled);
  pacer.Add(2, seen.Recorder(3));
  ASSERT_TRUE(seen.WaitFor(5));
  // The last page's schedule is dropped just after that page went out.
  const auto start = std::chrono::steady_clock::now();
  while (pacer.Pending() != 0 && std::chrono::steady_clock::now() - start < 20s) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(pacer.Pending(), 0);
  int from_refused = 0, from_cancelled = 0;
  for (auto [tag, page] : seen.Pages()) {
    from_refused += tag == 1;
    from_cancelled += tag == 2;
  }
  EXPECT_EQ(from_refused, 1);
  EXPECT_LT(from_cancelled, 1000);
  pacer.Stop();
  EXPECT_EQ(pacer.Add(1, seen.Recorder(4)), 0u);  // stopped for good
}

TEST(PagePacerTest, StopEndsALongPauseAtOnce) {
  PagePacer pacer(1h);
  Submissions seen;
  pacer.Add(3, seen.Recorder(1));
  pacer.Stop();  // would hang for an hour if the pause were not interruptible
  EXPECT_TRUE(seen.Pages().empty());
}

TEST(CancelSignalTest, RaisingEndsPausesAndFetches) {
  http::EnsureCurlGlobalInit();
  std::atomic<bool> asked{false};
  tools::ReplyEngine silent([&asked](std::size_t, tools::RecordedRequest) {
    asked = true;
    tools::Reply reply;
    reply.mode = tools::Reply::Mode::kNeverAnswer;
    return reply;
  });
  ASSERT_TRUE(silent.Start({tools::ListenSpec{}}, std::chrono::minutes(5)));
  auto client = std::make_unique<http::FetchClient>(nullptr);
  CancelSignal signal;
  WorkThreads threads({.run_refused_inline = false, .exit_bound = 2s});
  std::atomic<int> ended{0};
  threads.Start([&] {
    if (!signal.Pause(1h)) ++ended;
  });
  threads.Start([&] {
    const auto result = signal.FetchPage(
        *client, "http://127.0.0.1:" + std::to_string(silent.ports()[0]) + "/", {});
    if (!result) ++ended;
  });
  // Raised only once the fetch is under way and the pause has begun.
  const auto start = std::chrono::steady_clock::now();
  while ((!asked || threads.Running() != 2) && std::chrono::steady_clock::now() - start < 20s) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(asked);
  signal.Raise();
  EXPECT_TRUE(threads.JoinAll(20s));
  EXPECT_EQ(ended.load(), 2);
  EXPECT_FALSE(threads.Start([] {}));  // closed after JoinAll
  client
      .reset();  // the abandoned transfer reports to the signal's shared state, not to freed memory
}

TEST(ProxySitesTest, SitesStopByThemselvesAfterTheirLifetime) {
  http::EnsureCurlGlobalInit();
  tools::SitesConfig config;
  config.lifetime = 300ms;
  tools::ProxySites sites(config);
  ASSERT_TRUE(sites.Start());
  http::FetchClient client(nullptr);
  const std::string url = "http://" + sites.HostC() + "/proxy/index.aspx";
  EXPECT_FALSE(http::SimpleGet(client, url, nullptr).empty());
  const auto start = std::chrono::steady_clock::now();
  std::string body = "x";
  while (!body.empty() && std::chrono::steady_clock::now() - start < 20s) {
    body = http::SimpleGet(client, url, nullptr, {2000, 2000});
  }
  EXPECT_TRUE(body.empty());
}

}  // namespace
}  // namespace lumvex
