// The pieces of a proxy address that every reader of one agrees on: which hosts are names a
// proxy can have, and the "user:password@" login that may stand in front of the host. Lists
// come from strangers, so a host is judged by its text before anything is looked up, and a
// password is never shown where a message is read over someone's shoulder.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumvex::text {

// An IPv4 address of exactly four decimal parts, each 0 to 255 ("1.2.3.4"); an IPv6 address in
// brackets ("[::1]"); or a DNS name: labels of letters, digits and hyphens, 1 to 63 bytes each,
// none starting or ending with a hyphen, no empty label, at most 253 bytes in all, and at least
// one letter somewhere, so that "1.2.3.4.5" and "999.999.999.999" are not names. "-rf", "..",
// "_" and "a b" are refused.
bool IsProxyHost(std::string_view host);

// The same for an IPv6 address written without its brackets ("::1").
bool IsIpv6Address(std::string_view host);

struct ProxyLogin {
  std::string user;
  std::string password;

  bool Empty() const { return user.empty(); }
  friend bool operator==(const ProxyLogin&, const ProxyLogin&) = default;
};

struct LoginPrefix {
  ProxyLogin login;
  std::size_t length = 0;  // bytes of "user:password@"
};

// A "user:password@" at the very start of `text` (after any scheme): a user of at least one byte
// without ':', then ':', a password (perhaps empty), then '@'; neither holds '@', '|', a blank
// or a control character. Whether what follows is a host and port is the caller's question: in
// "1.2.3.4:8080@HTTP" the "@" starts a type text, not a host.
std::optional<LoginPrefix> ReadLoginPrefix(std::string_view text);

// `address` ("[scheme://][user:password@]host:port", or any line that may hold one) with the
// password replaced by "***", for standard error, the status line and message boxes. Text
// without a login comes back unchanged.
std::string MaskPassword(std::string_view address);

// `address` without its login: "socks5://bob:pw@1.2.3.4:1080" gives "socks5://1.2.3.4:1080".
// `login`, when given, receives the login (empty when there is none).
std::string WithoutLogin(std::string_view address, ProxyLogin* login = nullptr);

}  // namespace lumvex::text
