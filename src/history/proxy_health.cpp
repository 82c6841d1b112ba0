#include "history/proxy_health.h"

#include <algorithm>

namespace lumvex {

double HealthScore(const ProxyHealth& health, std::int64_t now) {
  if (health.checks <= 0) return 0;
  // The success rate counts most (0 .. 100); a fast proxy gains up to 10 (none at 10 s and
  // slower); one that worked within the last hour up to 5, falling off over a day.
  const double rate = 100.0 * health.SuccessRate();
  const double speed =
      health.successes > 0 ? 10.0 * std::clamp(1.0 - health.median_seconds / 10.0, 0.0, 1.0) : 0;
  double fresh = 0;
  if (health.last_success > 0) {
    const double age_hours = static_cast<double>(std::max<std::int64_t>(0, now - health.last_success)) / 3600.0;
    fresh = 5.0 * std::clamp(1.0 - (age_hours - 1.0) / 23.0, 0.0, 1.0);
  }
  return rate + speed + fresh;
}

}  // namespace lumvex
