// SHA-256 of a downloaded file, and the digest as the update manifest writes it: the check that
// a download over plain http is the file its maker published.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumvex::update {

// The manifest's value as 64 lower-case hex digits: spaces (ASCII and full-width) are dropped
// and letters folded; nullopt when anything else is left.
std::optional<std::string> ParseSha256(std::string_view value);

// The SHA-256 of the file's bytes as 64 lower-case hex digits; nullopt when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);

// The same of bytes in memory.
std::string Sha256Hex(std::string_view bytes);

}  // namespace lumvex::update
