// How a subcommand tells of the list lines it passes over, on standard error: the first ten
// lines that give no proxy by number and reason, then a count of the rest, and a count of the
// lines that named a proxy already read.
#pragma once

#include <cstddef>
#include <ostream>
#include <string_view>

#include "proxylist/address_line_reader.h"

namespace lumvex::cli {

class SkippedLines {
 public:
  static constexpr std::size_t kShown = 10;

  explicit SkippedLines(std::ostream& err) : err_(err) {}

  // A SkipSink for ReadAddressLines; the object must outlive the reading.
  SkipSink Sink();
  // A line that named a proxy already read.
  void Repeated() { ++repeated_; }
  // The counts, once the reading is over; `summary` is the reading's.
  void Finish(const AddressReadSummary& summary);

 private:
  std::ostream& err_;
  std::size_t shown_ = 0;
  std::size_t repeated_ = 0;
};

}  // namespace lumvex::cli
