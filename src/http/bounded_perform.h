// One blocking exchange with its redirects, held to a total time limit on top of the limits on
// connecting and on a stalled transfer: a server that sends a byte every few seconds never
// trips the stall limit, so only a total limit bounds how long it can hold the caller.
#pragma once

#include <curl/curl.h>

#include <functional>

#include "http/curl_transfer.h"
#include "http/http_limits.h"

namespace lumvex::http {

struct SyncLimits {
  long connect_ms;
  long idle_ms;  // longest time without a byte moving either way
  // The whole call, every redirect included; 0 or less means kSyncTotalMs.
  long total_ms = kSyncTotalMs;
};

// Runs the transfer and every redirect its policy allows; the hops share one total limit.
// `after_hop` (may be empty) sees each finished hop before the next is prepared, so a client can
// adjust the redirect policy to where the exchange has got to. Returns the last hop's code
// (CURLE_OPERATION_TIMEDOUT when the total ran out between hops).
CURLcode PerformWithin(CurlTransfer& transfer, SyncLimits limits,
                       const std::function<void(CurlTransfer&)>& after_hop = {});

}  // namespace lumvex::http
