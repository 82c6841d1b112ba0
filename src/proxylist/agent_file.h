// The list file "The agent" in the data directory: the rows of the proxy list as GBK text, one
// line per row, lines joined by "\r\n" with none after the last, the six cells of a line joined
// by " | ".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "proxylist/proxy_entry.h"
#include "proxylist/proxy_list.h"

namespace lumvex {

inline constexpr std::string_view kAgentFileName = "The agent";

// The file's bytes for these rows (GBK; characters GBK cannot hold become "?").
std::string FormatAgentText(const std::vector<ProxyEntry>& rows);

// The rows of the file's bytes. Lines are cut at "\r\n" and cells at "|"; every cell is trimmed
// of ASCII and ideographic spaces. A line with fewer than two cells is skipped, one with two to
// five gets empty cells for the missing ones, cells after the sixth are dropped. Bytes that are
// not GBK read as U+FFFD and do not end the file.
std::vector<ProxyEntry> ParseAgentText(std::string_view gbk_bytes);

// The file's path inside `data_dir`.
std::string AgentFilePath(const std::string& data_dir);

// Writes the list to the file, replacing it atomically. An empty list writes nothing, so the
// previous file stays. True only when the file was written.
bool SaveAgentFile(const ProxyList& list, const std::string& data_dir);

// The rows of the file, or nullopt when it is missing or unreadable. Touches no list, so it can
// run on another thread while the window is being built.
std::optional<std::vector<ProxyEntry>> ReadAgentFile(const std::string& data_dir);

// Empties the list, then adds `rows` in one step. False (list left empty) for nullopt.
bool FillFromAgentRows(ProxyList& list, std::optional<std::vector<ProxyEntry>> rows);

// Empties the list, then fills it from the file in one step. A missing or unreadable file
// leaves the list empty and returns false.
bool LoadAgentFile(ProxyList& list, const std::string& data_dir);

}  // namespace lumvex
