// The bytes the gateway reads and writes: a client's HTTP request head, the head it forwards,
// the CONNECT and SOCKS requests it sends upstream, and the first line of a reply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/proxy_host.h"

namespace lumvex::gateway {

// Where a client wants to go: a host (an IP address, IPv6 without brackets, or a DNS name) and
// a port.
struct Destination {
  std::string host;
  std::uint16_t port = 0;
};

struct RequestHead {
  std::string method;
  std::string target;   // as the request line has it
  std::string version;  // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> fields;
};

// The request line and header fields of `head` (up to and with the empty line); nullopt when it
// is not an HTTP/1.x request head.
std::optional<RequestHead> ParseRequestHead(std::string_view head);

// "host:port" or "[v6]:port" (CONNECT's target); nullopt otherwise.
std::optional<Destination> ParseAuthority(std::string_view text);

struct AbsoluteTarget {
  Destination destination;
  std::string path;  // origin form: "/" and what follows, "/" when there was none
};

// "http://host[:port][/path]" (any letter case in the scheme), the port 80 when none is given.
std::optional<AbsoluteTarget> ParseAbsoluteTarget(std::string_view target);

// The value of the first field called `name` (any letter case), or nullopt.
std::optional<std::string> FieldOf(const RequestHead& head, std::string_view name);

// A request body follows the head beyond the `already` bytes that came with it (a
// Content-Length above them, or a chunked body).
bool BodyBeyond(const RequestHead& head, std::size_t already);

// The head sent upstream for a plain request: its target in `target` (absolute form to an HTTP
// proxy, origin form through a tunnel), "Connection: close" instead of the client's connection
// fields, the client's Proxy-Authorization dropped and `login`'s put in when there is one.
std::string ForwardedHead(const RequestHead& head, std::string_view target,
                          const text::ProxyLogin& login);

// "CONNECT host:port HTTP/1.1" with Host and, for a login, Proxy-Authorization.
std::string ConnectRequest(const Destination& destination, const text::ProxyLogin& login);

// SOCKS4 CONNECT to an IPv4 `address` (4 bytes); SOCKS4a to a name when `address` is empty.
std::string Socks4Request(const Destination& destination, std::string_view address,
                           std::string_view user);

// SOCKS5 greeting offering "no authentication", and user/password with a login.
std::string Socks5Greeting(bool with_login);
// RFC 1929 user/password request; nullopt when user or password is longer than 255 bytes.
std::optional<std::string> Socks5LoginRequest(const text::ProxyLogin& login);
// SOCKS5 CONNECT: an IPv4 or IPv6 address as one, anything else as a name (at most 255 bytes).
std::optional<std::string> Socks5ConnectRequest(const Destination& destination);

// The status code of a reply starting "HTTP/1.x NNN"; nullopt otherwise.
std::optional<int> ReplyStatus(std::string_view reply);

// The reply (what has come of its head) is a proxy's own page rather than the origin's: a
// Proxy-Authenticate or X-Squid-Error field, or a Server field naming proxy software.
bool LooksLikeProxyReply(std::string_view reply);

std::string Base64(std::string_view bytes);

}  // namespace lumvex::gateway
