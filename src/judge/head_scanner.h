// Finds where a request head ends while its bytes arrive, without reading any byte twice: a
// client that sends its head one byte at a time costs the judge one step per byte, not a scan of
// everything so far at every read.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace lumvex::judge {

class HeadScanner {
 public:
  // `received` is every byte of the connection so far (earlier calls saw a prefix of it). Returns
  // the length of the head, through its empty line, once that line has arrived. Empty lines
  // before the request line are skipped, as HTTP asks of servers.
  std::optional<std::size_t> Scan(std::string_view received);

  // Where the request line starts, and its length without the line end (a CR before the LF is
  // left in); nullopt until the line has ended.
  std::optional<std::size_t> request_line_start() const;
  std::optional<std::size_t> request_line_length() const;

 private:
  std::size_t scanned_ = 0;
  std::size_t line_start_ = 0;
  std::optional<std::size_t> first_start_;
  std::optional<std::size_t> first_length_;
};

}  // namespace lumvex::judge
