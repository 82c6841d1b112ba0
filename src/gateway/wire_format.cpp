#include "gateway/wire_format.h"

#include <array>

// Only address parsing of Asio: no coroutine, so the file also builds for the fuzz targets.
#include <boost/asio/ip/address.hpp>
#include "text/text_util.h"

namespace lumvex::gateway {

namespace asio = boost::asio;
using ErrorCode = boost::system::error_code;
namespace {

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && text::StartsWith(a, b, true);
}

// The next line of `rest` without its CRLF (a bare LF also ends one); `rest` moves past it.
std::string_view NextLine(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::optional<std::uint16_t> PortOf(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

// No blanks, controls or bytes a host cannot hold.
bool PlainHost(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  for (const unsigned char c : host) {
    if (c <= ' ' || c >= 0x7f || c == '/' || c == '@' || c == '[' || c == ']') return false;
  }
  return true;
}

std::string PortBytes(std::uint16_t port) {
  return {static_cast<char>(port >> 8), static_cast<char>(port & 0xff)};
}

std::string BasicAuthorization(const text::ProxyLogin& login) {
  return "Proxy-Authorization: Basic " + Base64(login.user + ':' + login.password) + "\r\n";
}

}  // namespace

std::optional<RequestHead> ParseRequestHead(std::string_view head) {
  std::string_view rest = head;
  const std::string_view line = NextLine(rest);
  const std::size_t first = line.find(' ');
  const std::size_t last = line.rfind(' ');
  if (first == std::string_view::npos || first == last) return std::nullopt;
  RequestHead parsed;
  parsed.method = std::string(line.substr(0, first));
  parsed.target = std::string(line.substr(first + 1, last - first - 1));
  parsed.version = std::string(line.substr(last + 1));
  if (parsed.method.empty() || parsed.target.empty() || !parsed.version.starts_with("HTTP/1.")) {
    return std::nullopt;
  }
  while (!rest.empty()) {
    const std::string_view field = NextLine(rest);
    if (field.empty()) break;
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    parsed.fields.emplace_back(std::string(field.substr(0, colon)),
                               text::Trim(field.substr(colon + 1)));
  }
  return parsed;
}

std::optional<Destination> ParseAuthority(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::optional<std::uint16_t> port = PortOf(text.substr(colon + 1));
  std::string_view host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
    ErrorCode error;
    asio::ip::make_address_v6(std::string(host), error);
    if (error) return std::nullopt;
  } else if (host.find(':') != std::string_view::npos) {
    return std::nullopt;
  }
  if (!port || !PlainHost(host)) return std::nullopt;
  return Destination{std::string(host), *port};
}

std::optional<AbsoluteTarget> ParseAbsoluteTarget(std::string_view target) {
  constexpr std::string_view kScheme = "http://";
  if (!text::StartsWith(target, kScheme, true)) return std::nullopt;
  std::string_view rest = target.substr(kScheme.size());
  const std::size_t slash = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, slash);
  std::string path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
  if (path.front() != '/') path.insert(0, "/");
  if (const std::size_t hash = path.find('#'); hash != std::string::npos) path.resize(hash);
  if (authority.find('@') != std::string_view::npos) return std::nullopt;
  const bool bracketed = authority.starts_with('[');
  const std::size_t colon = authority.rfind(':');
  const bool has_port = colon != std::string_view::npos &&
                        (!bracketed || authority.find(']') < colon);
  std::optional<Destination> destination =
      ParseAuthority(has_port ? std::string(authority) : std::string(authority) + ":80");
  if (!destination) return std::nullopt;
  return AbsoluteTarget{std::move(*destination), std::move(path)};
}

std::optional<std::string> FieldOf(const RequestHead& head, std::string_view name) {
  for (const auto& [field, value] : head.fields) {
    if (SameWord(field, name)) return value;
  }
  return std::nullopt;
}

bool BodyBeyond(const RequestHead& head, std::size_t already) {
  if (const std::optional<std::string> coding = FieldOf(head, "Transfer-Encoding")) {
    return !coding->empty();
  }
  const std::optional<std::string> length = FieldOf(head, "Content-Length");
  if (!length || length->empty()) return false;
  // Anything but digits: treated as a body to come, so nothing waits on a reply for it.
  if (length->find_first_not_of("0123456789") != std::string::npos || length->size() > 18) {
    return true;
  }
  return std::stoull(*length) > already;
}

std::string ForwardedHead(const RequestHead& head, std::string_view target,
                          const text::ProxyLogin& login) {
  std::string out = head.method + ' ' + std::string(target) + ' ' + head.version + "\r\n";
  for (const auto& [field, value] : head.fields) {
    if (SameWord(field, "Connection") || SameWord(field, "Proxy-Connection") ||
        SameWord(field, "Keep-Alive") || SameWord(field, "Proxy-Authorization")) {
      continue;
    }
    out += field + ": " + value + "\r\n";
  }
  if (!login.Empty() && target.starts_with("http")) out += BasicAuthorization(login);
  out += "Connection: close\r\n\r\n";
  return out;
}

std::string ConnectRequest(const Destination& destination, const text::ProxyLogin& login) {
  const bool v6 = destination.host.find(':') != std::string::npos;
  const std::string authority = (v6 ? "[" + destination.host + "]" : destination.host) + ':' +
                                std::to_string(destination.port);
  std::string out = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
  if (!login.Empty()) out += BasicAuthorization(login);
  return out + "\r\n";
}

std::string Socks4Request(const Destination& destination, std::string_view address,
                           std::string_view user) {
  std::string out = "\x04\x01" + PortBytes(destination.port);
  // SOCKS4a: 0.0.0.1 says a name follows the user.
  out += address.size() == 4 ? std::string(address) : std::string("\0\0\0\x01", 4);
  out += std::string(user) + '\0';
  if (address.size() != 4) out += destination.host + '\0';
  return out;
}

std::string Socks5Greeting(bool with_login) {
  return with_login ? std::string("\x05\x02\x00\x02", 4) : std::string("\x05\x01\x00", 3);
}

std::optional<std::string> Socks5LoginRequest(const text::ProxyLogin& login) {
  if (login.user.size() > 255 || login.password.size() > 255) return std::nullopt;
  return "\x01" + std::string(1, static_cast<char>(login.user.size())) + login.user +
         std::string(1, static_cast<char>(login.password.size())) + login.password;
}

std::optional<std::string> Socks5ConnectRequest(const Destination& destination) {
  std::string out("\x05\x01\x00", 3);
  ErrorCode error;
  const asio::ip::address address = asio::ip::make_address(destination.host, error);
  if (!error && address.is_v4()) {
    const auto bytes = address.to_v4().to_bytes();
    out += '\x01' + std::string(bytes.begin(), bytes.end());
  } else if (!error && address.is_v6()) {
    const auto bytes = address.to_v6().to_bytes();
    out += '\x04' + std::string(bytes.begin(), bytes.end());
  } else {
    if (destination.host.empty() || destination.host.size() > 255) return std::nullopt;
    out += '\x03' + std::string(1, static_cast<char>(destination.host.size())) + destination.host;
  }
  return out + PortBytes(destination.port);
}

std::optional<int> ReplyStatus(std::string_view reply) {
  if (!reply.starts_with("HTTP/1.") || reply.size() < 12 || reply[8] != ' ') return std::nullopt;
  int status = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (reply[i] < '0' || reply[i] > '9') return std::nullopt;
    status = status * 10 + (reply[i] - '0');
  }
  return status;
}

bool LooksLikeProxyReply(std::string_view reply) {
  std::string_view rest = reply;
  NextLine(rest);
  while (!rest.empty()) {
    const std::string_view line = NextLine(rest);
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, colon);
    if (SameWord(name, "Proxy-Authenticate") || SameWord(name, "X-Squid-Error")) return true;
    if (!SameWord(name, "Server")) continue;
    const std::string_view value = line.substr(colon + 1);
    for (const std::string_view software : {"squid", "tinyproxy", "privoxy", "3proxy", "ccproxy",
                                            "polipo", "proxy"}) {
      if (text::Contains(value, software, true)) return true;
    }
  }
  return false;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 0x3f] : '=';
    }
  }
  return out;
}

}  // namespace lumvex::gateway
