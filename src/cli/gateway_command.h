// `lumvexip gateway [LIST|-] --listen HOST:PORT ...`: checks every row of a list and relays
// clients through those that pass, on a local HTTP (and SOCKS5) proxy port, until SIGINT or
// SIGTERM.
#pragma once

#include <string>
#include <vector>

namespace lumvex::cli {

// Each passing row becomes an upstream as soon as its verdict comes; one line on stderr per
// event (listening, upstream up, upstream down with the reason, up again). Upstreams marked
// down are checked again every kRecheckSeconds and taken back when they pass. Returns 0 after a
// signal, 1 when it cannot listen or no row passed, 2 on bad usage.
int GatewayMain(const std::vector<std::string>& args);

}  // namespace lumvex::cli
