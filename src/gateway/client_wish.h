// What a client asks the gateway for, read from its first bytes: an HTTP request (absolute form
// or CONNECT) or a SOCKS5 CONNECT. Malformed or unsupported requests get their refusal here.
#pragma once

#include <optional>
#include <string>

#include "gateway/asio.h"
#include "gateway/wire_format.h"

namespace lumvex::gateway {

// The most bytes of a client's request head.
inline constexpr std::size_t kMostRequestHead = 16 * 1024;

struct ClientWish {
  Destination destination;
  bool socks = false;
  bool tunnel = false;              // CONNECT or SOCKS; else a plain request to forward
  RequestHead head;                 // a plain request's head
  std::string path;                 // its target in origin form
  std::string early;                // bytes after the head (a body's start, or a tunnel's)
};

// nullopt when the client went, sent too much or something else than asked (it was told so
// where it could be).
Task<std::optional<ClientWish>> ReadHttpWish(tcp::socket& client);
Task<std::optional<ClientWish>> ReadSocksWish(tcp::socket& client);

// The answers that end a client's wait.
Task<void> TellHttpClient(tcp::socket& client, std::string_view status, std::string_view body);
// SOCKS5 reply `code` (0 succeeded) with an empty IPv4 bound address.
Task<void> TellSocksClient(tcp::socket& client, unsigned char code);

}  // namespace lumvex::gateway
