// The two synchronous clients of the list scrapers: RawRequest (its own header defaults, an
// optional proxy for plain http, limits on connecting and on a stalled exchange) and SimpleGet
// (a bare HTTP/1.0 GET). Both are transfers on the fetch client's driver that the calling thread
// waits for, and neither takes longer in all than its total limit (kSyncTotalMs unless the caller
// gives another).
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "http/fetch_client.h"
#include "http/http_limits.h"

namespace lumvex::http {

class CookieStore;

inline constexpr std::string_view kRawUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
inline constexpr std::string_view kRawAcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

struct RawRequestArgs {
  std::string method;                // in/out: "POST" in any case selects POST, else "GET"
  std::optional<std::string> proxy;  // host:port; serves plain http only
  std::string headers;               // in/out: extra lines (each ending in CR LF) + defaults
  std::string body;                  // form data sent (as GBK) with POST
  bool want_response_headers = false;
  // When set to true from another thread (shutdown), the call ends within about a second.
  const std::atomic<bool>* cancel = nullptr;
};

struct RawRequestResult {
  std::string body;  // the page read as GBK up to its first zero byte
  // When asked for: the raw block, 1024 spaces when it is longer, empty when none arrived.
  std::optional<std::string> response_headers;
};

inline constexpr SyncLimits kRawRequestLimits{kRawRequestLimitMs, kRawRequestLimitMs};

// The caller's block completed with the default Accept, Referer and Accept-Language lines.
std::string CompleteRawHeaderBlock(std::string block, std::string_view url);

// `cookies` (may be null) is the shared jar; `limits` stays at its default outside tests.
RawRequestResult RawRequest(FetchClient& client, std::string_view url, RawRequestArgs& args,
                            CookieStore* cookies, SyncLimits limits = kRawRequestLimits);

// The body bytes of a plain GET (HTTP/1.0, "Accept: */*"), empty when nothing could be read.
std::string SimpleGet(FetchClient& client, std::string_view url, CookieStore* cookies,
                      SyncLimits limits = {kSimpleGetConnectMs, kSimpleGetIdleMs},
                      const std::atomic<bool>* cancel = nullptr);

}  // namespace lumvex::http
