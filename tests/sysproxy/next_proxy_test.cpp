// The "move to the next proxy" rule over a row of candidates: P passes, F fails, S is a stop.
#include "sysproxy/next_proxy.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace lumvex {
namespace {

struct Case {
  const char* candidates;
  std::size_t from;
  NextProxy::Outcome outcome;
  std::size_t index;   // kFound only
  std::size_t tested;  // how many candidates were asked
};

TEST(NextProxyTest, TakesTheFirstPassingCandidateAfterTheFailedOne) {
  using O = NextProxy::Outcome;
  const std::vector<Case> cases = {
      {"", 0, O::kNoneLeft, 0, 0},   {"P", 0, O::kFound, 0, 1},      {"FFP", 0, O::kFound, 2, 3},
      {"PFP", 1, O::kFound, 2, 2},   {"PFF", 1, O::kNoneLeft, 0, 2}, {"PP", 2, O::kNoneLeft, 0, 0},
      {"FSP", 0, O::kStopped, 0, 2}, {"PPP", 5, O::kNoneLeft, 0, 0},
  };
  for (const Case& c : cases) {
    const std::string candidates = c.candidates;
    std::size_t tested = 0;
    const NextProxy next = FindNextProxy(c.from, candidates.size(), [&](std::size_t index) {
      ++tested;
      switch (candidates[index]) {
        case 'P':
          return CandidateTest::kPass;
        case 'S':
          return CandidateTest::kStop;
        default:
          return CandidateTest::kFail;
      }
    });
    SCOPED_TRACE(candidates + " from " + std::to_string(c.from));
    EXPECT_EQ(next.outcome, c.outcome);
    if (c.outcome == O::kFound) {
      EXPECT_EQ(next.index, c.index);
    }
    EXPECT_EQ(tested, c.tested);
  }
}

}  // namespace
}  // namespace lumvex
