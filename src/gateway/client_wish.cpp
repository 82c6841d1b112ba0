#include "gateway/client_wish.h"

#include <algorithm>

namespace lumvex::gateway {
namespace {

// SOCKS5 replies the gateway gives of its own.
constexpr unsigned char kCommandNotSupported = 0x07;
constexpr unsigned char kAddressNotSupported = 0x08;

Task<std::optional<std::string>> Receive(tcp::socket& client, std::size_t size) {
  std::string bytes(size, '\0');
  ErrorCode error;
  co_await asio::async_read(client, asio::buffer(bytes), Into(error));
  if (error) co_return std::nullopt;
  co_return bytes;
}

}  // namespace

Task<void> TellHttpClient(tcp::socket& client, std::string_view status, std::string_view body) {
  const std::string reply = "HTTP/1.1 " + std::string(status) +
                            "\r\nContent-Type: text/plain\r\nContent-Length: " +
                            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                            std::string(body);
  ErrorCode ignored;
  co_await asio::async_write(client, asio::buffer(reply), Into(ignored));
  client.shutdown(tcp::socket::shutdown_send, ignored);
}

Task<void> TellSocksClient(tcp::socket& client, unsigned char code) {
  const std::string reply = std::string("\x05", 1) + static_cast<char>(code) +
                            std::string("\x00\x01\x00\x00\x00\x00\x00\x00", 8);
  ErrorCode ignored;
  co_await asio::async_write(client, asio::buffer(reply), Into(ignored));
}

Task<std::optional<ClientWish>> ReadHttpWish(tcp::socket& client) {
  std::string data;
  ErrorCode error;
  const std::size_t size = co_await asio::async_read_until(
      client, asio::dynamic_buffer(data, kMostRequestHead), "\r\n\r\n", Into(error));
  if (error == asio::error::not_found) {
    co_await TellHttpClient(client, "431 Request Header Fields Too Large",
                            "the request head is longer than 16 KiB\n");
    co_return std::nullopt;
  }
  if (error) co_return std::nullopt;
  std::optional<RequestHead> head = ParseRequestHead(std::string_view(data).substr(0, size));
  ClientWish wish;
  wish.early = data.substr(size);
  if (head && head->method == "CONNECT") {
    if (std::optional<Destination> destination = ParseAuthority(head->target)) {
      wish.destination = std::move(*destination);
      wish.tunnel = true;
      co_return wish;
    }
  } else if (head) {
    if (std::optional<AbsoluteTarget> target = ParseAbsoluteTarget(head->target)) {
      wish.destination = std::move(target->destination);
      wish.path = std::move(target->path);
      wish.head = std::move(*head);
      co_return wish;
    }
  }
  co_await TellHttpClient(client, "400 Bad Request",
                          "this is a proxy: send an absolute http:// address or CONNECT host:port\n");
  co_return std::nullopt;
}

Task<std::optional<ClientWish>> ReadSocksWish(tcp::socket& client) {
  const std::optional<std::string> greeting = co_await Receive(client, 2);
  if (!greeting || (*greeting)[0] != 5) co_return std::nullopt;
  const std::optional<std::string> methods =
      co_await Receive(client, static_cast<unsigned char>((*greeting)[1]));
  if (!methods) co_return std::nullopt;
  ErrorCode error;
  // No authentication is the only method offered.
  if (methods->find('\0') == std::string::npos) {
    co_await asio::async_write(client, asio::buffer("\x05\xff", 2), Into(error));
    co_return std::nullopt;
  }
  co_await asio::async_write(client, asio::buffer("\x05\x00", 2), Into(error));
  const std::optional<std::string> request = co_await Receive(client, 4);
  if (error || !request || (*request)[0] != 5) co_return std::nullopt;
  if ((*request)[1] != 1) {
    co_await TellSocksClient(client, kCommandNotSupported);
    co_return std::nullopt;
  }
  ClientWish wish;
  wish.socks = true;
  wish.tunnel = true;
  std::optional<std::string> address;
  switch ((*request)[3]) {
    case 1:
    case 4: {
      const bool v4 = (*request)[3] == 1;
      address = co_await Receive(client, v4 ? 4 : 16);
      if (!address) co_return std::nullopt;
      if (v4) {
        asio::ip::address_v4::bytes_type bytes;
        std::copy(address->begin(), address->end(), bytes.begin());
        wish.destination.host = asio::ip::address_v4(bytes).to_string();
      } else {
        asio::ip::address_v6::bytes_type bytes;
        std::copy(address->begin(), address->end(), bytes.begin());
        wish.destination.host = asio::ip::address_v6(bytes).to_string();
      }
      break;
    }
    case 3: {
      const std::optional<std::string> length = co_await Receive(client, 1);
      if (!length) co_return std::nullopt;
      address = co_await Receive(client, static_cast<unsigned char>((*length)[0]));
      if (!address) co_return std::nullopt;
      // A name goes on in request lines: blanks and controls would cut them.
      if (address->empty() || std::any_of(address->begin(), address->end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7f;
          })) {
        co_await TellSocksClient(client, kAddressNotSupported);
        co_return std::nullopt;
      }
      wish.destination.host = *address;
      break;
    }
    default:
      co_await TellSocksClient(client, kAddressNotSupported);
      co_return std::nullopt;
  }
  const std::optional<std::string> port = co_await Receive(client, 2);
  if (!port) co_return std::nullopt;
  wish.destination.port = static_cast<std::uint16_t>(static_cast<unsigned char>((*port)[0]) << 8 |
                                                     static_cast<unsigned char>((*port)[1]));
  co_return wish;
}

}  // namespace lumvex::gateway
