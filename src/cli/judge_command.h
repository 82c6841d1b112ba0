// `lumvexip judge --listen ADDRESS:PORT`: the judge server in the foreground, its log on standard
// error, until SIGTERM or SIGINT.
#pragma once

#include <string>
#include <vector>

namespace lumvex::cli {

// Returns 0 after SIGTERM or SIGINT (or after --help), 1 when it cannot listen (the port in use,
// an address this host does not have), 2 on bad usage.
int JudgeMain(const std::vector<std::string>& args);

}  // namespace lumvex::cli
