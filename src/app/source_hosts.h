// The server of each registered harvest source, from the endpoints (--source-a, -b, -c).
#pragma once

#include <string>
#include <string_view>

#include "app/endpoints.h"

namespace lumvex {

// The host[:port] of the source registered as `name`; empty for a name without a server.
std::string SourceHost(const Endpoints& endpoints, std::string_view name);

}  // namespace lumvex
