#include "judge/socket_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

#include "text/text_util.h"

namespace lumvex::judge {
namespace {

std::optional<int> PortOf(std::string_view text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
    return std::nullopt;
  }
  int port = 0;
  for (const char c : text) port = port * 10 + (c - '0');
  return port <= 65535 ? std::optional<int>(port) : std::nullopt;
}

// An IPv4 address inside an IPv6 one (::ffff:a.b.c.d), as a plain IPv4 socket address.
bool IsMappedV4(const sockaddr_in6& v6) { return IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr) != 0; }

}  // namespace

std::optional<SocketAddress> ParseListenAddress(std::string_view text) {
  // A port alone, or "localhost", means the IPv4 loopback: the safe place for a judge tried on
  // one machine, and what "localhost" names first on Linux.
  constexpr std::string_view kLoopback = "127.0.0.1";
  const std::size_t colon = text.rfind(':');
  const std::optional<int> port =
      PortOf(colon == std::string_view::npos ? text : text.substr(colon + 1));
  std::string_view host = colon == std::string_view::npos ? kLoopback : text.substr(0, colon);
  if (text::ToLowerAscii(host) == "localhost") host = kLoopback;
  if (!port || host.empty()) return std::nullopt;
  SocketAddress result;
  const std::string host_text(host.front() == '[' && host.back() == ']' && host.size() > 2
                                  ? host.substr(1, host.size() - 2)
                                  : host);
  if (host.front() == '[') {
    if (host.back() != ']') return std::nullopt;
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&result.storage);
    if (inet_pton(AF_INET6, host_text.c_str(), &v6->sin6_addr) != 1) return std::nullopt;
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<uint16_t>(*port));
    result.length = sizeof(sockaddr_in6);
    return result;
  }
  auto* v4 = reinterpret_cast<sockaddr_in*>(&result.storage);
  // inet_pton takes only the four-part dotted form, not "1" or "0x7f.1".
  if (inet_pton(AF_INET, host_text.c_str(), &v4->sin_addr) != 1) return std::nullopt;
  v4->sin_family = AF_INET;
  v4->sin_port = htons(static_cast<uint16_t>(*port));
  result.length = sizeof(sockaddr_in);
  return result;
}

std::string ClientText(const SocketAddress& address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.storage.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address.storage);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
  } else if (address.storage.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address.storage);
    if (IsMappedV4(*v6)) {
      inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text);
    } else {
      inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    }
  }
  return text;
}

std::string ClientKey(const SocketAddress& address) {
  if (address.storage.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address.storage);
    return std::string(reinterpret_cast<const char*>(&v4->sin_addr), 4);
  }
  if (address.storage.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address.storage);
    const auto* bytes = reinterpret_cast<const char*>(v6->sin6_addr.s6_addr);
    return IsMappedV4(*v6) ? std::string(bytes + 12, 4) : std::string(bytes, 8);
  }
  return {};
}

std::string ListenUrl(const SocketAddress& bound) {
  int port = 0;
  std::string host = ClientText(bound);
  if (bound.storage.ss_family == AF_INET) {
    port = ntohs(reinterpret_cast<const sockaddr_in*>(&bound.storage)->sin_port);
  } else if (bound.storage.ss_family == AF_INET6) {
    port = ntohs(reinterpret_cast<const sockaddr_in6*>(&bound.storage)->sin6_port);
  }
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  return "http://" + host + ":" + std::to_string(port) + "/";
}

}  // namespace lumvex::judge
