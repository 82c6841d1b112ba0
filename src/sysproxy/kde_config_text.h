// Edits of KDE configuration file text (kioslaverc and its kind) in place: "[Group]" headers and
// "key=value" lines. Every line the edit does not concern stays byte for byte as it was, comments
// and other groups included. Unlike the private-profile files, names are case-sensitive, and a
// group may appear more than once (the later line wins, as KDE reads it).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lumvex {

// The value of `key` in `group` (the last one when repeated), without surrounding spaces, or
// nullopt when absent. Keys with a locale or flag suffix ("key[de]", "key[$e]") are other keys.
std::optional<std::string> FindKdeConfigValue(std::string_view text, std::string_view group,
                                              std::string_view key);

// `text` with each key of `values` set in `group`: an existing key line is replaced where it
// stands (every occurrence), a new key is added after the last line of the group's last block,
// a missing group is appended at the end. New lines use the file's own line end ("\n" when it
// has none yet). Values must not contain line breaks (they are replaced by spaces).
std::string SetKdeConfigValues(std::string_view text, std::string_view group,
                               const std::map<std::string, std::string>& values);

}  // namespace lumvex
