#include "http/curl_proxy.h"

#include <optional>

#include "net/proxy_scheme.h"
#include "text/proxy_host.h"
#include "text/text_util.h"

namespace lumvex::http {
namespace {

// The scheme table names curl's proxy types by number, without curl.h.
static_assert(static_cast<long>(CurlProxyType::kHttp) == CURLPROXY_HTTP &&
              static_cast<long>(CurlProxyType::kSocks4) == CURLPROXY_SOCKS4 &&
              static_cast<long>(CurlProxyType::kSocks4a) == CURLPROXY_SOCKS4A &&
              static_cast<long>(CurlProxyType::kSocks5) == CURLPROXY_SOCKS5 &&
              static_cast<long>(CurlProxyType::kSocks5Hostname) == CURLPROXY_SOCKS5_HOSTNAME);

// The scheme `proxy` is written with; nullopt when it has none or one curl is not given (the
// text is then an HTTP proxy's address). A SOCKS proxy carries the request whatever the URL's
// scheme, as a tunnel does.
std::optional<ProxyScheme> SchemeOf(std::string_view proxy) {
  const std::optional<SchemePrefix> prefix = ReadSchemePrefix(proxy);
  if (!prefix || prefix->length == 0) return std::nullopt;
  return prefix->scheme;
}

}  // namespace

void CurlProxy::Set(std::string_view proxy, bool tunnel_https) {
  proxy_ = text::Trim(proxy);
  tunnel_https_ = tunnel_https;
  if (!proxy_.empty() && !SchemeOf(proxy_)) {
    proxy_ = std::string(InfoOf(ProxyScheme::kHttp).prefix) + proxy_;
  }
}

bool CurlProxy::Apply(CURL* easy, bool https_url) {
  in_effect_ = false;
  const std::optional<ProxyScheme> scheme = SchemeOf(proxy_);
  const bool socks = scheme && *scheme != ProxyScheme::kHttp;
  if (proxy_.empty() || !scheme || (https_url && !tunnel_https_ && !socks)) {
    return curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK;
  }
  // curl keeps its previous proxy ("", direct) when it refuses one, so every option is checked:
  // a request that needs the proxy must never leave without it.
  // A login goes to curl apart from the address: in the URL curl would read '%', '#' or '/' in
  // a password as URL syntax.
  text::ProxyLogin login;
  const std::string address = text::WithoutLogin(proxy_, &login);
  const char* user = login.Empty() ? nullptr : login.user.c_str();
  const char* password = login.Empty() ? nullptr : login.password.c_str();
  const long type = static_cast<long>(InfoOf(*scheme).curl_type);
  const bool taken = curl_easy_setopt(easy, CURLOPT_PROXY, address.c_str()) == CURLE_OK &&
                     curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, user) == CURLE_OK &&
                     curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, password) == CURLE_OK &&
                     curl_easy_setopt(easy, CURLOPT_PROXYTYPE, type) == CURLE_OK &&
                     curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL,
                                      tunnel_plain_ && !socks ? 1L : 0L) == CURLE_OK &&
                     // An empty list overrides NO_PROXY from the environment.
                     curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK;
  if (!taken) {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    return false;
  }
  in_effect_ = true;
  return true;
}

}  // namespace lumvex::http
