#include "sysproxy/kde_proxy.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/file_io.h"
#include "sysproxy/kde_config_text.h"

namespace lumvex {
namespace {

constexpr std::string_view kGroup = "Proxy Settings";
constexpr std::string_view kManualType = "1";
constexpr std::string_view kNoProxyType = "0";

// PAC, WPAD and the environment's variables: set up by the user, never switched off here.
bool IsAutomaticType(std::string_view type) { return type == "2" || type == "3" || type == "4"; }

std::string ParentDirectory(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// "http://host port" (KDE's form) or "http://host:port", with or without the scheme; an IPv6 host
// in brackets ("http://[::1] 3128") comes back without them.
void ParseKdeAddress(std::string_view value, std::string& host, int& port) {
  if (const std::size_t scheme = value.find("://"); scheme != std::string_view::npos) {
    value.remove_prefix(scheme + 3);
  }
  // A login ("user:password@") stands before the host; it holds no '@' of its own, being
  // percent-encoded.
  if (const std::size_t at = value.find('@'); at != std::string_view::npos) {
    value.remove_prefix(at + 1);
  }
  // The colons of an IPv6 address are not the port's.
  const std::size_t close =
      !value.empty() && value.front() == '[' ? value.find(']') : std::string_view::npos;
  const std::size_t host_end = close == std::string_view::npos ? 0 : close;
  std::size_t cut = value.rfind(' ');
  if (cut == std::string_view::npos || cut < host_end) cut = value.rfind(':');
  if (cut != std::string_view::npos && cut < host_end) cut = std::string_view::npos;
  std::string_view port_text;
  if (cut != std::string_view::npos) {
    port_text = value.substr(cut + 1);
    value = value.substr(0, cut);
  }
  while (!value.empty() && value.back() == '/') value.remove_suffix(1);
  if (close != std::string_view::npos && close < value.size()) value = value.substr(1, close - 1);
  host = std::string(value);
  port = 0;
  std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
}

// KIO reads the address as a URL: a login's bytes other than letters, digits and "-._~" are
// percent-encoded, so a ':' or '@' in a password is not taken for URL syntax.
std::string UrlLogin(const text::ProxyLogin& login) {
  if (login.Empty()) return {};
  const auto encode = [](std::string_view part) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : part) {
      const auto byte = static_cast<unsigned char>(c);
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
          c == '.' || c == '_' || c == '~') {
        out += c;
      } else {
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
      }
    }
    return out;
  };
  return encode(login.user) + ":" + encode(login.password) + "@";
}

}  // namespace

std::string KioslavercPath(const std::function<const char*(const char*)>& getenv) {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/kioslaverc";
  const char* home = getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/kioslaverc";
  return {};
}

KdeProxy::KdeProxy(KdeProxyOptions options) : options_(std::move(options)) {}

bool KdeProxy::Available() const { return !options_.config_path.empty(); }

bool KdeProxy::Write(const std::map<std::string, std::string>& values) {
  if (options_.config_path.empty()) return false;
  std::string text;
  if (FileExists(options_.config_path)) {
    std::optional<std::string> old = ReadWholeFile(options_.config_path);
    if (!old) return false;  // never replace a file that could not be read
    text = std::move(*old);
  } else {
    const std::string dir = ParentDirectory(options_.config_path);
    if (!dir.empty() && !DirectoryExists(dir) && !EnsureDirectory(dir)) return false;
  }
  if (!WriteWholeFile(options_.config_path, SetKdeConfigValues(text, kGroup, values))) {
    return false;
  }
  if (options_.notify) options_.notify();
  return true;
}

bool KdeProxy::Enable(const std::string& host, int port, ProxyKind kind,
                      const text::ProxyLogin& login) {
  // KIO takes a URL: an IPv6 host goes in brackets. Every scheme gets this address or none (KDE's
  // settings module writes an unused one empty), so no address of an earlier proxy draws traffic.
  const std::string url_host = host.find(':') == std::string::npos ? host : "[" + host + "]";
  const std::string scheme = kind == ProxyKind::kSocks ? "socks://" : "http://";
  // KDE keeps an HTTP proxy's login in its address; for a SOCKS proxy's it has no place that
  // the desktop's programs agree on, and a SOCKS proxy set without it refuses every connection.
  if (!login.Empty() && kind == ProxyKind::kSocks) return false;
  const std::string address = scheme + UrlLogin(login) + url_host + " " + std::to_string(port);
  const std::map<std::string, std::string> values = {
      {"ProxyType", std::string(kManualType)},
      {"httpProxy", kind == ProxyKind::kSocks ? "" : address},
      {"httpsProxy", kind == ProxyKind::kHttpTunnel ? address : ""},
      {"socksProxy", kind == ProxyKind::kSocks ? address : ""}};
  return WriteManual(values, host, port);
}

bool KdeProxy::EnableGateway(const std::string& host, int http_port, int socks_port) {
  const std::string url_host = host.find(':') == std::string::npos ? host : "[" + host + "]";
  const std::string http = "http://" + url_host + " " + std::to_string(http_port);
  return WriteManual({{"ProxyType", std::string(kManualType)},
                      {"httpProxy", http},
                      {"httpsProxy", http},
                      {"socksProxy", "socks://" + url_host + " " + std::to_string(socks_port)}},
                     host, http_port);
}

bool KdeProxy::WriteManual(const std::map<std::string, std::string>& values,
                           const std::string& host, int port) {
  if (!Write(values)) return false;
  const std::optional<std::string> text = ReadWholeFile(options_.config_path);
  if (!text) return false;
  for (const auto& [key, value] : values) {
    if (FindKdeConfigValue(*text, kGroup, key).value_or("") != value) return false;
  }
  const SystemProxySetting now = Read();
  return now.enabled && now.host == host && now.port == port;
}

std::optional<std::string> KdeProxy::ProxyType() const {
  if (options_.config_path.empty()) return std::nullopt;
  const std::optional<std::string> text = ReadWholeFile(options_.config_path);
  if (!text) {
    // A missing file holds no proxy; anything else that cannot be read is an unknown state.
    struct stat st;
    if (stat(options_.config_path.c_str(), &st) != 0 && errno == ENOENT) return std::string();
    return std::nullopt;
  }
  return FindKdeConfigValue(*text, kGroup, "ProxyType").value_or("");
}

bool KdeProxy::DisableRestoring(const AutomaticModes& before) {
  const std::optional<std::string> type = ProxyType();
  if (!type) return false;
  if (*type != kManualType) return true;
  const auto kept = before.find(Name());
  const std::string target = kept != before.end() && IsAutomaticType(kept->second)
                                 ? kept->second
                                 : std::string(kNoProxyType);
  return Write({{"ProxyType", target}}) && ProxyType() == target;
}

AutomaticModes KdeProxy::ModesToRestore(const AutomaticModes& kept) const {
  const std::string type = ProxyType().value_or("");
  const auto entry = kept.find(Name());
  if (type == kManualType && entry != kept.end() && IsAutomaticType(entry->second)) return {*entry};
  if (IsAutomaticType(type)) return {{Name(), type}};
  return {};
}

SystemProxySetting KdeProxy::Read() const {
  SystemProxySetting setting;
  if (options_.config_path.empty()) return setting;
  const std::optional<std::string> text = ReadWholeFile(options_.config_path);
  if (!text) return setting;
  setting.enabled = FindKdeConfigValue(*text, kGroup, "ProxyType") == kManualType;
  // The http address when there is one; otherwise the SOCKS proxy's, which then takes everything.
  std::string address = FindKdeConfigValue(*text, kGroup, "httpProxy").value_or("");
  if (address.empty()) {
    std::string socks = FindKdeConfigValue(*text, kGroup, "socksProxy").value_or("");
    setting.socks = !socks.empty();
    if (setting.socks) address = std::move(socks);
  }
  if (!address.empty()) ParseKdeAddress(address, setting.host, setting.port);
  return setting;
}

}  // namespace lumvex
