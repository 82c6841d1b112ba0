// ScriptedRequest: a synchronous request in the manner of a system HTTP request object (per-phase
// timeouts, a redirect switch, raw header lines, cookies kept in the caller's variable), held to
// a total time limit as well: a transfer on the fetch client's driver that the caller waits for.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "http/curl_transfer.h"
#include "http/fetch_client.h"
#include "http/http_limits.h"

namespace lumvex::http {

inline constexpr std::string_view kScriptedUserAgent =
    "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1)";
// What the request object sends when the header block names no agent.
inline constexpr std::string_view kScriptedObjectAgent =
    "Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)";

struct ScriptedRequestArgs {
  std::string method;   // in/out: upper-cased; empty becomes "GET"
  std::string body;     // text body, sent (as GBK) unless body_bytes is given
  std::string cookies;  // in/out: sent as the Cookie header; merged with the cookies set
  std::string headers;  // in/out: "\r\n"-separated lines; empty becomes the default block
  bool disable_redirects = false;
  int timeout_seconds = 0;  // 1: the object's own timeouts; 0 or less: 15 s; n: n seconds
  std::string body_bytes;   // binary body, sent instead of `body` when not empty
  // The whole call, redirects included, on top of the per-phase timeouts: a server trickling a
  // byte now and then passes those. 0 or less means kSyncTotalMs.
  long total_ms = kSyncTotalMs;
  // When set to true from another thread (shutdown), the call ends within about a second.
  const std::atomic<bool>* cancel = nullptr;
};

struct ScriptedResponse {
  std::string body;              // the response body bytes
  std::string returned_cookies;  // "name=value; " per cookie the response set
  std::string location;          // the Location header, or the whole header text without one
  std::string response_headers;  // the header lines of the response, status line excluded
};

struct ScriptedTimeouts {
  long connect_ms;
  long idle_ms;
};
ScriptedTimeouts ScriptedRequestTimeouts(int timeout_seconds);

std::string DefaultScriptedHeaders(std::string_view url);

// Where a redirect from `current_url` may lead: like the system request object, anywhere on http
// or https, except that an https address is never followed down to plain http.
RedirectPolicy ScriptedRedirectPolicy(std::string_view current_url, bool disable_redirects);

// The header lines the block sends, in order: lines holding ":" (a block without "\r\n" is one
// line).
std::vector<std::string> ScriptedHeaderLines(std::string_view headers);

// Reads Location and Set-Cookie lines of a response header text.
void ScanScriptedResponseHeaders(std::string_view response_headers, std::string* location,
                                 std::string* returned_cookies);

// `cookies` with the returned ones merged in: same names replaced, new ones appended, cookies
// with an empty value dropped; the result reads "a=1; b=2;".
std::string MergeCookies(std::string_view cookies, std::string_view returned);

ScriptedResponse ScriptedRequest(FetchClient& client, std::string_view url,
                                 ScriptedRequestArgs& args);

// The same request without a waiting thread: `done` gets the response on the fetch client's driver
// thread (inline when no transfer could be made or the client is closed), and must be quick.
// `args.cancel`, when given, must outlive the request.
void ScriptedRequestAsync(FetchClient& client, std::string_view url, ScriptedRequestArgs args,
                          std::function<void(ScriptedResponse)> done);

// The body as text up to its first zero byte (read as GBK); `response` receives the rest.
std::string ScriptedRequestText(FetchClient& client, std::string_view url,
                                ScriptedRequestArgs& args, ScriptedResponse* response = nullptr);

}  // namespace lumvex::http
