// The line forms accepted by import and paste, and the export text. One proxy per line:
//   address:port                      one row
//   address:port@type#location        one row with the location in column 4
//   address:port@type;location        two rows, the second with the location in column 4
// Nothing is trimmed or validated; the type text is dropped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "proxylist/proxy_entry.h"

namespace lumvex {

// The zero, one or two rows one line gives, in the order they are appended.
std::vector<ProxyEntry> ParseProxyLine(std::string_view line);

// The rows of a whole text, line after line. Lines end in "\r\n" or in a bare "\n" (files and
// clipboards written on Linux); a "\r" before the "\n" never reaches a cell.
std::vector<ProxyEntry> ParseProxyLines(std::string_view text);

// The lines of `text` as ParseProxyLines cuts them.
std::vector<std::string_view> ImportLines(std::string_view text);

// Column 0 + ":" + column 1 of every row, joined by "\r\n", without a line end after the last.
std::string ExportText(const std::vector<ProxyEntry>& rows);

// Bytes of an import file or a downloaded list as text: GBK by default; UTF-8 when they start
// with a UTF-8 byte-order mark (which is dropped) and the rest is valid UTF-8, or when they are
// not valid GBK but are valid UTF-8. Anything else decodes as GBK with U+FFFD for bad bytes.
std::string DecodeImportBytes(std::string_view bytes);

// Whether every byte sequence is a character of the encoding.
bool IsValidUtf8(std::string_view bytes);
bool IsValidGbk(std::string_view bytes);

}  // namespace lumvex
