// Where a downloaded new version goes: a file in the run directory named after the new version's
// title, made safe so that no title can lead outside that directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumvex::update {

// The title as a file name: path separators, control characters and ".." removed, leading dots
// and spaces stripped, cut to at most 200 bytes at a character boundary. Empty when nothing
// usable is left.
std::string SafeFileNameOf(std::string_view title);

// run_directory + "/" + SafeFileNameOf(title) + suffix; nullopt when the safe name is empty.
std::optional<std::string> DownloadTargetPath(std::string_view run_directory,
                                              std::string_view title,
                                              std::string_view executable_suffix);

// Only http:// and https:// addresses with a host and without spaces or control characters.
bool IsDownloadAddressAllowed(std::string_view address);

}  // namespace lumvex::update
