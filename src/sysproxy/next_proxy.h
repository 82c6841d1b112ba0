// The one rule for "move to the next proxy" once the guarded proxy has stopped answering, shared by
// the window's guard and `lumvexip proxy guard`: the candidates after the failed one are tried in
// their order, the first that passes becomes the system proxy, and none left means the proxy goes
// off. What "passes" means is the front end's: the window takes a row already checked as passing,
// the subcommand checks each candidate afresh (and may be stopped while it does).
#pragma once

#include <cstddef>
#include <functional>

namespace lumvex {

enum class CandidateTest {
  kPass,
  kFail,
  kStop,  // the caller was stopped meanwhile: no candidate is chosen
};

struct NextProxy {
  enum class Outcome { kFound, kNoneLeft, kStopped };
  Outcome outcome = Outcome::kNoneLeft;
  std::size_t index = 0;  // the candidate chosen (kFound only)
};

// Tries the candidates `from`, `from` + 1, ... below `count` with `test`, in order, stopping at the
// first that passes or at a stop.
NextProxy FindNextProxy(std::size_t from, std::size_t count,
                        const std::function<CandidateTest(std::size_t index)>& test);

}  // namespace lumvex
