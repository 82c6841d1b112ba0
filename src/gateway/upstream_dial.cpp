#include "gateway/upstream_dial.h"

#include <array>

#include "gateway/deadline.h"

namespace lumvex::gateway {
namespace {

// The most bytes of a CONNECT reply's head.
constexpr std::size_t kMostReplyHead = 16 * 1024;

struct Failed {
  UpstreamFailure failure = UpstreamFailure::kHandshakeFailed;
  int status = 0;
  bool site = false;  // see DialResult::site_unreachable
};
constexpr Failed kSiteUnreachable{UpstreamFailure::kHandshakeFailed, 0, true};
using Step = std::optional<Failed>;  // nullopt: the step worked

// `host` as an address when it is one.
std::optional<asio::ip::address> LiteralOf(const std::string& host) {
  ErrorCode error;
  const asio::ip::address address = asio::ip::make_address(host, error);
  if (error) return std::nullopt;
  return address;
}

// The first address of `host` (of IPv4 only with `v4_only`), looked up here.
Task<std::optional<asio::ip::address>> Lookup(tcp::resolver& resolver, const std::string& host,
                                              bool v4_only) {
  if (std::optional<asio::ip::address> literal = LiteralOf(host)) {
    if (v4_only && !literal->is_v4()) co_return std::nullopt;
    co_return literal;
  }
  ErrorCode error;
  tcp::resolver::results_type results;
  if (v4_only) {
    results = co_await resolver.async_resolve(tcp::v4(), host, "0", Into(error));
  } else {
    results = co_await resolver.async_resolve(host, "0", Into(error));
  }
  if (error || results.empty()) co_return std::nullopt;
  co_return results.begin()->endpoint().address();
}

Task<bool> Send(tcp::socket& socket, const std::string& bytes) {
  ErrorCode error;
  co_await asio::async_write(socket, asio::buffer(bytes), Into(error));
  co_return !error;
}

// Exactly `size` bytes, or nullopt.
Task<std::optional<std::string>> Receive(tcp::socket& socket, std::size_t size) {
  std::string bytes(size, '\0');
  ErrorCode error;
  co_await asio::async_read(socket, asio::buffer(bytes), Into(error));
  if (error) co_return std::nullopt;
  co_return bytes;
}

Task<Step> HttpConnect(tcp::socket& socket, const ProxyAddress& proxy,
                       const Destination& destination, std::string& early) {
  if (!co_await Send(socket, ConnectRequest(destination, proxy.login))) co_return Failed{};
  std::string head;
  ErrorCode error;
  const std::size_t size = co_await asio::async_read_until(
      socket, asio::dynamic_buffer(head, kMostReplyHead), "\r\n\r\n", Into(error));
  if (error) co_return Failed{};
  const std::optional<int> status = ReplyStatus(head);
  if (!status) co_return Failed{};
  if (*status < 200 || *status > 299) co_return Failed{UpstreamFailure::kProxySaid, *status};
  early = head.substr(size);
  co_return std::nullopt;
}

Task<Step> Socks4(tcp::socket& socket, tcp::resolver& resolver, const ProxyAddress& proxy,
                  const Destination& destination) {
  std::string address;  // empty: the name goes to the upstream (SOCKS4a)
  const std::optional<asio::ip::address> literal = LiteralOf(destination.host);
  if (literal || proxy.scheme == ProxyScheme::kSocks4) {
    const std::optional<asio::ip::address> found = co_await Lookup(resolver, destination.host, true);
    if (!found) co_return Failed{};
    const auto bytes = found->to_v4().to_bytes();
    address.assign(bytes.begin(), bytes.end());
  }
  if (!co_await Send(socket, Socks4Request(destination, address, proxy.login.user))) {
    co_return Failed{};
  }
  const std::optional<std::string> reply = co_await Receive(socket, 8);
  if (!reply || (*reply)[0] != 0) co_return Failed{};
  // 0x5b: "rejected or failed", what a SOCKS4 server says when the destination does not answer.
  if ((*reply)[1] == 0x5b) co_return kSiteUnreachable;
  if ((*reply)[1] != 0x5a) co_return Failed{};
  co_return std::nullopt;
}

Task<Step> Socks5(tcp::socket& socket, tcp::resolver& resolver, const ProxyAddress& proxy,
                  Destination destination) {
  if (proxy.scheme == ProxyScheme::kSocks5 && !LiteralOf(destination.host)) {
    const std::optional<asio::ip::address> found =
        co_await Lookup(resolver, destination.host, false);
    if (!found) co_return Failed{};
    destination.host = found->to_string();
  }
  const bool with_login = !proxy.login.Empty();
  if (!co_await Send(socket, Socks5Greeting(with_login))) co_return Failed{};
  const std::optional<std::string> chosen = co_await Receive(socket, 2);
  if (!chosen || (*chosen)[0] != 5) co_return Failed{};
  if ((*chosen)[1] == 2 && with_login) {
    const std::optional<std::string> request = Socks5LoginRequest(proxy.login);
    if (!request) co_return Failed{};
    if (!co_await Send(socket, *request)) co_return Failed{};
    const std::optional<std::string> answer = co_await Receive(socket, 2);
    if (!answer || (*answer)[1] != 0) co_return Failed{};
  } else if ((*chosen)[1] != 0) {
    co_return Failed{};
  }
  const std::optional<std::string> request = Socks5ConnectRequest(destination);
  if (!request) co_return Failed{};
  if (!co_await Send(socket, *request)) co_return Failed{};
  const std::optional<std::string> reply = co_await Receive(socket, 5);
  if (!reply || (*reply)[0] != 5) co_return Failed{};
  // Network or host unreachable, refused by the destination, its time ran out.
  if ((*reply)[1] >= 3 && (*reply)[1] <= 6) co_return kSiteUnreachable;
  if ((*reply)[1] != 0) co_return Failed{};
  // The bound address: IPv4, IPv6, or a name whose length came as the fifth byte; then a port.
  std::size_t rest = 0;
  switch ((*reply)[3]) {
    case 1:
      rest = 4 - 1 + 2;
      break;
    case 4:
      rest = 16 - 1 + 2;
      break;
    case 3:
      rest = static_cast<unsigned char>((*reply)[4]) + 2;
      break;
    default:
      co_return Failed{};
  }
  if (!co_await Receive(socket, rest)) co_return Failed{};
  co_return std::nullopt;
}

}  // namespace

Task<DialResult> DialUpstream(const ProxyAddress& proxy, const Destination& destination,
                              bool tunnel, std::chrono::steady_clock::duration limit) {
  const asio::any_io_executor executor = co_await asio::this_coro::executor;
  DialResult result;
  tcp::socket socket(executor);
  tcp::resolver resolver(executor);
  Deadline deadline(executor, limit, [&socket, &resolver] {
    ErrorCode ignored;
    resolver.cancel();
    socket.close(ignored);
  });
  // Fills in why it failed. The result is then returned by name: GCC 12 garbles a result
  // returned from a call in a co_return (UndefinedBehaviorSanitizer saw its bool as 32).
  const auto fail = [&](Failed why) {
    result.failure = deadline.Passed() ? UpstreamFailure::kTimeout : why.failure;
    result.http_status = why.status;
    result.site_unreachable = why.site && !deadline.Passed();
  };

  ErrorCode error;
  const tcp::resolver::results_type endpoints = co_await resolver.async_resolve(
      proxy.host, std::to_string(proxy.port), Into(error));
  if (!error) co_await asio::async_connect(socket, endpoints, Into(error));
  if (error) {
    fail(Failed{UpstreamFailure::kRefused});
    co_return std::move(result);
  }
  socket.set_option(tcp::no_delay(true), error);

  Step step;
  if (tunnel) {
    switch (proxy.scheme) {
      case ProxyScheme::kHttp:
        step = co_await HttpConnect(socket, proxy, destination, result.early);
        break;
      case ProxyScheme::kSocks4:
      case ProxyScheme::kSocks4a:
        step = co_await Socks4(socket, resolver, proxy, destination);
        break;
      case ProxyScheme::kSocks5:
      case ProxyScheme::kSocks5h:
        step = co_await Socks5(socket, resolver, proxy, destination);
        break;
    }
  }
  if (step || deadline.Passed()) {
    fail(step.value_or(Failed{}));
    co_return std::move(result);
  }
  deadline.Disarm();
  result.socket.emplace(std::move(socket));
  co_return result;
}

}  // namespace lumvex::gateway
