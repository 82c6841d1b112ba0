#include "text/proxy_host.h"

#include <arpa/inet.h>

#include <algorithm>

namespace lumvex::text {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsIpv4Address(std::string_view host) {
  int parts = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = std::min(host.find('.', start), host.size());
    const std::string_view part = host.substr(start, dot - start);
    if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), IsDigit)) {
      return false;
    }
    int value = 0;
    for (char c : part) value = value * 10 + (c - '0');
    if (value > 255 || ++parts > 4) return false;
    if (dot == host.size()) return parts == 4;
    start = dot + 1;
  }
}

bool IsDnsName(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  bool letter = false;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = std::min(host.find('.', start), host.size());
    const std::string_view label = host.substr(start, dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
      return false;
    }
    for (char c : label) {
      if (IsLetter(c)) {
        letter = true;
      } else if (!IsDigit(c) && c != '-') {
        return false;
      }
    }
    if (dot == host.size()) return letter;
    start = dot + 1;
  }
}

// A login byte: anything printable but a blank, '@' (which ends the login) and '|' (which cuts
// the cells of the list file, where the login stays with its row).
bool IsLoginByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte > 0x20 && byte != 0x7F && c != '@' && c != '|';
}

// Bytes of a "scheme://" at the start of `address`: letters and digits, then "://".
std::size_t SchemeLength(std::string_view address) {
  const std::size_t end =
      address.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  if (end == std::string_view::npos || end == 0 || address.substr(end, 3) != "://") return 0;
  return end + 3;
}

}  // namespace

bool IsIpv6Address(std::string_view host) {
  // inet_pton refuses zone suffixes ("%eth0"), which neither a proxy URL nor a desktop proxy
  // setting can carry.
  if (host.empty() || host.size() >= INET6_ADDRSTRLEN) return false;
  in6_addr parsed;
  return inet_pton(AF_INET6, std::string(host).c_str(), &parsed) == 1;
}

bool IsProxyHost(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    return IsIpv6Address(host.substr(1, host.size() - 2));
  }
  // Digits and dots alone are an IPv4 address or nothing: never a name to look up.
  if (host.find_first_not_of("0123456789.") == std::string_view::npos) return IsIpv4Address(host);
  return IsDnsName(host);
}

std::optional<LoginPrefix> ReadLoginPrefix(std::string_view text) {
  const std::size_t at = text.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view login = text.substr(0, at);
  const std::size_t colon = login.find(':');
  if (colon == 0 || colon == std::string_view::npos ||
      !std::all_of(login.begin(), login.end(), IsLoginByte)) {
    return std::nullopt;
  }
  return LoginPrefix{{std::string(login.substr(0, colon)), std::string(login.substr(colon + 1))},
                     at + 1};
}

std::string MaskPassword(std::string_view address) {
  const std::size_t scheme = SchemeLength(address);
  const std::optional<LoginPrefix> prefix = ReadLoginPrefix(address.substr(scheme));
  if (!prefix) return std::string(address);
  return std::string(address.substr(0, scheme)) + prefix->login.user + ":***@" +
         std::string(address.substr(scheme + prefix->length));
}

std::string WithoutLogin(std::string_view address, ProxyLogin* login) {
  const std::size_t scheme = SchemeLength(address);
  const std::optional<LoginPrefix> prefix = ReadLoginPrefix(address.substr(scheme));
  if (login != nullptr) *login = prefix ? prefix->login : ProxyLogin{};
  if (!prefix) return std::string(address);
  return std::string(address.substr(0, scheme)) +
         std::string(address.substr(scheme + prefix->length));
}

}  // namespace lumvex::text
