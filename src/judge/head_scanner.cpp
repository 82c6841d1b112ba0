#include "judge/head_scanner.h"

namespace lumvex::judge {

std::optional<std::size_t> HeadScanner::Scan(std::string_view received) {
  for (; scanned_ < received.size(); ++scanned_) {
    if (received[scanned_] != '\n') continue;
    std::size_t length = scanned_ - line_start_;
    const bool empty = length == 0 || (length == 1 && received[line_start_] == '\r');
    if (empty && first_start_) return ++scanned_;
    if (!empty && !first_start_) {
      first_start_ = line_start_;
      first_length_ = length;
    }
    line_start_ = scanned_ + 1;
  }
  return std::nullopt;
}

std::optional<std::size_t> HeadScanner::request_line_start() const { return first_start_; }

std::optional<std::size_t> HeadScanner::request_line_length() const { return first_length_; }

}  // namespace lumvex::judge
