#include "settings/ini_file.h"

#include <vector>

#include "platform/file_io.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// One physical line: [begin, content_end) is its text, [content_end, end) its line end.
struct Line {
  std::size_t begin;
  std::size_t content_end;
  std::size_t end;
};

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t nl = text.find('\n', begin);
    const std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    std::size_t content_end = nl == std::string_view::npos ? text.size() : nl;
    if (content_end > begin && text[content_end - 1] == '\r') --content_end;
    lines.push_back({begin, content_end, end});
    begin = end;
  }
  return lines;
}

// Length of the GBK character at `i`: two bytes for a lead byte followed by a valid trail byte.
// Trail bytes overlap ASCII letters and brackets, so scanning must step by characters.
std::size_t CharLength(std::string_view s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  if (lead >= 0x81 && lead <= 0xFE && i + 1 < s.size()) {
    const auto trail = static_cast<unsigned char>(s[i + 1]);
    if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) return 2;
  }
  return 1;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NamesEqual(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const std::size_t la = CharLength(a, i);
    const std::size_t lb = CharLength(b, j);
    if (la != lb) return false;
    if (la == 1) {
      if (FoldAscii(a[i]) != FoldAscii(b[j])) return false;
    } else if (a.substr(i, la) != b.substr(j, lb)) {
      return false;
    }
    i += la;
    j += lb;
  }
  return i == a.size() && j == b.size();
}

std::size_t FindChar(std::string_view s, char wanted) {
  for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
    if (s[i] == wanted) return i;
  }
  return std::string_view::npos;
}

ParsedLine Parse(std::string_view content) {
  ParsedLine parsed;
  const std::string_view body = text::TrimBlanks(content);
  if (!body.empty() && body.front() == '[') {
    const std::string_view inner = body.substr(1);
    const std::size_t close = FindChar(inner, ']');
    parsed.kind = LineKind::kSection;
    parsed.name = text::TrimBlanks(inner.substr(0, close));
    return parsed;
  }
  const std::size_t eq = FindChar(content, '=');
  if (eq != std::string_view::npos) {
    parsed.kind = LineKind::kKey;
    parsed.name = text::TrimBlanks(content.substr(0, eq));
    parsed.value = text::TrimBlanks(content.substr(eq + 1));
  }
  return parsed;
}

std::string_view Content(std::string_view text, const Line& line) {
  return text.substr(line.begin, line.content_end - line.begin);
}

bool HasLineBreak(std::string_view s) {
  return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
}

// The closing bracket must stand as a character of its own: after a lone GBK lead byte at the end
// of the name it would be read as that character's second byte, and the header would not close.
bool UsableSection(std::string_view section) {
  return !text::TrimBlanks(section).empty() && !HasLineBreak(section) &&
         FindChar(std::string(section) + "]", ']') == section.size();
}

bool UsableKey(std::string_view key) {
  const std::string_view trimmed = text::TrimBlanks(key);
  return !trimmed.empty() && trimmed.front() != '[' && !HasLineBreak(key) &&
         key.find('=') == std::string_view::npos;
}

// What finishes an unfinished last line: only the LF when the text was cut off after its CR, as a
// second CR would stay in the line's text.
std::string_view LineEndToFinish(std::string_view text) {
  if (text.empty() || text.back() == '\n') return {};
  return text.back() == '\r' ? kLineEnd.substr(1) : kLineEnd;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
  const std::string_view wanted_section = text::TrimBlanks(section);
  const std::string_view wanted_key = text::TrimBlanks(key);
  bool in_section = false;
  for (const Line& line : SplitLines(text)) {
    const ParsedLine parsed = Parse(Content(text, line));
    if (parsed.kind == LineKind::kSection) {
      in_section = NamesEqual(parsed.name, wanted_section);
    } else if (in_section && parsed.kind == LineKind::kKey && NamesEqual(parsed.name, wanted_key)) {
      return std::string(parsed.value);
    }
  }
  return std::nullopt;
}

std::optional<std::string> SetProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value) {
  if (!UsableSection(section) || !UsableKey(key)) return std::nullopt;
  const std::string new_line =
      std::string(key) + "=" + text::OneLine(value) + std::string(kLineEnd);
  const std::string_view wanted_section = text::TrimBlanks(section);
  const std::string_view wanted_key = text::TrimBlanks(key);

  const std::vector<Line> lines = SplitLines(text);
  bool in_section = false;
  bool seen_section = false;
  bool in_first_section = false;
  std::optional<std::size_t> insert_after;  // index of the line the new key follows
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine parsed = Parse(Content(text, lines[i]));
    if (parsed.kind == LineKind::kSection) {
      in_section = NamesEqual(parsed.name, wanted_section);
      in_first_section = in_section && !seen_section;
      if (in_first_section) {
        seen_section = true;
        insert_after = i;
      }
    } else if (in_section && parsed.kind == LineKind::kKey) {
      if (NamesEqual(parsed.name, wanted_key)) {
        std::string out(text.substr(0, lines[i].begin));
        out += new_line;
        out += text.substr(lines[i].end);
        return out;
      }
      if (in_first_section) insert_after = i;
    }
  }

  std::string out;
  if (insert_after) {
    const Line& anchor = lines[*insert_after];
    out = std::string(text.substr(0, anchor.end));
    if (anchor.end == text.size()) out += LineEndToFinish(text);
    out += new_line;
    out += text.substr(anchor.end);
    return out;
  }
  out = std::string(text);
  out += LineEndToFinish(text);
  out += "[" + std::string(section) + "]" + std::string(kLineEnd) + new_line;
  return out;
}

std::string ReadSetting(const std::string& path, std::string_view section, std::string_view key) {
  const auto bytes = ReadWholeFile(path);
  if (!bytes) return {};
  const auto value = FindProfileValue(*bytes, text::EncodeGbk(section), text::EncodeGbk(key));
  return value ? text::DecodeGbk(*value) : std::string();
}

bool WriteSetting(const std::string& path, std::string_view section, std::string_view key,
                  std::string_view value) {
  const ProfileEntry entry{section, key, value};
  return WriteSettings(path, std::span<const ProfileEntry>(&entry, 1));
}

bool WriteSettings(const std::string& path, std::span<const ProfileEntry> entries) {
  std::string text;
  if (auto bytes = ReadWholeFile(path)) {
    text = std::move(*bytes);
  } else if (FileExists(path) || DirectoryExists(path)) {
    return false;  // unreadable: writing only our keys would throw away the rest of the file
  }
  for (const ProfileEntry& entry : entries) {
    auto changed = SetProfileValue(text, text::EncodeGbk(entry.section), text::EncodeGbk(entry.key),
                                   text::EncodeGbk(entry.value));
    if (!changed) return false;
    text = std::move(*changed);
  }
  return WriteWholeFile(path, text);
}

}  // namespace lumvex
