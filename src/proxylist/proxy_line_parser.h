// The line forms accepted by import, paste, `check`, `proxy guard` and the import from a web
// address, and the export text. One proxy per line:
//   address:port                      one row
//   address:port@type#location        one row with the location in column 4
//   address:port@type;location        two rows, the second with the location in column 4
// The address is a host name or IPv4 address, or an IPv6 address in brackets, as
// text::IsProxyHost judges it before anything is looked up; the port is a decimal number from 1
// to 65535. The type text is dropped. A login may stand in front of the address,
// "user:password@address:port": it stays with the address in column 0, so the row's
// "address:port" is the line as given.
// A line may start with the proxy's scheme (any letter case): "http://" (the same as none) or a
// SOCKS scheme of the scheme table (net/proxy_scheme.h). A SOCKS scheme stays in front of the
// address in column 0, in lower case, and column 2 shows "SOCKS4" or "SOCKS5"; a line with any
// other scheme gives no row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "proxylist/compact_row.h"
#include "proxylist/proxy_entry.h"

namespace lumvex {

// The zero, one or two rows one line of text gives, in the order they are appended. Spaces,
// tabs and ideographic spaces around the line, the address and the port are dropped; the port
// ends at the first space, tab, "@", "#" or ";". A line whose address or port is not one gives
// no row.
std::vector<ProxyEntry> ParseProxyLine(std::string_view line);

// The rows of a whole text (UTF-8), line after line, as ReadAddressLines cuts it.
std::vector<ProxyEntry> ParseProxyLines(std::string_view text);

// Column 0 + ":" + column 1 of every row, joined by "\r\n", without a line end after the last.
// Takes the list's own rows, read in place (ProxyList::ReadRows) instead of copied.
std::string ExportText(const std::vector<CompactRow>& rows);

// Bytes of an import file or a downloaded list as text, by text::DecodeGbkOrUtf8.
std::string DecodeImportBytes(std::string_view bytes);

// Whether every byte sequence is a character of the encoding.
bool IsValidUtf8(std::string_view bytes);
bool IsValidGbk(std::string_view bytes);

}  // namespace lumvex
