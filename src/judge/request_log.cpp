#include "judge/request_log.h"

#include <algorithm>
#include <ctime>

#include "judge/json_text.h"
#include "text/text_util.h"

namespace lumvex::judge {

std::string EscapedCut(std::string_view text, std::size_t limit) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    // One character at a time, so the cut falls between two escaped characters.
    const std::size_t length = std::max<std::size_t>(1, Utf8SequenceLength(text, i));
    const std::string piece = text::EscapeControls(text.substr(i, length));
    if (out.size() + piece.size() > limit) break;
    out += piece;
    i += length;
  }
  return out;
}

std::string LogLine(std::chrono::system_clock::time_point when, std::string_view client,
                    std::string_view method, std::string_view target, int status,
                    std::size_t bytes) {
  constexpr std::size_t kTargetLimit = 200;
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::string line = stamp;
  line += ' ';
  line += client;
  line += ' ';
  line += method.empty() ? std::string("-") : EscapedCut(method, kTargetLimit);
  line += ' ';
  line += target.empty() ? std::string("-") : EscapedCut(target, kTargetLimit);
  line += ' ' + std::to_string(status) + ' ' + std::to_string(bytes) + '\n';
  return line;
}

}  // namespace lumvex::judge
