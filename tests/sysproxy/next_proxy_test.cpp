// The "move to the next proxy" rule: which rows a walk visits, in which order, and which candidate
// of a walk is taken (P passes, F fails, S is a stop).
#include "sysproxy/next_proxy.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lumvex {
namespace {

using Rows = std::vector<std::size_t>;

std::string Named(const Rows& rows) {
  std::string text;
  for (const std::size_t row : rows) text += std::to_string(row) + " ";
  return text;
}

TEST(NextProxyTest, AWalkStartsAfterTheCurrentRowInTheOrderShownAndWrapsOnlyWhenAsked) {
  struct Case {
    Rows order;
    std::optional<std::size_t> current;
    bool wrap;
    Rows walk;
  };
  const std::vector<Case> cases = {
      {{0, 1, 2, 3}, 1, true, {2, 3, 0}},
      {{0, 1, 2, 3}, 1, false, {2, 3}},
      {{0, 1, 2, 3}, 3, true, {0, 1, 2}},  // the last row: all of it from the top
      {{0, 1, 2, 3}, 3, false, {}},
      {{0, 1, 2, 3}, 0, true, {1, 2, 3}},
      // Sorted: the view's order decides, not the rows' numbers.
      {{2, 0, 3, 1}, 0, false, {3, 1}},
      {{2, 0, 3, 1}, 0, true, {3, 1, 2}},
      {{3, 2, 1, 0}, 3, false, {2, 1, 0}},
      // No current row, or one the order does not show: the whole order from the top.
      {{2, 0, 1}, std::nullopt, true, {2, 0, 1}},
      {{2, 0, 1}, std::nullopt, false, {2, 0, 1}},
      {{2, 0, 1}, 7, true, {2, 0, 1}},
      {{}, 0, true, {}},
      {{5}, 5, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Named(c.order) + "from " + (c.current ? std::to_string(*c.current) : "none") +
                 (c.wrap ? " wrapping" : ""));
    EXPECT_EQ(WalkAfter(c.order, c.current, c.wrap), c.walk);
  }
  EXPECT_EQ(ListOrder(3), (Rows{0, 1, 2}));
  EXPECT_EQ(ListOrder(0), Rows{});
}

TEST(NextProxyTest, TakesTheFirstPassingCandidateOfTheWalk) {
  using O = NextProxy::Outcome;
  struct Case {
    const char* verdicts;  // by row
    Rows walk;
    NextProxy::Outcome outcome;
    std::size_t index;  // kFound only
    Rows asked;
  };
  const std::vector<Case> cases = {
      {"", {}, O::kNoneLeft, 0, {}},
      {"P", {0}, O::kFound, 0, {0}},
      {"FFP", {0, 1, 2}, O::kFound, 2, {0, 1, 2}},
      {"PFP", {1, 2}, O::kFound, 2, {1, 2}},
      {"PFF", {1, 2}, O::kNoneLeft, 0, {1, 2}},
      {"PFF", {2, 1, 0}, O::kFound, 0, {2, 1, 0}},  // wrapped round to a passing row above
      {"FSP", {0, 1, 2}, O::kStopped, 1, {0, 1}},
      {"PPP", {}, O::kNoneLeft, 0, {}},
  };
  for (const Case& c : cases) {
    const std::string verdicts = c.verdicts;
    Rows asked;
    const NextProxy next = FindNextProxy(c.walk, [&](std::size_t index) {
      asked.push_back(index);
      switch (verdicts[index]) {
        case 'P':
          return CandidateTest::kPass;
        case 'S':
          return CandidateTest::kStop;
        default:
          return CandidateTest::kFail;
      }
    });
    SCOPED_TRACE(verdicts + " walking " + Named(c.walk));
    EXPECT_EQ(next.outcome, c.outcome);
    if (c.outcome == O::kFound) {
      EXPECT_EQ(next.index, c.index);
    }
    EXPECT_EQ(asked, c.asked);
  }
}

// The guard's order once its proxy died: rows with a passed check first, by their history's
// score, else by measured seconds, ties and the rest in walk order. Per row: passed, score (-1:
// no history), seconds (0: not measured).
TEST(NextProxyTest, WorkingRowsComeFirstBestFirst) {
  struct Merit {
    bool passed;
    double score;
    double seconds;
  };
  struct Case {
    const char* name;
    std::vector<Merit> rows;  // by row number
    Rows walk;
    Rows ordered;
  };
  const std::vector<Case> cases = {
      {"by score, highest first", {{true, 0.2, 1}, {true, 0.9, 3}, {true, 0.5, 2}}, {0, 1, 2},
       {1, 2, 0}},
      {"scored before unscored, however fast", {{true, -1, 0.1}, {true, 0.1, 9}}, {0, 1}, {1, 0}},
      {"no history: fastest first, unmeasured last",
       {{true, -1, 0}, {true, -1, 2.5}, {true, -1, 0.4}}, {0, 1, 2}, {2, 1, 0}},
      {"no history, no seconds: the walk as it is", {{true, -1, 0}, {true, -1, 0}, {true, -1, 0}},
       {2, 0, 1}, {2, 0, 1}},
      {"ties keep walk order", {{true, 0.5, 1}, {true, 0.5, 1}}, {1, 0}, {1, 0}},
      {"failed rows after, in walk order, whatever their score",
       {{false, 0.9, 0.1}, {true, -1, 0}, {false, 0.1, 0}, {true, -1, 1}}, {2, 3, 0, 1},
       {3, 1, 2, 0}},
      {"none working: the walk", {{false, 0.9, 1}, {false, 0.1, 2}}, {1, 0}, {1, 0}},
      {"empty", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Rows ordered = BestFirst(c.walk, [&](std::size_t index) {
      const Merit& merit = c.rows[index];
      return CandidateMerit{merit.passed,
                            merit.score < 0 ? std::nullopt : std::optional<double>(merit.score),
                            merit.seconds};
    });
    EXPECT_EQ(ordered, c.ordered);
  }
}

}  // namespace
}  // namespace lumvex
