// The fixed parts of a proxy check: the validation address and the success rule. The verdict is
// the row's check state (proxylist/check_state.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "http/fetch_request.h"
#include "proxylist/check_reason.h"
#include "validate/check_protocol.h"

namespace lumvex {

// A check reads at most this much of a reply: it needs only the status and some body.
inline constexpr std::size_t kCheckBodyBytes = 4096;

// The "s" value of the validation address is drawn from this range for every check.
inline constexpr int kSaltMin = 100;
inline constexpr int kSaltMax = 9999999;

// What a pool check asks the validation host for: `before` + salt + `after`. By default
// "/?s=" + salt, the host's home page, which any web server answers with 2xx.
struct ValidationPath {
  std::string before = "/?s=";
  std::string after;

  friend bool operator==(const ValidationPath&, const ValidationPath&) = default;
};

// The check deadline unless the command line gives one (--check-timeout).
inline constexpr double kDefaultCheckTimeoutS = 60;

// Where checks are sent and how long each may take.
struct CheckTarget {
  std::string validation_host;     // host[:port]
  ValidationPath validation_path;
  std::string connectivity_host;   // host[:port], fetched by the menu check
  double timeout_s = kDefaultCheckTimeoutS;  // the check deadline
  // Every proxy is reached this way; none: by the scheme of its row (an HTTP proxy without one).
  std::optional<CheckProtocol> protocol;
};

// "http://" + host + path.before + salt + path.after. The fresh salt keeps caches along the way
// from answering.
std::string ValidationUrl(const CheckTarget& target, int salt);

// A fresh value in [kSaltMin, kSaltMax]; safe to call from any thread.
int DrawSalt();

// A protocol probe (`protocol` given) waits this share of the check deadline for the proxy's
// handshake, at least kMinHandshakeS: an HTTP proxy never answers a SOCKS greeting, and each
// protocol tried must not cost the whole deadline.
inline constexpr double kHandshakeShare = 0.05;
inline constexpr double kMinHandshakeS = 2;

// How every check fetches: through `proxy` only (never direct), with the deadline, the body as
// received and read up to `max_body_bytes`, the reply's header block kept (a judge's refusal is
// told by it). `proxy` is a row's "address:port", its address perhaps with a SOCKS scheme in
// front; with `protocol` it is reached that way instead, with the short handshake deadline.
http::FetchOptions CheckFetchOptions(const std::string& proxy, double timeout_s,
                                     std::size_t max_body_bytes = kCheckBodyBytes,
                                     std::optional<CheckProtocol> protocol = std::nullopt);

// The proxy relayed the request: before the deadline, the whole reply that came through it (the
// last one, redirects having been followed through the proxy) is a 2xx with a body. A proxy's own
// refusal (403 by its rules, 407 login wanted, 5xx when it could not reach the site), a reply
// without a status line, one cut before its end and a redirect that could not be followed do not
// count.
bool ProxyRelayed(const http::FetchResult& result);

// Why a reply that was not relayed failed (kNone for one that was). kProxySaid goes with the
// status FailedStatus gives.
CheckReason FailureReason(const http::FetchResult& result);
// The status a failed check reports: the reply's, or the status of a CONNECT the proxy refused.
int FailedStatus(const http::FetchResult& result);

}  // namespace lumvex
