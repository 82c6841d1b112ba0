// What a list that keeps itself checked re-checks at a given time: working rows every 5 minutes,
// the others every 30, nothing twice at once, never more than the room left.
#include "validate/recheck_plan.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace lumvex {
namespace {

using std::chrono::minutes;
using Names = std::vector<std::string>;

constexpr CheckStatus kOk = CheckStatus::kOk;
constexpr CheckStatus kFail = CheckStatus::kFailed;
constexpr CheckStatus kNone = CheckStatus::kNone;

TEST(RecheckPlanTest, DueRowsFollowTheirVerdictAndTheirLastRecheck) {
  // One re-check of the plan: begun at `from`, ended at `to` (-1: still under way); or, with
  // `elsewhere`, a validation run's check that ended at `to`.
  struct Past {
    std::string address;
    int from;
    int to;
    bool elsewhere = false;
  };
  struct Case {
    const char* name;
    std::vector<Past> past;
    std::vector<RecheckRow> rows;
    int now;  // minutes
    std::size_t room;
    Names due;
  };
  const std::vector<Case> cases = {
      {"never re-checked: all due, working rows first",
       {}, {{"a:1", kFail}, {"b:1", kOk}, {"c:1", kNone}}, 0, 10, {"b:1", "a:1", "c:1"}},
      {"no more than the room", {}, {{"a:1", kFail}, {"b:1", kOk}, {"c:1", kNone}}, 0, 2,
       {"b:1", "a:1"}},
      {"no room", {}, {{"a:1", kOk}}, 0, 0, {}},
      {"under way: not again", {{"a:1", 0, -1}}, {{"a:1", kOk}, {"b:1", kOk}}, 60, 10, {"b:1"}},
      {"working, 4 minutes ago", {{"a:1", 0, 1}}, {{"a:1", kOk}}, 5, 10, {}},
      {"working, 5 minutes ago", {{"a:1", 0, 1}}, {{"a:1", kOk}}, 6, 10, {"a:1"}},
      {"failed, 29 minutes ago", {{"a:1", 0, 1}}, {{"a:1", kFail}}, 30, 10, {}},
      {"failed, 30 minutes ago", {{"a:1", 0, 1}}, {{"a:1", kFail}}, 31, 10, {"a:1"}},
      {"unchecked waits as failed", {{"a:1", 0, 1}}, {{"a:1", kNone}}, 20, 10, {}},
      // The interval is the verdict's now: a proxy found dead waits the long one.
      {"turned failed", {{"a:1", 0, 1}}, {{"a:1", kFail}}, 10, 10, {}},
      {"turned working", {{"a:1", 0, 1}}, {{"a:1", kOk}}, 10, 10, {"a:1"}},
      {"named twice, given once", {}, {{"a:1", kOk}, {"a:1", kFail}}, 0, 10, {"a:1"}},
      {"counted from the end", {{"a:1", 0, 8}}, {{"a:1", kOk}}, 12, 10, {}},
      {"a run checked it lately", {{"a:1", 0, 3, true}}, {{"a:1", kOk}}, 7, 10, {}},
      {"a run checked it long ago", {{"a:1", 0, 3, true}}, {{"a:1", kOk}}, 8, 10, {"a:1"}},
      {"a run's check leaves one under way so", {{"a:1", 0, -1}, {"a:1", 0, 1, true}},
       {{"a:1", kOk}}, 60, 10, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RecheckPlan::Clock::time_point t0{};
    RecheckPlan plan;
    for (const Past& past : c.past) {
      if (past.elsewhere) {
        plan.CheckedElsewhere(past.address, t0 + minutes(past.to));
        continue;
      }
      plan.Started(past.address);
      if (past.to >= 0) plan.Finished(past.address, t0 + minutes(past.to));
    }
    EXPECT_EQ(plan.Due(c.rows, t0 + minutes(c.now), c.room), c.due);
  }
}

TEST(RecheckPlanTest, ARowGoneFromTheListIsForgottenButNotWhileUnderWay) {
  const RecheckPlan::Clock::time_point t0{};
  RecheckPlan plan;
  plan.Started("gone:1");
  plan.Finished("gone:1", t0);
  plan.Started("busy:1");
  // Neither is in the list for a while; then both come back.
  EXPECT_EQ(plan.Due({{"other:1", kOk}}, t0 + minutes(1), 10), Names{"other:1"});
  EXPECT_EQ(plan.UnderWay(), 1u);
  EXPECT_EQ(plan.Due({{"gone:1", kOk}, {"busy:1", kOk}}, t0 + minutes(2), 10), Names{"gone:1"});
  plan.Finished("busy:1", t0 + minutes(2));
  EXPECT_EQ(plan.UnderWay(), 0u);
  // An end told twice, or for a check never begun, changes nothing.
  plan.Finished("busy:1", t0 + minutes(3));
  plan.Finished("never:1", t0);
  EXPECT_EQ(plan.UnderWay(), 0u);
  EXPECT_EQ(plan.Due({{"busy:1", kOk}}, t0 + minutes(6), 10), Names{});
  EXPECT_EQ(plan.Due({{"busy:1", kOk}}, t0 + minutes(7), 10), Names{"busy:1"});
}

}  // namespace
}  // namespace lumvex
