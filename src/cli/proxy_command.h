// `lumvexip proxy set HOST:PORT | off | status`: the system proxy switch without a window.
#pragma once

#include <string>
#include <vector>

namespace lumvex::cli {

// `args` follow the subcommand's name. Exit status 0 on success, 1 when the store refused or no
// store exists, 2 on bad usage.
int RunProxyCommand(const std::vector<std::string>& args);

}  // namespace lumvex::cli
