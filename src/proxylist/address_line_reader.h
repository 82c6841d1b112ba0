// The one reader of address lines, shared by `check`, `proxy guard`, import, paste and the import
// from a web address. Input is read as a stream in pieces, so memory follows the number of rows
// kept, not the size of the input: a file of gigabytes without a line end, or /dev/zero, ends
// quickly with a clear result instead of exhausting memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "proxylist/proxy_entry.h"

namespace lumvex {

// Cuts a stream into lines: "\r\n", "\n" and "\r" each end one; a UTF-8 byte-order mark before
// the first line is dropped; a line longer than kMaxLineBytes is skipped (counted, never kept
// whole); a NUL byte ends the input, since no text list holds one.
class AddressLineReader {
 public:
  static constexpr std::size_t kMaxLineBytes = 4096;

  explicit AddressLineReader(std::istream& in) : in_(in) {}

  // The next line without its end, as raw bytes. False at the end of the input, at a NUL byte
  // or when reading fails. A skipped long line moves LineNumber on without being returned.
  bool Next(std::string& line);
  // The number of the line last returned (or skipped), from 1.
  std::size_t LineNumber() const { return line_number_; }
  // Numbers of the lines skipped for their length, in order.
  const std::vector<std::size_t>& LongLines() const { return long_lines_; }
  bool StoppedAtNul() const { return stopped_at_nul_; }
  bool ReadFailed() const { return read_failed_; }

 private:
  bool Fill();
  // One line up to its end, kept to kMaxLineBytes + 1 bytes; false when none is left.
  bool ReadLine(std::string& line, bool& too_long);

  std::istream& in_;
  std::vector<char> buffer_ = std::vector<char>(64 * 1024);
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool skip_lf_ = false;  // the last line ended in "\r": a "\n" right after belongs to it
  std::size_t line_number_ = 0;
  std::vector<std::size_t> long_lines_;
  bool stopped_at_nul_ = false;
  bool read_failed_ = false;
};

// How the bytes of a line become text.
enum class LineEncoding {
  kGbk,
  kUtf8,
  kEachLine,  // per line: UTF-8 when the line looks like UTF-8, else GBK
};

enum class SkipReason { kNotAnAddress, kTooLong };

struct AddressReadSummary {
  std::size_t lines = 0;    // lines read, skipped ones included
  std::size_t skipped = 0;  // non-blank lines that gave no row
  bool stopped_at_nul = false;
  bool read_failed = false;
};

// Receives the rows of one line (false stops the reading).
using RowSink = std::function<bool(std::vector<ProxyEntry>&& rows)>;
// Told of every non-blank line that gives no row; may be empty.
using SkipSink =
    std::function<void(std::size_t line_number, SkipReason reason, std::string_view line)>;

// Reads `in` to its end and parses every line with ParseProxyLine.
AddressReadSummary ReadAddressLines(std::istream& in, LineEncoding encoding, const RowSink& on_rows,
                                    const SkipSink& on_skip = {});
// The same over bytes in memory.
AddressReadSummary ReadAddressLines(std::string_view bytes, LineEncoding encoding,
                                    const RowSink& on_rows, const SkipSink& on_skip = {});

// Whether the text of `in` (up to its end or a NUL byte) is UTF-8 by the rule of
// text::LooksLikeUtf8; the stream is rewound to its start. nullopt when it cannot be rewound (a
// pipe), for the caller to decide line by line.
std::optional<bool> SniffUtf8(std::istream& in);

}  // namespace lumvex
