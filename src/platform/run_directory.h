// Where the running executable lives; the data directory sits beside it by default.
#pragma once

#include <string>

namespace lumvex {

// The directory of the running executable, without a trailing slash ("/" for an executable in
// the root). Falls back to "." when the executable's path cannot be found.
std::string RunDirectory();

// The directory part of an executable path as RunDirectory() derives it; exposed so the rules for
// unusual paths can be checked without moving the executable.
std::string ExecutableDirectoryOf(const std::string& executable_path);

}  // namespace lumvex
