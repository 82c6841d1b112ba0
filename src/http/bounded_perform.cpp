#include "http/bounded_perform.h"

#include <chrono>

namespace lumvex::http {

CURLcode PerformWithin(CurlTransfer& transfer, SyncLimits limits,
                       const std::function<void(CurlTransfer&)>& after_hop) {
  if (!transfer.valid()) return CURLE_FAILED_INIT;
  using Clock = std::chrono::steady_clock;
  long total_ms = limits.total_ms > 0 ? limits.total_ms : kSyncTotalMs;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(total_ms);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return CURLE_OPERATION_TIMEDOUT;
    // curl's own limit covers one perform only, so each hop gets what is left of the total.
    transfer.SetLimits(limits.connect_ms, limits.idle_ms, static_cast<long>(left.count()));
    CURLcode code = curl_easy_perform(transfer.handle());
    if (code != CURLE_OK) return code;
    if (after_hop) after_hop(transfer);
    if (!transfer.PrepareRedirect()) return code;
  }
}

}  // namespace lumvex::http
