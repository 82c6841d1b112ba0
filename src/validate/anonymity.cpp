#include "validate/anonymity.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "text/text_util.h"

namespace lumvex {
namespace {

// The one table of the headers that announce a proxy, in the compared form (lower case, '-').
// A CGI-style judge's names arrive without "HTTP_" and with '_' (HTTP_X_FORWARDED_FOR).
constexpr std::array<std::string_view, 21> kProxyHeaders = {
    "via",
    "x-forwarded-for",
    "forwarded",
    "x-real-ip",
    "client-ip",
    "x-client-ip",
    "x-proxy-id",
    "proxy-connection",
    "x-forwarded",
    "forwarded-for",
    "forwarded-for-ip",
    "x-forwarded-for-ip",
    "x-originating-ip",
    "x-tinyproxy",
    "x-bluecoat-via",
    "x-cluster-client-ip",
    "x-proxy-connection",
    "x-via",
    "x-coming-from",
    "coming-from",
    "x-forwarded-server",
};

// Headers that name the site asked, not the client: the judge's own address in them (a judge on
// the user's machine) says nothing about the proxy.
constexpr std::array<std::string_view, 3> kSiteHeaders = {"host", "referer", "origin"};

std::string ComparedName(std::string_view name) {
  std::string compared = text::ToLowerAscii(text::TrimView(name));
  std::replace(compared.begin(), compared.end(), '_', '-');
  return compared;
}

bool AddressCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '.' ||
         c == ':';
}

// A token of a header value as an address: itself, or an IPv4 address with ":port" after it.
std::optional<std::string> TokenAddress(std::string_view token) {
  if (std::optional<std::string> address = CanonicalAddress(token)) return address;
  const std::size_t colon = token.rfind(':');
  if (colon == std::string_view::npos || token.find(':') != colon) return std::nullopt;
  return CanonicalAddress(token.substr(0, colon));
}

// True when one of `own` stands in `value` as a whole token. Tokens are the longest runs of
// characters an address can hold, so brackets, quotes, commas, "for=" and ports split them.
bool MentionsOwn(std::string_view value, const std::vector<std::string>& own) {
  for (std::size_t i = 0; i < value.size();) {
    if (!AddressCharacter(value[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < value.size() && AddressCharacter(value[end])) ++end;
    const std::optional<std::string> address = TokenAddress(value.substr(i, end - i));
    if (address && std::find(own.begin(), own.end(), *address) != own.end()) return true;
    i = end;
  }
  return false;
}

}  // namespace

std::optional<std::string> CanonicalAddress(std::string_view text) {
  // Longer than any IPv6 text form: not an address (and the copy below stays small).
  if (text.empty() || text.size() > INET6_ADDRSTRLEN) return std::nullopt;
  const std::string copy(text);
  in_addr v4{};
  char out[INET6_ADDRSTRLEN] = {};
  if (::inet_pton(AF_INET, copy.c_str(), &v4) == 1) {
    return ::inet_ntop(AF_INET, &v4, out, sizeof out) ? std::optional<std::string>(out)
                                                      : std::nullopt;
  }
  in6_addr v6{};
  if (::inet_pton(AF_INET6, copy.c_str(), &v6) != 1) return std::nullopt;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    std::memcpy(&v4, &v6.s6_addr[12], sizeof v4);
    return ::inet_ntop(AF_INET, &v4, out, sizeof out) ? std::optional<std::string>(out)
                                                      : std::nullopt;
  }
  return ::inet_ntop(AF_INET6, &v6, out, sizeof out) ? std::optional<std::string>(out)
                                                     : std::nullopt;
}

bool IsProxyHeader(std::string_view name) {
  const std::string compared = ComparedName(name);
  return std::find(kProxyHeaders.begin(), kProxyHeaders.end(), compared) != kProxyHeaders.end();
}

Anonymity Classify(const JudgeView& view, const std::vector<std::string>& own) {
  for (const std::string& origin : view.origins) {
    if (MentionsOwn(origin, own)) return Anonymity::kTransparent;
  }
  bool announced = false;
  for (const auto& [name, value] : view.headers) {
    const std::string compared = ComparedName(name);
    const bool site =
        std::find(kSiteHeaders.begin(), kSiteHeaders.end(), compared) != kSiteHeaders.end();
    if (!site && MentionsOwn(value, own)) return Anonymity::kTransparent;
    announced = announced || IsProxyHeader(name);
  }
  return announced ? Anonymity::kAnonymous : Anonymity::kElite;
}

}  // namespace lumvex
