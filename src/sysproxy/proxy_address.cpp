#include "sysproxy/proxy_address.h"

namespace lumvex {

std::string DesktopProxyText(const SystemProxySetting& setting) {
  const std::string host_port =
      ProxyAddress{ProxyScheme::kHttp, setting.host, setting.port}.HostPort();
  return setting.socks ? "socks://" + host_port : host_port;
}

std::string CaptionAddress(std::string_view caption) {
  return std::string(caption.substr(0, caption.find(" | ")));
}

std::string IeProxyCaption(std::string_view address, std::string_view location) {
  const std::size_t start = location.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::string(address);
  const std::string_view rest = location.substr(start);
  return std::string(address) + " | " + std::string(rest.substr(0, rest.find(' ')));
}

}  // namespace lumvex
