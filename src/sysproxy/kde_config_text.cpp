#include "sysproxy/kde_config_text.h"

#include <vector>

#include "text/text_util.h"

namespace lumvex {
namespace {

struct Line {
  std::string_view body;  // without the line end
  std::string_view end;   // "\n", "\r\n" or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) {
      lines.push_back({text.substr(start), {}});
      break;
    }
    std::size_t body_end = nl;
    if (body_end > start && text[body_end - 1] == '\r') --body_end;
    lines.push_back(
        {text.substr(start, body_end - start), text.substr(body_end, nl + 1 - body_end)});
    start = nl + 1;
  }
  return lines;
}

// The group a header line opens, or nullopt when the line is not a header.
std::optional<std::string_view> HeaderGroup(std::string_view body) {
  const std::string_view line = text::TrimBlanks(body);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return line.substr(1, close - 1);
}

// The key of a "key=value" line, or nullopt for comments, blank lines and other text.
std::optional<std::string_view> LineKey(std::string_view body) {
  const std::string_view line = text::TrimBlanks(body);
  if (line.empty() || line.front() == '#') return std::nullopt;
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return text::TrimBlanks(line.substr(0, eq));
}

std::string_view LineValue(std::string_view body) {
  std::string_view value = body.substr(body.find('=') + 1);
  // Carriage returns at the end of the file's last line (no line feed after them) belong to no
  // value: the same line reads the same once a line feed follows it.
  while (!value.empty() && value.back() == '\r') value.remove_suffix(1);
  return text::TrimBlanks(value);
}

}  // namespace

std::optional<std::string> FindKdeConfigValue(std::string_view text, std::string_view group,
                                              std::string_view key) {
  std::optional<std::string> found;
  bool inside = false;
  for (const Line& line : SplitLines(text)) {
    if (const auto header = HeaderGroup(line.body)) {
      inside = *header == group;
      continue;
    }
    if (!inside) continue;
    if (const auto line_key = LineKey(line.body); line_key && *line_key == key) {
      found = std::string(LineValue(line.body));
    }
  }
  return found;
}

std::string SetKdeConfigValues(std::string_view text, std::string_view group,
                               const std::map<std::string, std::string>& values) {
  const std::vector<Line> lines = SplitLines(text);
  std::string_view line_end = "\n";
  for (const Line& line : lines) {
    if (!line.end.empty()) {
      line_end = line.end;
      break;
    }
  }
  // Where the group's last block ends: new keys go after its last key line (or its header).
  std::optional<std::size_t> insert_after;
  std::map<std::string, bool> present;
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto header = HeaderGroup(lines[i].body)) {
      inside = *header == group;
      if (inside) insert_after = i;
      continue;
    }
    if (!inside) continue;
    if (const auto key = LineKey(lines[i].body)) {
      insert_after = i;
      if (values.count(std::string(*key)) != 0) present[std::string(*key)] = true;
    }
  }
  std::string added;
  for (const auto& [key, value] : values) {
    if (!present[key]) added += key + "=" + text::OneLine(value) + std::string(line_end);
  }

  std::string out;
  out.reserve(text.size() + added.size() + group.size() + 8);
  inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    std::optional<std::string_view> key;
    if (const auto header = HeaderGroup(line.body)) {
      inside = *header == group;
    } else if (inside) {
      key = LineKey(line.body);
    }
    if (key && values.count(std::string(*key)) != 0) {
      out += std::string(*key) + "=" + text::OneLine(values.at(std::string(*key)));
    } else {
      out += line.body;
    }
    out += line.end;
    if (insert_after && *insert_after == i && !added.empty()) {
      if (line.end.empty()) out += line_end;  // the group ended the file without a line end
      out += added;
    }
  }
  if (!insert_after) {
    if (!out.empty() && out.back() != '\n') out += line_end;
    // A blank line between groups, as KDE writes them.
    if (!out.empty()) out += line_end;
    out += "[" + std::string(group) + "]" + std::string(line_end) + added;
  }
  return out;
}

}  // namespace lumvex
