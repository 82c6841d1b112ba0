// Every address the program talks to, as one value with compiled-in defaults that the command
// line can override (tests and the demo point them at loopback servers).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "validate/proxy_check.h"

namespace lumvex {

struct Endpoints {
  // The server of every registered proxy-list source, by its name in the registry ("a"): host
  // or host:port without a scheme; the sources put "http://" in front.
  std::map<std::string, std::string, std::less<>> source_hosts;
  // The validation target: host (host[:port]) and what is asked of it.
  std::string validation_host;
  ValidationPath validation_path;
  // Host fetched through the active proxy to test it, without a scheme.
  std::string connectivity_host;
  // Full address of the update manifest page.
  std::string manifest_url;
  // Full address of the file-sharing page opened by the update window's "网盘更新".
  std::string file_share_url;

  friend bool operator==(const Endpoints&, const Endpoints&) = default;
};

// The compiled-in defaults. The validation and connectivity hosts are real, long-lived hosts
// (example.com, www.example.com); the other services are placeholders under example.com, since
// they are not ours to name.
Endpoints DefaultEndpoints();

// The server of the source registered as `name`; empty for a name without one.
std::string SourceHost(const Endpoints& endpoints, std::string_view name);

// The host[:port] of an address given as "http://host:port/...", "host:port" or "host"; nullopt
// when there is no host, the scheme is not http, or the text holds spaces or control characters.
std::optional<std::string> HostOfAddress(std::string_view address);

// Where the checks of `endpoints` go, each with the deadline `timeout_s`.
CheckTarget CheckTargetOf(const Endpoints& endpoints, double timeout_s);

}  // namespace lumvex
