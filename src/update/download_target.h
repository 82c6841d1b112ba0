// Where a downloaded new version goes: a file in a folder of its own ("updates" in the data
// directory) named after the new version's title, made safe so that no title can lead outside
// that folder, and never the name of a file that is already there.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lumvex::update {

// The title as a file name: path separators, control characters and ".." removed, leading dots
// and spaces stripped, cut to at most 200 bytes at a character boundary. Empty when nothing
// usable is left.
std::string SafeFileNameOf(std::string_view title);

// directory + "/" + SafeFileNameOf(title) + suffix; nullopt when the safe name is empty.
std::optional<std::string> DownloadTargetPath(std::string_view directory, std::string_view title,
                                              std::string_view executable_suffix);

// `path` when `taken` says no file has that name, else the first of "NAME (2)SUFFIX",
// "NAME (3)SUFFIX", ... that is free (the suffix kept at the end); nullopt when the first hundred
// are all taken. A download never replaces a file, not even an earlier download.
std::optional<std::string> FreeTargetPath(const std::string& path,
                                          std::string_view executable_suffix,
                                          const std::function<bool(const std::string&)>& taken);

// FreeTargetPath against the file system: any entry counts as taken, a dangling link too.
std::optional<std::string> FreeTargetPath(const std::string& path,
                                          std::string_view executable_suffix);

// Both paths name one file (the same device and inode, as a second name or a link to it would);
// false when either does not exist. The download never goes to the running program.
bool IsSameFile(const std::string& a, const std::string& b);

// Creates the download folder (and its parents) when missing; true when it exists afterwards.
bool EnsureDownloadFolder(const std::string& folder);

// Only http:// and https:// addresses with a host and without spaces or control characters.
bool IsDownloadAddressAllowed(std::string_view address);

}  // namespace lumvex::update
