// The rules of a run's checks as transfers on the fetch driver, against the loopback farm: never
// more in flight than the limit, started in list order, Stop drops the queue while running
// checks still report, nothing reports after CancelAll, and a check short of file descriptors
// waits for one instead of failing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fixture/file_limit.h"
#include "fixture/proxy_farm.h"
#include "http/fetch_client.h"
#include "platform/open_file_limit.h"
#include "support/wait_until.h"
#include "validate/validation_run.h"

namespace lumvex {
namespace {

using tools::ProxyBehaviour;

// What a run reported, in the order it reported it.
struct Record {
  std::mutex mutex;
  std::vector<int> started;                 // rows, in start order
  std::vector<std::pair<int, bool>> ended;  // row and whether it passed
  int in_flight = 0;
  int most_in_flight = 0;
  int limited = 0;  // the limit the run announced, 0: none

  std::size_t Ended() {
    std::lock_guard lock(mutex);
    return ended.size();
  }
  std::size_t Started() {
    std::lock_guard lock(mutex);
    return started.size();
  }
};

class CheckEngineTest : public ::testing::Test {
 protected:
  // A farm of `count` proxies behaving as `behaviour`, and a run over them with `timeout_s`.
  void Build(std::size_t count, ProxyBehaviour behaviour, double timeout_s = 5, int delay_ms = 0) {
    tools::RaiseFileLimit();
    record_ = std::make_unique<Record>();
    fetcher_ = std::make_unique<http::FetchClient>(nullptr);
    rows_.clear();
    std::vector<tools::ProxySpec> specs(count);
    for (std::size_t i = 0; i < count; ++i) {
      specs[i].address = tools::LoopbackAddress(i);
      specs[i].behaviour = behaviour;
      specs[i].delay_ms = delay_ms;
    }
    for (const auto& e : farm_.Start(specs)) {
      rows_.push_back(ProxyEntry{{e.address, std::to_string(e.port)}});
    }
    ASSERT_EQ(rows_.size(), count);
    ValidationRun::Events events;
    events.started = [record = record_.get()](int row) {
      std::lock_guard lock(record->mutex);
      record->started.push_back(row);
      record->most_in_flight = std::max(record->most_in_flight, ++record->in_flight);
    };
    events.finished = [record = record_.get()](int row, const CheckState& state) {
      std::lock_guard lock(record->mutex);
      --record->in_flight;
      record->ended.emplace_back(row, state.Ok());
    };
    events.limited = [record = record_.get()](int limit) {
      std::lock_guard lock(record->mutex);
      record->limited = limit;
    };
    CheckTarget target;
    target.validation_host = "check.test";
    target.timeout_s = timeout_s;
    run_ = std::make_unique<ValidationRun>(*fetcher_, target, std::move(events));
  }

  // The run's transfers end before the run goes.
  void TearDown() override {
    if (fetcher_) fetcher_->Close();
    run_.reset();
  }

  static std::vector<int> Rows(std::size_t count) {
    std::vector<int> rows(count);
    for (std::size_t i = 0; i < count; ++i) rows[i] = static_cast<int>(i);
    return rows;
  }

  tools::ProxyFarm farm_;
  std::vector<ProxyEntry> rows_;
  std::unique_ptr<http::FetchClient> fetcher_;
  std::unique_ptr<Record> record_;
  std::unique_ptr<ValidationRun> run_;
};

TEST_F(CheckEngineTest, LimitHoldsAndChecksStartInListOrder) {
  // Each row: the limit, and the proxies (slow enough that the limit is reached).
  struct Case {
    int limit;
    std::size_t proxies;
  };
  for (const Case c : {Case{1, 6}, Case{7, 60}}) {
    SCOPED_TRACE(c.limit);
    TearDown();
    Build(c.proxies, ProxyBehaviour::kDelay, 5, 50);
    run_->Start(rows_, c.limit);
    ASSERT_TRUE(testing::WaitUntil([&] { return record_->Ended() == c.proxies; }));
    EXPECT_EQ(record_->most_in_flight, c.limit);
    EXPECT_EQ(record_->started, Rows(c.proxies));
    for (const auto& [row, ok] : record_->ended) EXPECT_TRUE(ok) << row;
  }
}

TEST_F(CheckEngineTest, StopDropsTheQueueWhileRunningChecksStillReport) {
  Build(6, ProxyBehaviour::kNeverAnswer, 1);
  run_->Start(rows_, 2);
  ASSERT_TRUE(testing::WaitUntil([&] { return farm_.RequestsSeen() == 2; }));
  run_->Stop();
  EXPECT_FALSE(run_->Running());
  // The two under way end at their deadline, failed; the four queued never start.
  ASSERT_TRUE(testing::WaitUntil([&] { return run_->InFlight() == 0; }));
  EXPECT_EQ(record_->ended, (std::vector<std::pair<int, bool>>{{0, false}, {1, false}}));
  EXPECT_EQ(record_->started, Rows(2));
  EXPECT_EQ(farm_.RequestsSeen(), 2u);
}

TEST_F(CheckEngineTest, NothingReportsAfterCancelAll) {
  Build(5, ProxyBehaviour::kNeverAnswer, 30);
  run_->Start(rows_, 3);
  ASSERT_TRUE(testing::WaitUntil([&] { return farm_.RequestsSeen() == 3; }));
  run_->CancelAll();
  // Closing cancels the three transfers; their ends report nothing and start nothing.
  fetcher_->Close();
  EXPECT_EQ(run_->InFlight(), 0);
  EXPECT_EQ(record_->Ended(), 0u);
  EXPECT_EQ(record_->Started(), 3u);
  EXPECT_EQ(farm_.RequestsSeen(), 3u);
}

// Lowers the soft open-file limit for the test and puts it back after.
class SoftFileLimit {
 public:
  explicit SoftFileLimit(std::size_t soft) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = soft;
    ok_ = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
  }
  ~SoftFileLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  bool ok_ = false;
};

TEST_F(CheckEngineTest, TooFewDescriptorsMeanFewerAtOnceNeverFailures) {
  constexpr std::size_t kProxies = 30;
  Build(kProxies, ProxyBehaviour::kDelay, 10, 30);
  // Room for four checks beside the run's reserve: the run starts with four at once.
  SoftFileLimit limit(OpenDescriptorCount() + ValidationRun::kReservedDescriptors + 4);
  ASSERT_TRUE(limit.ok());
  run_->Start(rows_, 20);
  ASSERT_TRUE(testing::WaitUntil([&] { return record_->Ended() == kProxies; }));
  EXPECT_EQ(record_->limited, 4);
  EXPECT_LE(record_->most_in_flight, 4);
  for (const auto& [row, ok] : record_->ended) EXPECT_TRUE(ok) << row;
  run_->Stop();
}

TEST_F(CheckEngineTest, ACheckWithoutASocketWaitsForOneAndIsNotFailed) {
#ifdef LUMVEX_SANITIZE_UNDEFINED
  // The sanitizer checks each dynamic type the first time it meets it by reading memory through
  // a pipe; with every descriptor taken that fails and it reports faults where there are none.
  GTEST_SKIP() << "needs every file descriptor, which UndefinedBehaviorSanitizer cannot spare";
#endif
  constexpr std::size_t kProxies = 5;
  Build(kProxies, ProxyBehaviour::kAnswer);
  SoftFileLimit limit(OpenDescriptorCount() + ValidationRun::kReservedDescriptors + 8);
  ASSERT_TRUE(limit.ok());
  // Every descriptor left is taken: the first check's socket cannot be made.
  std::vector<int> taken;
  for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) taken.push_back(fd);
  run_->Start(rows_, 3);
  // The check went back to the queue and is tried again: it starts a second time.
  ASSERT_TRUE(testing::WaitUntil([&] { return record_->Started() >= 2; }));
  EXPECT_EQ(record_->Ended(), 0u);
  EXPECT_EQ(record_->limited, 1);
  for (int fd : taken) close(fd);
  ASSERT_TRUE(testing::WaitUntil([&] { return record_->Ended() == kProxies; }));
  std::vector<int> rows;
  for (const auto& [row, ok] : record_->ended) {
    EXPECT_TRUE(ok) << row;
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, Rows(kProxies));
  run_->Stop();
}

}  // namespace
}  // namespace lumvex
