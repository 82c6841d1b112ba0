#include "validate/own_address.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "validate/anonymity.h"
#include "validate/check_attempt.h"
#include "validate/judge_reply.h"

namespace lumvex {
namespace {

// A request asked with less time than this left would end at the deadline unanswered.
constexpr double kLeastOwnAddressAttemptS = 0.05;

}  // namespace

http::FetchOptions OwnAddressFetchOptions(double timeout_s) {
  http::FetchOptions options;
  options.method = 0;
  options.timeout_s = timeout_s;
  options.body_encoding = http::kBodyAsIs;
  options.max_body_bytes = kJudgeReplyMaxBytes + 1;
  options.want_response_headers = true;  // a judge's refusal is told by its header
  return options;
}

OwnAddressLookup OwnAddressesFrom(const http::FetchResult& result) {
  OwnAddressLookup lookup;
  if (result.timed_out) {
    lookup.error = "the judge did not answer in time";
    return lookup;
  }
  if (result.status < 200 || result.status > 299) {
    if (result.status == 0) {
      lookup.error = "the judge cannot be reached";
    } else if (JudgeRefusalRetryS(result)) {
      lookup.error =
          "the judge stayed busy (status " + std::to_string(result.status) + ") until the deadline";
    } else {
      lookup.error = "the judge answered with status " + std::to_string(result.status);
    }
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
  using Clock = std::chrono::steady_clock;
  const Clock::time_point started = Clock::now();
  auto left_s = [&] {
    return timeout_s - std::chrono::duration<double>(Clock::now() - started).count();
  };
  for (;;) {
    std::string url = judge_url;  // FetchPage may rewrite the address it is given
    const http::FetchResult result =
        fetcher.FetchPage(url, OwnAddressFetchOptions(std::max(0.0, left_s())));
    // A busy judge asks to be asked again later; within the deadline, it is.
    const std::optional<double> retry_s = JudgeRefusalRetryS(result);
    if (!retry_s || left_s() - *retry_s < kLeastOwnAddressAttemptS) {
      return OwnAddressesFrom(result);
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(*retry_s));
  }
}

}  // namespace lumvex
