#include "platform/exit_call_guard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace lumvex {
namespace {

// The guard's action ends the child with its own status, so the status tells whether it ran.
constexpr int kGuardRan = 7;
constexpr int kPlainExit = 3;

[[noreturn]] void EndAsTheGuard() { std::_Exit(kGuardRan); }

class ExitCallGuardTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ExitCallGuardTest, ExitOnTheOwningThreadRunsTheAction) {
  EXPECT_EXIT(
      {
        ExitCallGuard guard(EndAsTheGuard);
        if (!guard.armed()) std::_Exit(1);
        std::exit(kPlainExit);
      },
      ::testing::ExitedWithCode(kGuardRan), "");
}

TEST_F(ExitCallGuardTest, AGuardThatIsGoneDoesNothing) {
  EXPECT_EXIT(
      {
        { ExitCallGuard guard(EndAsTheGuard); }
        std::exit(kPlainExit);
      },
      ::testing::ExitedWithCode(kPlainExit), "");
  // A new guard can be armed once the first is gone.
  EXPECT_EXIT(
      {
        {
          ExitCallGuard first([] {});
        }
        ExitCallGuard second(EndAsTheGuard);
        std::exit(second.armed() ? kPlainExit : 1);
      },
      ::testing::ExitedWithCode(kGuardRan), "");
}

TEST_F(ExitCallGuardTest, OnlyOneGuardIsArmed) {
  EXPECT_EXIT(
      {
        ExitCallGuard first(EndAsTheGuard);
        ExitCallGuard second([] { std::_Exit(1); });
        if (second.armed()) std::_Exit(1);
        std::exit(kPlainExit);
      },
      ::testing::ExitedWithCode(kGuardRan), "");
}

TEST_F(ExitCallGuardTest, ExitOnAnotherThreadLeavesTheActionAlone) {
  // The action would touch what the owning thread holds; from another thread it must not run
  // (and must not wait for the owner, which may be blocked).
  EXPECT_EXIT(
      {
        ExitCallGuard guard(EndAsTheGuard);
        std::thread other([] { std::exit(kPlainExit); });
        other.join();
        std::_Exit(1);
      },
      ::testing::ExitedWithCode(kPlainExit), "");
}

}  // namespace
}  // namespace lumvex
