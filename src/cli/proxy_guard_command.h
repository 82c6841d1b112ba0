// `lumvexip proxy guard [FILE|-] [--interval S] [--check-timeout S]`: the proxy guard without a
// window, over a list of proxies in the import line format.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace lumvex::cli {

// `args` follow "guard". Exit status 0 when a signal (SIGTERM, SIGINT, SIGHUP) ended it, 1 when
// no proxy of the list was left or the store refused a switch, 2 on bad usage.
int RunProxyGuardCommand(const std::vector<std::string>& args, std::istream& in);

}  // namespace lumvex::cli
