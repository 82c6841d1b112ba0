// What the recorded history of one proxy says about it: how often it worked lately, how fast, and
// when it last worked. The score that orders working proxies comes from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumvex {

struct ProxyHealth {
  int checks = 0;                  // recorded results kept (checks and gateway uses)
  int successes = 0;
  double median_seconds = 0;       // of the successes kept; 0 when none
  std::int64_t last_success = 0;   // Unix seconds; 0 when it never worked

  double SuccessRate() const { return checks > 0 ? static_cast<double>(successes) / checks : 0; }
};

// Higher is better: mostly the success rate, then speed, then how recently it last worked, at
// `now` (Unix seconds).
double HealthScore(const ProxyHealth& health, std::int64_t now);

// The history as the parts that rank proxies read it. Any thread.
class HealthSource {
 public:
  virtual ~HealthSource() = default;
  // nullopt when nothing is recorded for the proxy (the address as the list keeps it; the same
  // proxy written another way, "SOCKS5://Host:080", is the same history).
  virtual std::optional<ProxyHealth> HealthOf(std::string_view address) const = 0;
};

}  // namespace lumvex
