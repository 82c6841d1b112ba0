// The judge's log: one line per answered request, for standard error (a systemd journal keeps
// it). Everything a client chose is escaped, so a log line never steers the terminal that shows
// it and never spans two lines.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace lumvex::judge {

// "2026-12-08T13:05:09Z 127.0.0.1 GET /path?q 200 312\n": the time (ISO 8601, UTC, seconds),
// the client, the method ("-" when the request line could not be read), the target escaped and
// cut to at most 200 bytes without splitting a character or an escape ("-" when unknown), the
// status and the bytes sent.
std::string LogLine(std::chrono::system_clock::time_point when, std::string_view client,
                    std::string_view method, std::string_view target, int status,
                    std::size_t bytes);

// `text` escaped as the log writes it (C0 controls, DEL and bytes outside UTF-8 as \xHH, C1
// controls as \u00HH, the bidirectional controls U+202A-U+202E and U+2066-U+2069 as \uHHHH, a
// backslash doubled), cut to at most `limit` bytes at a character's end.
std::string EscapedCut(std::string_view text, std::size_t limit);

// `text` escaped as EscapedCut does, whole: for any text a client or a user chose, before it
// reaches a terminal.
std::string EscapeForTerminal(std::string_view text);

}  // namespace lumvex::judge
