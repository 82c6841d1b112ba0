// The command line as the program gets it, for tests of option parsing: "lumvexip" and `args`.
#pragma once

#include <vector>

#include "config/command_line.h"

namespace lumvex::testing {

inline CommandLineOptions ParseArgs(std::vector<const char*> args) {
  args.insert(args.begin(), "lumvexip");
  return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

}  // namespace lumvex::testing
