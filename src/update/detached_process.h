// Starting the new version of the program: a process of its own that outlives this one.
#pragma once

#include <string>
#include <vector>

namespace lumvex::update {

// Starts `path` with `arguments` (argv[1...]) in a session of its own, without waiting for it.
// False when it could not be started.
bool StartDetached(const std::string& path, const std::vector<std::string>& arguments);

// The running program's own arguments after argv[0] (from /proc/self/cmdline), so that the new
// version starts the way this one was started (same data directory, same addresses).
std::vector<std::string> OwnArguments();

}  // namespace lumvex::update
