// The judge's addresses: the one it listens on, as typed, and its clients' as it shows and
// counts them.
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>
#include <string_view>

namespace lumvex::judge {

struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;
};

// "A.B.C.D:PORT" or "[IPV6]:PORT" with PORT from 0 to 65535 (0: any free port); "PORT" alone
// and "localhost:PORT" are 127.0.0.1:PORT. Literals otherwise, no other host names, so the judge
// listens exactly where it was told. nullopt for anything else.
std::optional<SocketAddress> ParseListenAddress(std::string_view text);

// The address of a client as the echo shows it: "1.2.3.4", "::1"; an IPv4 client reaching a
// dual-stack listener ("::ffff:1.2.3.4") is shown as its IPv4 address, the form its owner knows.
std::string ClientText(const SocketAddress& address);

// The key a client is counted under: its IPv4 address, or the /64 network of an IPv6 address
// (one host commonly holds a whole /64, and would otherwise get a fresh bucket per address).
std::string ClientKey(const SocketAddress& address);

// The address a socket is bound to (after port 0 got a port), as a URL: "http://127.0.0.1:8080/",
// "http://[::1]:8080/".
std::string ListenUrl(const SocketAddress& bound);

}  // namespace lumvex::judge
