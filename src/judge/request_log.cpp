#include "judge/request_log.h"

#include <algorithm>
#include <ctime>

#include "judge/json_text.h"

namespace lumvex::judge {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& out, unsigned value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

// One character as the log writes it: `sequence` is a well-formed UTF-8 sequence or one byte
// that starts none.
void AppendEscapedCharacter(std::string& out, std::string_view sequence) {
  const auto lead = static_cast<unsigned char>(sequence[0]);
  if (sequence.size() == 1) {
    if (lead >= 0x20 && lead < 0x7F) {
      if (lead == '\\') out += '\\';
      out += static_cast<char>(lead);
    } else {
      out += "\\x";  // C0, DEL, or a byte outside UTF-8
      AppendHex(out, lead, 2);
    }
    return;
  }
  unsigned code_point = lead & (0xFF >> (sequence.size() + 1));
  for (std::size_t i = 1; i < sequence.size(); ++i) {
    code_point = (code_point << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3F);
  }
  // C1 controls steer some terminals as ESC does; the bidirectional embeddings, overrides and
  // isolates reorder what follows them on the line, so a target could disguise the rest.
  const bool c1 = code_point >= 0x80 && code_point <= 0x9F;
  const bool bidi = (code_point >= 0x202A && code_point <= 0x202E) ||
                    (code_point >= 0x2066 && code_point <= 0x2069);
  if (c1 || bidi) {
    out += "\\u";
    AppendHex(out, code_point, 4);
  } else {
    out.append(sequence);
  }
}

}  // namespace

std::string EscapedCut(std::string_view text, std::size_t limit) {
  std::string out;
  std::string piece;
  for (std::size_t i = 0; i < text.size();) {
    // One character at a time, so the cut falls between two escaped characters.
    const std::size_t length = std::max<std::size_t>(1, Utf8SequenceLength(text, i));
    piece.clear();
    AppendEscapedCharacter(piece, text.substr(i, length));
    if (out.size() + piece.size() > limit) break;
    out += piece;
    i += length;
  }
  return out;
}

std::string EscapeForTerminal(std::string_view text) { return EscapedCut(text, std::string::npos); }

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
