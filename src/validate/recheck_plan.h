// What a list that keeps itself checked re-checks, and when: a working row (its last verdict a
// pass) every `working` interval, any other row (failed, never checked, judge busy) every
// `failed` interval, each counted from the end of its last re-check. A row never re-checked yet is
// due at once. Rows are known by their address, not by their place in the list: the list may be
// sorted, cut or refilled between two looks. Nothing here runs a check or reads a clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "proxylist/check_state.h"

namespace lumvex {

struct RecheckTiming {
  std::chrono::milliseconds working = std::chrono::minutes(5);
  std::chrono::milliseconds failed = std::chrono::minutes(30);
};

// One row as the plan sees it: its proxy ("address:port") and its verdict now.
struct RecheckRow {
  std::string address;
  CheckStatus status = CheckStatus::kNone;
};

class RecheckPlan {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RecheckPlan(RecheckTiming timing = {}) : timing_(timing) {}

  // The rows of `rows` due at `now`, at most `room` of them: working rows first, each group in
  // list order; a row under way, or named twice, is given once at most. Addresses no longer in
  // `rows` are forgotten (unless under way), so the plan never outgrows the list.
  std::vector<std::string> Due(const std::vector<RecheckRow>& rows, Clock::time_point now,
                               std::size_t room);
  // The re-check of `address` began (it is not due again until it ends).
  void Started(const std::string& address);
  // It ended at `now`.
  void Finished(const std::string& address, Clock::time_point now);
  // Someone else checked it at `now` (a validation run): its next re-check counts from then.
  // Nothing changes for a row under way.
  void CheckedElsewhere(const std::string& address, Clock::time_point now);

  std::size_t UnderWay() const { return under_way_; }
  const RecheckTiming& Timing() const { return timing_; }

 private:
  struct Mark {
    bool checked = false;  // a re-check ended, at `ended`
    bool under_way = false;
    Clock::time_point ended{};
  };

  RecheckTiming timing_;
  std::unordered_map<std::string, Mark> marks_;
  std::size_t under_way_ = 0;
};

}  // namespace lumvex
