// Executables an earlier update left in the run directory, and their removal at start-up.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

#ifdef _WIN32
inline constexpr std::string_view kExecutableSuffix = ".exe";
#else
inline constexpr std::string_view kExecutableSuffix = "";
#endif

// File names (with the platform's executable suffix) of the executables of earlier versions.
std::vector<std::string> LeftoverExecutableNames();

// Deletes each leftover that exists in `run_directory`, except a file that is the running
// executable itself (same file by device and inode, or by real path). `running_executable` is
// normally "/proc/self/exe". Failures are silent. Returns how many files were removed.
int RemoveLeftoverExecutables(const std::string& run_directory,
                              const std::string& running_executable);

}  // namespace lumvex
