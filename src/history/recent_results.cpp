#include "history/recent_results.h"

#include <algorithm>

namespace lumvex {

void RecentResults::Add(bool ok, double seconds, std::int64_t time, int keep) {
  const float value = static_cast<float>(std::max(0.0, seconds));
  results_.push_back(ok ? value : -1.0f - value);
  if (keep > 0 && results_.size() > static_cast<std::size_t>(keep)) {
    results_.erase(results_.begin(),
                   results_.begin() + static_cast<std::ptrdiff_t>(results_.size() - keep));
  }
  if (ok) last_success_ = std::max(last_success_, time);
}

ProxyHealth RecentResults::Health() const {
  ProxyHealth health;
  health.checks = static_cast<int>(results_.size());
  std::vector<float> successes;
  for (const float value : results_) {
    if (value >= 0) successes.push_back(value);
  }
  health.successes = static_cast<int>(successes.size());
  if (!successes.empty()) {
    std::sort(successes.begin(), successes.end());
    const std::size_t half = successes.size() / 2;
    health.median_seconds = successes.size() % 2 == 1
                                ? successes[half]
                                : (static_cast<double>(successes[half - 1]) + successes[half]) / 2;
  }
  health.last_success = last_success_;
  return health;
}

}  // namespace lumvex
