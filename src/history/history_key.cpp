#include "history/history_key.h"

#include <optional>

#include "net/proxy_address.h"
#include "net/proxy_scheme.h"
#include "text/text_util.h"

namespace lumvex {

std::string HistoryKey(std::string_view address) {
  if (IsHistoryKey(address)) return std::string(address);
  const std::optional<ProxyAddress> parsed = ParseProxyAddress(address);
  if (!parsed) return std::string(address);
  ProxyAddress key = *parsed;
  key.host = text::ToLowerAscii(key.host);
  return std::string(SchemeAddressPrefix(key.scheme)) + key.HostPort();
}

bool IsHistoryKey(std::string_view address) {
  // Only these change an address when it is written as a key: capital letters (scheme, host),
  // a login, "http://", a port with a leading zero. Text that is no address stays as it is.
  if (address.starts_with("http://")) return false;
  for (const char c : address) {
    if (c == '@' || (c >= 'A' && c <= 'Z')) return false;
  }
  const std::size_t colon = address.rfind(':');
  return colon == std::string_view::npos || colon + 1 >= address.size() || address[colon + 1] != '0';
}

}  // namespace lumvex
