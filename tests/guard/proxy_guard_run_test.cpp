// The guard without a window over a list of farm proxies: the first that passes is set, a proxy
// that dies is left for the next one of the list that passes (round to the top), and off when
// none is left.
#include "cli/proxy_guard_run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

#include "guard_rig.h"
#include "http/fetch_client.h"
#include "scripted_check.h"
#include "temp_dir.h"
#include "validate/guard_check.h"

namespace lumvex::cli {
namespace {

using lumvex::testing::KeyfileStore;
using lumvex::testing::LiveProxy;
using lumvex::testing::ScriptedCheck;
using lumvex::testing::TempDir;
using lumvex::testing::WaitUntil;
using namespace std::chrono_literals;

// Output lines written by another thread, read safely (xsputn may call overflow: the lock is
// taken again on the same thread).
class Lines : public std::stringbuf {
 public:
  std::string Text() {
    std::lock_guard lock(mutex_);
    return str();
  }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard lock(mutex_);
    return std::stringbuf::xsputn(s, n);
  }
  int overflow(int c) override {
    std::lock_guard lock(mutex_);
    return std::stringbuf::overflow(c);
  }

 private:
  std::recursive_mutex mutex_;
};

class ProxyGuardRunTest : public ::testing::Test {
 protected:
  SystemProxySetting Stored() const { return keyfile_.Open()->Read(); }

  TempDir data_;
  KeyfileStore keyfile_;
  std::shared_ptr<MarkedSystemProxy> store_ = testing::MarkedKeyfileStore(keyfile_, data_.path());
  http::FetchClient fetcher_{nullptr};
  Lines out_buffer_, err_buffer_;
  std::ostream out_{&out_buffer_}, err_{&err_buffer_};
};

TEST_F(ProxyGuardRunTest, MovesDownTheListAsProxiesDieThenEndsOff) {
  LiveProxy dead_from_start(0), first(1), second(2), third(3);
  dead_from_start.Die();
  ProxyGuardRun run(*store_, MakeGuardCheck(fetcher_, "connect.test", 2),
                    {dead_from_start.Address(), first.Address(), second.Address(), third.Address()},
                    5ms, out_, err_);
  ProxyGuardRun::End end = ProxyGuardRun::End::kStopped;
  std::thread runner([&] { end = run.Run(); });
  ASSERT_TRUE(WaitUntil([&] { return out_buffer_.Text() == "on " + first.Address() + "\n"; }))
      << out_buffer_.Text();
  EXPECT_TRUE(store_->Marker().Exists());
  second.Die();  // not the guarded one: passed over later without a switch to it
  first.Die();
  ASSERT_TRUE(WaitUntil([&] { return Stored().host == third.Ip() && Stored().enabled; }));
  third.Die();  // the walk goes round to the top: all of them are dead by now
  runner.join();
  EXPECT_EQ(end, ProxyGuardRun::End::kNoneLeft);
  EXPECT_EQ(out_buffer_.Text(), "on " + first.Address() + "\non " + third.Address() + "\noff\n");
  EXPECT_FALSE(Stored().enabled);
  EXPECT_FALSE(store_->Marker().Exists());
}

// Once the proxy in place has died, the walk starts after it and wraps round to the top; a
// duplicate of the dead proxy is not asked again.
TEST_F(ProxyGuardRunTest, AfterADeathTheWalkGoesRoundToTheTopOnce) {
  ScriptedCheck check;
  ProxyGuardRun run(*store_, check.AsCheck(),
                    {"10.1.1.1:80", "10.1.1.2:80", "10.1.1.2:080", "10.1.1.3:80"}, 0ms, out_, err_);
  ProxyGuardRun::End end = ProxyGuardRun::End::kNoneLeft;
  std::thread runner([&] { end = run.Run(); });
  // The first pick: .1 fails, .2 passes and is set.
  ASSERT_TRUE(check.AnswerCheck(1, false));
  ASSERT_TRUE(check.AnswerCheck(2, true));
  // .2 dies; its duplicate is passed over, .3 fails, .1 (above it) now passes.
  ASSERT_TRUE(check.AnswerCheck(3, false));
  ASSERT_TRUE(check.AnswerCheck(4, false));
  ASSERT_TRUE(check.AnswerCheck(5, false));
  ASSERT_TRUE(check.AnswerCheck(6, true));
  ASSERT_TRUE(check.WaitForStarted(7));  // the guard's first re-check of .1
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "10.1.1.1", 80}));
  run.RequestStop();
  runner.join();
  EXPECT_EQ(end, ProxyGuardRun::End::kStopped);
  EXPECT_EQ(out_buffer_.Text(), "on 10.1.1.2:80\non 10.1.1.1:80\noff\n");
  EXPECT_EQ(check.Started(),
            (std::vector<std::string>{"10.1.1.1:80", "10.1.1.2:80", "10.1.1.2:80", "10.1.1.2:80",
                                      "10.1.1.3:80", "10.1.1.1:80", "10.1.1.1:80"}));
}

// A proxy that answers with its own refusal (its rules, a login, no way to the site) is never
// set: the guard goes on to the first one that relays.
TEST_F(ProxyGuardRunTest, RefusingProxiesAreNeverSet) {
  LiveProxy denied(0, 403), login(1, 407), unreachable(2, 502), good(3);
  ProxyGuardRun run(*store_, MakeGuardCheck(fetcher_, "connect.test", 2),
                    {denied.Address(), login.Address(), unreachable.Address(), good.Address()},
                    1000ms, out_, err_);
  ProxyGuardRun::End end = ProxyGuardRun::End::kNoneLeft;
  std::thread runner([&] { end = run.Run(); });
  ASSERT_TRUE(WaitUntil([&] { return out_buffer_.Text() == "on " + good.Address() + "\n"; }))
      << out_buffer_.Text();
  EXPECT_EQ(Stored(), (SystemProxySetting{true, good.Ip(), std::stoi(good.Port())}));
  run.RequestStop();
  runner.join();
  EXPECT_EQ(end, ProxyGuardRun::End::kStopped);
}

TEST_F(ProxyGuardRunTest, AStopRequestSwitchesOffEvenWithACheckInFlight) {
  ScriptedCheck check;
  ProxyGuardRun run(*store_, check.AsCheck(), {"10.1.1.1:80", "10.1.1.2:80"}, 0ms, out_, err_);
  ProxyGuardRun::End end = ProxyGuardRun::End::kNoneLeft;
  std::thread runner([&] { end = run.Run(); });
  ASSERT_TRUE(check.AnswerCheck(1, false));  // the first one fails its first check
  ASSERT_TRUE(check.AnswerCheck(2, true));   // the second passes and is set
  ASSERT_TRUE(check.WaitForStarted(3));      // the guard's first re-check never answers
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "10.1.1.2", 80}));
  run.RequestStop();
  runner.join();
  EXPECT_EQ(end, ProxyGuardRun::End::kStopped);
  EXPECT_EQ(out_buffer_.Text(), "on 10.1.1.2:80\noff\n");
  EXPECT_FALSE(Stored().enabled);
  EXPECT_FALSE(store_->Marker().Exists());
  EXPECT_EQ(check.Started(),
            (std::vector<std::string>{"10.1.1.1:80", "10.1.1.2:80", "10.1.1.2:80"}));
}

TEST_F(ProxyGuardRunTest, NoProxyPassingAtTheStartLeavesTheStoreAlone) {
  ASSERT_TRUE(keyfile_.Open()->Enable("9.9.9.9", 99, ProxyKind::kHttp));  // the user's own setting
  ScriptedCheck check;
  ProxyGuardRun run(*store_, check.AsCheck(), {"10.1.1.1:80"}, 0ms, out_, err_);
  std::thread answer([&] { check.AnswerCheck(1, false); });
  EXPECT_EQ(run.Run(), ProxyGuardRun::End::kNoneLeft);
  answer.join();
  EXPECT_EQ(out_buffer_.Text(), "");
  EXPECT_EQ(Stored(), (SystemProxySetting{true, "9.9.9.9", 99}));
  EXPECT_NE(err_buffer_.Text().find("no proxy"), std::string::npos);
}

TEST_F(ProxyGuardRunTest, AProxyLeftOnByAnEarlierRunIsSwitchedOffWhenNoneOfTheListPasses) {
  ASSERT_TRUE(store_->Enable("9.9.9.9", 99,
                             ProxyKind::kHttp));  // a run that was killed before it switched off
  ASSERT_TRUE(store_->Marker().Exists());
  ScriptedCheck check;
  ProxyGuardRun run(*store_, check.AsCheck(), {"10.1.1.1:80"}, 0ms, out_, err_);
  run.TakeOverLeftoverProxy();
  std::thread answer([&] { check.AnswerCheck(1, false); });
  EXPECT_EQ(run.Run(), ProxyGuardRun::End::kNoneLeft);
  answer.join();
  EXPECT_EQ(out_buffer_.Text(), "off\n");
  EXPECT_FALSE(Stored().enabled);
  EXPECT_FALSE(store_->Marker().Exists());
}

TEST_F(ProxyGuardRunTest, AStopRequestBeforeAnyProxyIsSetTouchesNothing) {
  ScriptedCheck check;
  ProxyGuardRun run(*store_, check.AsCheck(), {"10.1.1.1:80"}, 0ms, out_, err_);
  std::thread runner([&] { EXPECT_EQ(run.Run(), ProxyGuardRun::End::kStopped); });
  ASSERT_TRUE(check.WaitForStarted(1));
  run.RequestStop();
  runner.join();
  EXPECT_EQ(out_buffer_.Text(), "");
  EXPECT_FALSE(store_->Marker().Exists());
}

}  // namespace
}  // namespace lumvex::cli
