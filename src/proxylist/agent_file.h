// The list file (DataFile::kProxyList) in the data directory: the rows of the proxy list as GBK
// text, one line per row, lines joined by "\r\n" with none after the last, the six cells of a line
// joined by " | ". Characters GBK cannot hold are written as GB18030 sequences; the file is
// never written with a byte-order mark.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "proxylist/compact_row.h"
#include "proxylist/proxy_entry.h"
#include "proxylist/proxy_list.h"
#include "settings/data_dir.h"

namespace lumvex {

// The file's bytes for these rows.
std::string FormatAgentText(const std::vector<ProxyEntry>& rows);
std::string FormatAgentText(const std::vector<CompactRow>& rows);

// What the file holds.
struct AgentFileContent {
  // Built as the list keeps them, so a long list never exists as ProxyEntry rows.
  std::vector<CompactRow> rows;
  std::size_t unread_lines = 0;  // non-blank lines that gave no row
  std::string unread_copy;       // name of the copy kept of a file with unread lines, or empty
  bool read_as_utf8 = false;     // the bytes were read as UTF-8, not GBK
  // Name of the copy kept of a file read as UTF-8 that GBK could have read too, or empty; and
  // whether making that copy failed.
  std::string utf8_copy;
  bool utf8_copy_failed = false;
};

// The rows of the file's bytes. Lines end at "\r\n", "\n" or "\r"; cells are cut at "|" and
// trimmed of ASCII and ideographic spaces. A line with fewer than two cells is skipped (counted
// unless blank), one with two to five gets empty cells for the missing ones, cells after the
// sixth are dropped. The bytes are GBK unless text::LooksLikeUtf8 reads them as UTF-8 (a
// byte-order mark is dropped); bytes that cannot be read become U+FFFD and do not end the file.
AgentFileContent ParseAgentFile(std::string_view bytes);
std::vector<ProxyEntry> ParseAgentText(std::string_view bytes);

// The name of the copy (DataFile::kUnreadListCopy: "The agent.unread-YYYYMMDD-HHMMSS") for
// that local time.
std::string UnreadCopyName(const std::tm& local);
// The same for the copy of a file read as UTF-8 (DataFile::kUtf8ListCopy:
// "The agent.utf8-YYYYMMDD-HHMMSS").
std::string Utf8CopyName(const std::tm& local);

// The file's path inside `data_dir`.
std::string AgentFilePath(const DataDir& data_dir);

// Writes the list to the file, replacing it atomically. An empty list writes nothing, so the
// previous file stays. True only when the file was written.
bool SaveAgentFile(const ProxyList& list, const DataDir& data_dir);

// The file's content, or nullopt when it is missing or unreadable. When lines could not be read,
// the file is first copied as it is to UnreadCopyName (now) in the same directory, since the
// next save keeps only the rows; when it was read as UTF-8 but is valid GBK too, to Utf8CopyName
// (now), since the next save writes GBK from what may have been a wrong reading. Touches no list,
// so it can run on another thread while the window is being built.
std::optional<AgentFileContent> ReadAgentFile(const DataDir& data_dir);

// Empties the list, then adds the rows in one step. False (list left empty) for nullopt.
bool FillFromAgentRows(ProxyList& list, std::optional<AgentFileContent> content);

// Empties the list, then fills it from the file in one step. A missing or unreadable file
// leaves the list empty and returns false.
bool LoadAgentFile(ProxyList& list, const DataDir& data_dir);

}  // namespace lumvex
