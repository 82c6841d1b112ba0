#include "cli/skipped_lines.h"

namespace lumvex::cli {

SkipSink SkippedLines::Sink() {
  // The line's text is not echoed: the number finds it, and a hostile list gains nothing.
  return [this](std::size_t number, SkipReason reason, std::string_view) {
    if (++shown_ > kShown) return;
    err_ << "line " << number << ": "
         << (reason == SkipReason::kTooLong ? "longer than 4096 bytes" : "not address:port")
         << ", skipped" << std::endl;
  };
}

void SkippedLines::Finish(const AddressReadSummary& summary) {
  if (summary.skipped > kShown) {
    err_ << summary.skipped - kShown << " more lines skipped" << std::endl;
  }
  if (repeated_ > 0) {
    err_ << repeated_ << (repeated_ == 1 ? " line repeats" : " lines repeat")
         << " an address already read, skipped" << std::endl;
  }
}

}  // namespace lumvex::cli
