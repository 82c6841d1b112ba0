#include "config/endpoints.h"

#include "acquire/source_registry.h"
#include "text/text_util.h"

namespace lumvex {

Endpoints DefaultEndpoints() {
  Endpoints endpoints;
  for (const SourceInfo& source : RegisteredSources()) {
    endpoints.source_hosts.emplace(source.name, source.default_host);
  }
  // Checks need a real host that answers plain http with a 2xx page: the IANA-run example
  // domains answer their home page so (other paths get 404), and are reserved to stay (RFC 2606).
  endpoints.validation_host = "example.com";
  endpoints.connectivity_host = "www.example.com";
  endpoints.manifest_url = "http://blog.example.com/lumvexip/update.html";
  endpoints.file_share_url = "http://files.example.com/lumvexip/";
  return endpoints;
}

std::string SourceHost(const Endpoints& endpoints, std::string_view name) {
  const auto it = endpoints.source_hosts.find(name);
  return it == endpoints.source_hosts.end() ? std::string() : it->second;
}

std::optional<std::string> HostOfAddress(std::string_view address) {
  for (char c : address) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return std::nullopt;
  }
  const std::size_t scheme_end = address.find("://");
  if (scheme_end != std::string_view::npos) {
    if (text::ToLowerAscii(address.substr(0, scheme_end)) != "http") return std::nullopt;
    address.remove_prefix(scheme_end + 3);
  }
  const std::size_t path_start = address.find_first_of("/?#");
  const std::string_view host = address.substr(0, path_start);
  // A user-info part would make the "host" point somewhere else than it reads.
  if (host.empty() || host.find('@') != std::string_view::npos) return std::nullopt;
  const std::size_t colon = host.rfind(':');
  if (colon != std::string_view::npos) {
    const std::string_view name = host.substr(0, colon);
    const std::string_view port = host.substr(colon + 1);
    if (name.empty() || port.empty() || port.size() > 5) return std::nullopt;
    for (char c : port) {
      if (c < '0' || c > '9') return std::nullopt;
    }
    const int value = text::AtoI(port);
    if (value < 1 || value > 65535) return std::nullopt;
    if (name.find(':') != std::string_view::npos) return std::nullopt;
  }
  return std::string(host);
}

CheckTarget CheckTargetOf(const Endpoints& endpoints, double timeout_s) {
  CheckTarget target;
  target.validation_host = endpoints.validation_host;
  target.validation_path = endpoints.validation_path;
  target.connectivity_host = endpoints.connectivity_host;
  target.timeout_s = timeout_s;
  return target;
}

}  // namespace lumvex
