// The user's own address as a judge sees it: one direct request (no proxy) to the judge before
// the checks, whose origin is what a transparent proxy would pass on.
#pragma once

#include <string>
#include <vector>

#include "http/fetch_client.h"

namespace lumvex {

struct OwnAddressLookup {
  std::vector<std::string> addresses;  // canonical (CanonicalAddress); empty on failure
  std::string error;                   // why none was found (ASCII, short)
};

// How the direct request is made: no proxy, the deadline, a judge's reply at most.
http::FetchOptions OwnAddressFetchOptions(double timeout_s);
// The origin of a judge's reply to that request, or why there is none.
OwnAddressLookup OwnAddressesFrom(const http::FetchResult& result);

// Fetches `judge_url` directly within `timeout_s` and reads the origin of its reply; a judge's
// refusal (check_attempt.h) is asked again after its Retry-After while the deadline lasts. Blocks.
OwnAddressLookup LookUpOwnAddresses(http::FetchClient& fetcher, const std::string& judge_url,
                                    double timeout_s);

}  // namespace lumvex
