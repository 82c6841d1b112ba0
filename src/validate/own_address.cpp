#include "validate/own_address.h"

#include "validate/anonymity.h"
#include "validate/judge_reply.h"

namespace lumvex {

http::FetchOptions OwnAddressFetchOptions(double timeout_s) {
  http::FetchOptions options;
  options.method = 0;
  options.timeout_s = timeout_s;
  options.body_encoding = http::kBodyAsIs;
  options.max_body_bytes = kJudgeReplyMaxBytes + 1;
  return options;
}

OwnAddressLookup OwnAddressesFrom(const http::FetchResult& result) {
  OwnAddressLookup lookup;
  if (result.timed_out) {
    lookup.error = "the judge did not answer in time";
    return lookup;
  }
  if (result.status < 200 || result.status > 299) {
    lookup.error = result.status == 0
                       ? "the judge cannot be reached"
                       : "the judge answered with status " + std::to_string(result.status);
    return lookup;
  }
  const JudgeReading reading = ReadJudgeReply(result.body);
  if (!reading.view) {
    lookup.error = "the judge's reply cannot be read: " + reading.reason;
    return lookup;
  }
  for (const std::string& origin : reading.view->origins) {
    if (std::optional<std::string> address = CanonicalAddress(origin)) {
      lookup.addresses.push_back(std::move(*address));
    }
  }
  if (lookup.addresses.empty()) lookup.error = "the judge's reply names no origin address";
  return lookup;
}

OwnAddressLookup LookUpOwnAddresses(http::FetchClient& fetcher, const std::string& judge_url,
                                    double timeout_s) {
  std::string url = judge_url;  // FetchPage may rewrite the address it is given
  return OwnAddressesFrom(fetcher.FetchPage(url, OwnAddressFetchOptions(timeout_s)));
}

}  // namespace lumvex
