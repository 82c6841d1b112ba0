#include "app/source_hosts.h"

namespace lumvex {

std::string SourceHost(const Endpoints& endpoints, std::string_view name) {
  if (name == "a") return endpoints.source_a_host;
  if (name == "b") return endpoints.source_b_host;
  if (name == "c") return endpoints.source_c_host;
  return {};
}

}  // namespace lumvex
