// The one rule for "move to the next proxy", shared by the window's guard, the tray's "切换IE代理"
// and `lumvexip proxy guard`: the rows are walked in the order the user sees them (the list's own
// order, or the view's while it is sorted), starting after the row in use; the first candidate
// that passes is taken. The guard walks the whole list once, wrapping around to the top, because
// a working row above the dead one is as good as one below it; "切换IE代理" only walks down. What
// "passes" means is the front end's: the switch takes a row not known to fail, the guards check
// each candidate afresh before switching to it (and may be stopped while they do). Once the
// guarded proxy has died, the guards try the working rows first, best first (BestFirst).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace lumvex {

enum class CandidateTest {
  kPass,
  kFail,
  kStop,  // the caller was stopped meanwhile: no candidate is chosen
};

struct NextProxy {
  enum class Outcome { kFound, kNoneLeft, kStopped };
  Outcome outcome = Outcome::kNoneLeft;
  std::size_t index = 0;  // the candidate chosen (kFound only): a value of the walk
};

// The rows to try after `current`, as `order` (every row once, in the order shown) has them:
// those after it and, with `wrap`, those before it from the top, each once; `current` itself is
// not among them. With no current row, or one not in `order`, the whole order from the top.
std::vector<std::size_t> WalkAfter(const std::vector<std::size_t>& order,
                                   std::optional<std::size_t> current, bool wrap);

// The rows 0 .. count - 1 in their own order.
std::vector<std::size_t> ListOrder(std::size_t count);

// What ranks a candidate of the guard's walk.
struct CandidateMerit {
  bool passed = false;          // its last check passed (the row says "成功")
  std::optional<double> score;  // the score of its recorded history, when there is one
  double seconds = 0;           // what its last check measured; 0: not known
};

// `walk` with the rows whose last check passed in front, the best first: those with a score by
// it (highest first), then the others by measured seconds (fastest first, unknown last), ties in
// walk order; the other rows follow in walk order. Without scores or seconds the walk is kept.
std::vector<std::size_t> BestFirst(const std::vector<std::size_t>& walk,
                                   const std::function<CandidateMerit(std::size_t index)>& merit);

// Asks `test` about the rows of `walk` in turn, stopping at the first that passes or at a stop.
NextProxy FindNextProxy(const std::vector<std::size_t>& walk,
                        const std::function<CandidateTest(std::size_t index)>& test);

}  // namespace lumvex
