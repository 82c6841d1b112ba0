// What FetchPage takes and gives, and the pure steps that turn its arguments into a request and
// a response into its result.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex::http {

class CookieStore;

// Conversion of the response body (BodyEncoding).
inline constexpr int kBodyAsIs = 0;
inline constexpr int kBodyUtf8 = 1;  // a UTF-8 page, cut at its first zero byte
inline constexpr int kBodyBig5 = 2;  // a Big5 page, cut there too, Traditional mapped to Simplified

inline constexpr std::string_view kFetchTimeoutMessage =
    "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些"
    "。";
inline constexpr std::string_view kFetchUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";
inline constexpr std::string_view kFetchAcceptLine =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";
inline constexpr std::string_view kAcceptLanguageLine = "Accept-Language: zh-cn\r\n";
inline constexpr std::string_view kFormContentTypeLine =
    "Content-Type: application/x-www-form-urlencoded\r\n";

// Why an exchange brought no whole reply (FetchResult::failure).
enum class FetchFailure {
  kNone,            // a reply came whole, or the caller's body limit ended it
  kRefused,         // nothing accepted the connection
  kNameNotFound,    // a host name (the proxy's, or the site's) did not resolve
  kConnectTimeout,  // no connection before the deadline (or the connect deadline)
  kHandshake,       // connected, but the proxy's handshake (SOCKS, CONNECT, TLS) failed or stalled
  kWaitTimeout,     // connected, but no whole reply before the deadline
  kCutReply,        // the reply ended before its announced end (or nothing came at all)
  kRedirect,        // a proxy check's redirect to another scheme, or more hops than allowed
  kOther,           // a reply that is no HTTP, or any other error
};

// Every field left empty is "not supplied".
struct FetchOptions {
  std::optional<int> method;           // 1: POST; anything else: GET
  // host:port of an HTTP proxy for plain-http URLs, or a SOCKS proxy as scheme://host:port
  // (socks4, socks4a, socks5, socks5h) for every URL.
  std::optional<std::string> proxy;
  std::optional<std::string> headers;  // extra lines, each ending in CR LF, sent first
  std::optional<std::string> body;     // bytes, sent with POST only
  std::optional<std::string> cookies;  // value of a Cookie header; stored cookies are then not sent
  std::optional<double> timeout_s;     // deadline for the whole exchange; 0: time out at once
  // Deadline for the connection, a proxy's handshake included (SOCKS, CONNECT); omitted: none
  // but the whole exchange's.
  std::optional<double> connect_timeout_s;
  std::optional<int> body_encoding;    // kBodyAsIs, kBodyUtf8, kBodyBig5
  std::optional<bool> allow_redirect;  // omitted: followed (https never down to http)
  // The body stops growing here (the transfer ends with what arrived); omitted: kMaxBodyBytes.
  // A proxy check needs only to see that a reply came, not thousands of whole pages at once.
  std::optional<std::size_t> max_body_bytes;
  // A proxy check: the exchange goes through `proxy` or does not happen. An https URL goes through
  // a CONNECT tunnel; redirects are followed through the same proxy (http and https only, at most
  // kMaxCheckRedirects hops; https through a CONNECT tunnel), and a proxy that is empty or that
  // the HTTP library refuses sends nothing (empty result).
  bool proxy_only = false;
  // A plain-http exchange, too, goes through a CONNECT tunnel of the HTTP proxy (to the URL's host
  // and port) instead of being handed to the proxy as an absolute-form request.
  bool proxy_tunnel = false;
  bool want_response_headers = false;
  bool want_cookies = false;
};

struct FetchResult {
  // The body after conversion, the timeout message, or empty on failure.
  std::string body;
  bool timed_out = false;
  // Status code of the last response; 0 when none arrived (failure, timeout, cancel).
  int status = 0;
  // Content-Type of that response as sent (charset included); empty when it had none.
  std::string content_type;
  // Filled only when asked for and the exchange did not time out.
  std::optional<std::string> response_headers;  // raw block, or 2048 spaces when it is longer
  std::optional<std::string> cookies;           // "name=value;" per cookie the server set
  // No connection was tried: the process had no file descriptor left for its socket. The result
  // says nothing about the server or proxy; a caller that can wait tries again later.
  bool out_of_descriptors = false;
  // Why no whole reply came (kNone when one did); a timeout says how far the exchange got.
  FetchFailure failure = FetchFailure::kNone;
  // The status of the proxy's answer to a CONNECT it refused (403, 407...); 0 otherwise.
  int proxy_status = 0;
};

// The URL as FetchPage uses it: "http://" put in front unless it starts with "http://" or
// "https://" (exact case). Empty when the URL is blank.
std::optional<std::string> NormaliseFetchUrl(std::string_view url);

// The deadline in milliseconds: 60000 when omitted, otherwise seconds x 1000 rounded.
double FetchDeadlineMs(std::optional<double> timeout_s);

// Elapsed time at or past the deadline counts as a timeout, whatever else happened.
bool IsFetchTimedOut(double elapsed_ms, double deadline_ms);

// The User-Agent: the caller's own from its block, else the default one.
std::string FetchUserAgent(std::string_view block);

// The caller's block completed with the default lines (Accept, Referer, Accept-Language, and for
// POST the content lines), then the cookie line.
std::string CompleteFetchHeaderBlock(std::string block, std::string_view url, bool post,
                                     std::string_view cookies, std::size_t body_size);

// Header lines of a block, split at CR LF, empty lines left out.
std::vector<std::string> SplitHeaderBlock(std::string_view block);

// The header text a caller sees: the block, or `buffer_bytes` spaces when it needs that many bytes
// or more (a terminating zero must fit).
std::string FitHeaderBuffer(std::string_view raw, std::size_t buffer_bytes);

// The "name=value;" text of every Set-Cookie line of `header_text`; each cookie also goes to
// `store` (when given) for `host`.
std::string CollectFetchCookies(std::string_view header_text, std::string_view host,
                                CookieStore* store);

// The body converted as `encoding` selects.
std::string DecodeFetchBody(std::string body, int encoding);

}  // namespace lumvex::http
