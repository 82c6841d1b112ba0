// Pacing, retry and parsing bounds of a harvest; tests shorten them.
#pragma once

#include <chrono>
#include <optional>

#include "acquire/bounded_scan.h"

namespace lumvex {

struct HarvestTuning {
  std::chrono::milliseconds page_interval{1000};
  // Retry of the source-B database list: the first pause, doubled after each empty answer up to
  // the last; `database_attempts` 0 retries until the program ends.
  std::chrono::milliseconds retry_first{1000};
  std::chrono::milliseconds retry_most{30000};
  int database_attempts = 0;
  // Bound on the pattern work per page.
  ScanLimits scan;
  // Deadline of a source-A page fetch (the page fetch's default when unset).
  std::optional<double> page_timeout_s;
};

}  // namespace lumvex
