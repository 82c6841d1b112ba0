#include "validate/proxy_check.h"

#include <algorithm>
#include <random>

namespace lumvex {

std::string ValidationUrl(const CheckTarget& target, int salt) {
  return "http://" + target.validation_host + target.validation_path.before + std::to_string(salt) +
         target.validation_path.after;
}

int DrawSalt() {
  // One engine per thread: thousands of workers draw at once without sharing a lock.
  thread_local std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<int> range(kSaltMin, kSaltMax);
  return range(engine);
}

http::FetchOptions CheckFetchOptions(const std::string& proxy, double timeout_s,
                                     std::size_t max_body_bytes,
                                     std::optional<CheckProtocol> protocol) {
  http::FetchOptions options;
  options.method = 0;
  options.proxy = proxy;
  options.proxy_only = true;
  options.timeout_s = timeout_s;
  options.body_encoding = http::kBodyAsIs;
  options.max_body_bytes = max_body_bytes;
  options.want_response_headers = true;
  if (protocol) {
    ApplyCheckProtocol(options, proxy, *protocol);
    options.connect_timeout_s =
        std::min(timeout_s, std::max(kMinHandshakeS, timeout_s * kHandshakeShare));
  }
  return options;
}

bool ProxyRelayed(const http::FetchResult& result) {
  if (result.timed_out || result.failure != http::FetchFailure::kNone) return false;
  return result.status >= 200 && result.status <= 299 && !result.body.empty();
}

CheckReason FailureReason(const http::FetchResult& result) {
  using http::FetchFailure;
  switch (result.failure) {
    case FetchFailure::kNone:
      break;
    case FetchFailure::kRefused:
      return CheckReason::kRefused;
    case FetchFailure::kNameNotFound:
      return CheckReason::kNameNotFound;
    case FetchFailure::kConnectTimeout:
      return CheckReason::kTimeoutConnecting;
    case FetchFailure::kHandshake:
      return result.proxy_status > 0 ? CheckReason::kProxySaid : CheckReason::kHandshakeFailed;
    case FetchFailure::kWaitTimeout:
      return CheckReason::kTimeoutWaiting;
    case FetchFailure::kCutReply:
      return CheckReason::kCutReply;
    case FetchFailure::kRedirect:
      return CheckReason::kRedirect;
    case FetchFailure::kOther:
      return CheckReason::kContentMissing;
  }
  if (result.timed_out) return CheckReason::kTimeoutWaiting;
  if (result.status >= 200 && result.status <= 299) {
    return result.body.empty() ? CheckReason::kContentMissing : CheckReason::kNone;
  }
  if (result.status >= 300 && result.status <= 399) return CheckReason::kRedirect;
  return result.status == 0 ? CheckReason::kContentMissing : CheckReason::kProxySaid;
}

int FailedStatus(const http::FetchResult& result) {
  if (result.timed_out) return 0;
  return result.status == 0 ? result.proxy_status : result.status;
}

}  // namespace lumvex
