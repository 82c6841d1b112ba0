// The guard's own rules with checks the test answers: two failures in a row, a success in
// between, moving on, and stopping with a check in flight.
#include "sysproxy/proxy_guard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "scripted_check.h"

namespace lumvex {
namespace {

using lumvex::testing::ScriptedCheck;
using namespace std::chrono_literals;

// The failure reports of a guard, waited for as events.
class Reports {
 public:
  ProxyGuard::FailureHandler Handler() {
    return [this](const std::string& address) {
      std::lock_guard lock(mutex_);
      addresses_.push_back(address);
      wake_.notify_all();
    };
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, 20s, [&] { return addresses_.size() >= count; });
  }
  std::vector<std::string> Addresses() {
    std::lock_guard lock(mutex_);
    return addresses_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::string> addresses_;
};

TEST(ProxyGuardTest, TwoFailuresInARowAreNeededAndASuccessStartsTheCountAgain) {
  ScriptedCheck check;
  Reports reports;
  ProxyGuard guard(check.AsCheck(), reports.Handler(), 0ms);
  guard.Guard("10.0.0.1:8080");
  // fail, ok, fail, ok, fail: never two in a row.
  const bool answers[] = {false, true, false, true, false};
  for (std::size_t i = 0; i < std::size(answers); ++i) {
    ASSERT_TRUE(check.AnswerCheck(i + 1, answers[i]));
  }
  // The sixth check starts only after the fifth answer was counted; no report so far.
  ASSERT_TRUE(check.WaitForStarted(6));
  EXPECT_TRUE(reports.Addresses().empty());
  ASSERT_TRUE(check.Answer(false));  // second failure in a row
  ASSERT_TRUE(reports.WaitFor(1));
  EXPECT_EQ(reports.Addresses(), std::vector<std::string>{"10.0.0.1:8080"});
  for (const std::string& address : check.Started()) EXPECT_EQ(address, "10.0.0.1:8080");
  guard.Stop();
  // After its report the guard waited for the next address: no seventh check was started.
  EXPECT_EQ(check.Started().size(), 6u);
}

TEST(ProxyGuardTest, AfterAReportItWaitsForTheNextAddressAndCountsAfresh) {
  ScriptedCheck check;
  Reports reports;
  ProxyGuard guard(check.AsCheck(), reports.Handler(), 0ms);
  guard.Guard("10.0.0.1:8080");
  ASSERT_TRUE(check.AnswerCheck(1, false));
  ASSERT_TRUE(check.AnswerCheck(2, false));
  ASSERT_TRUE(reports.WaitFor(1));
  guard.Guard("10.0.0.2:3128");
  ASSERT_TRUE(check.AnswerCheck(3, false));
  ASSERT_TRUE(check.WaitForStarted(4));
  EXPECT_EQ(reports.Addresses().size(), 1u);  // one failure of the new address is not enough
  ASSERT_TRUE(check.Answer(false));
  ASSERT_TRUE(reports.WaitFor(2));
  EXPECT_EQ(reports.Addresses()[1], "10.0.0.2:3128");
  EXPECT_EQ(check.Started()[2], "10.0.0.2:3128");
}

TEST(ProxyGuardTest, MovingOnDropsTheCheckInFlightAndItsFailure) {
  ScriptedCheck check;
  Reports reports;
  ProxyGuard guard(check.AsCheck(), reports.Handler(), 0ms);
  guard.Guard("10.0.0.1:8080");
  ASSERT_TRUE(check.AnswerCheck(1, false));
  ASSERT_TRUE(check.WaitForStarted(2));
  guard.Guard("10.0.0.2:3128");  // check 2 (of the old address) is still open
  ASSERT_TRUE(check.WaitForStarted(3));
  ASSERT_TRUE(check.Answer(false));  // the late answer of check 2 counts for nothing
  ASSERT_TRUE(check.Answer(false));  // check 3: first failure of the new address
  ASSERT_TRUE(check.WaitForStarted(4));
  EXPECT_TRUE(reports.Addresses().empty());
}

TEST(ProxyGuardTest, StopEndsAtOnceWithACheckThatNeverAnswers) {
  ScriptedCheck check;
  Reports reports;
  ProxyGuard guard(check.AsCheck(), reports.Handler(), 0ms);
  guard.Guard("10.0.0.1:8080");
  ASSERT_TRUE(check.WaitForStarted(1));
  EXPECT_TRUE(guard.Running());
  guard.Stop();  // returns although check 1 never answers
  EXPECT_FALSE(guard.Running());
  EXPECT_EQ(guard.Address(), "");
  EXPECT_TRUE(check.Answer(false));  // answering after the stop is harmless
  EXPECT_EQ(guard.ChecksCounted(), 0u);
  EXPECT_TRUE(reports.Addresses().empty());
  // It can be started again.
  guard.Guard("10.0.0.3:80");
  ASSERT_TRUE(check.AnswerCheck(2, true));
  ASSERT_TRUE(check.WaitForStarted(3));
  EXPECT_EQ(check.Started()[1], "10.0.0.3:80");
}

TEST(ProxyGuardTest, AnAnswerArrivingAfterTheGuardIsGoneIsIgnored) {
  ScriptedCheck check;
  Reports reports;
  {
    ProxyGuard guard(check.AsCheck(), reports.Handler(), 0ms);
    guard.Guard("10.0.0.1:8080");
    ASSERT_TRUE(check.WaitForStarted(1));
  }
  EXPECT_TRUE(check.Answer(false));
  EXPECT_TRUE(reports.Addresses().empty());
}

TEST(ProxyGuardTest, TheIntervalSeparatesChecksAndStopCutsItShort) {
  ScriptedCheck check;
  Reports reports;
  ProxyGuard guard(check.AsCheck(), reports.Handler(), std::chrono::hours(1));
  guard.Guard("10.0.0.1:8080");
  EXPECT_TRUE(guard.Running());
  EXPECT_EQ(guard.Address(), "10.0.0.1:8080");
  guard.Stop();  // an hour's wait ends at once
  EXPECT_TRUE(check.Started().empty());
}

TEST(ProxyGuardTest, AnswersGivenAtOnceOnTheGuardsOwnThreadAreCounted) {
  std::atomic<int> calls{0};
  Reports reports;
  ProxyGuard guard(
      [&calls](const std::string&, std::function<void(bool)> done) {
        ++calls;
        done(false);
      },
      reports.Handler(), 0ms);
  guard.Guard("10.0.0.1:8080");
  ASSERT_TRUE(reports.WaitFor(1));
  EXPECT_EQ(calls.load(), 2);
  EXPECT_EQ(guard.ChecksCounted(), 2u);
}

}  // namespace
}  // namespace lumvex
