// The last results of one proxy, as few bytes as they take, and the ProxyHealth they add up to.
// The store keeps one of these per proxy in memory, so a health read is a look-up.
#pragma once

#include <cstdint>
#include <vector>

#include "history/proxy_health.h"

namespace lumvex {

class RecentResults {
 public:
  // Adds a result at `time` (Unix seconds) and forgets the oldest beyond the last `keep`.
  void Add(bool ok, double seconds, std::int64_t time, int keep);
  bool Empty() const { return results_.empty(); }
  // checks, successes, the median seconds of the successes kept and the last success.
  ProxyHealth Health() const;

 private:
  // Oldest first; a failure is stored as a negative number (-1 - seconds) so one float holds it.
  std::vector<float> results_;
  std::int64_t last_success_ = 0;
};

}  // namespace lumvex
