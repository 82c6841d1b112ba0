#include "proxylist/agent_file.h"

#include <array>
#include <cstddef>
#include <optional>
#include <utility>

#include "platform/file_io.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kCellSeparator = " | ";
constexpr char kCellBar = '|';

// The list as UTF-8 text; encoded to GBK in one call afterwards.
std::string BuildText(const std::vector<ProxyEntry>& rows) {
  std::size_t size = 0;
  for (const ProxyEntry& row : rows) {
    for (const std::string& cell : row.cells) size += cell.size();
  }
  size += rows.size() * ((kProxyColumnCount - 1) * kCellSeparator.size() + kLineEnd.size());

  std::string text;
  text.reserve(size);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r > 0) text += kLineEnd;
    for (int c = 0; c < kProxyColumnCount; ++c) {
      if (c > 0) text += kCellSeparator;
      text += rows[r].cells[static_cast<std::size_t>(c)];
    }
  }
  return text;
}

// Cuts one line at the bar the way text::Split does (empty pieces kept, an empty piece after the
// last bar dropped) and fills the row from the first six pieces. False when the line has fewer
// than two pieces. Works on the decoded text, where a bar byte is always a bar: in GBK bytes 0x7C
// can also be the second half of a Chinese character.
bool ParseLine(std::string_view line, ProxyEntry& row) {
  std::array<std::string_view, kProxyColumnCount> pieces;
  int count = 0;
  std::size_t start = 0;
  while (count < kProxyColumnCount) {
    const std::size_t bar = line.find(kCellBar, start);
    if (bar == std::string_view::npos) {
      if (start < line.size()) pieces[static_cast<std::size_t>(count++)] = line.substr(start);
      break;
    }
    pieces[static_cast<std::size_t>(count++)] = line.substr(start, bar - start);
    start = bar + 1;
  }
  // Anything after the sixth piece is ignored.
  if (count < 2) return false;
  for (int c = 0; c < count; ++c) {
    row.cells[static_cast<std::size_t>(c)] = text::Trim(pieces[static_cast<std::size_t>(c)]);
  }
  return true;
}

}  // namespace

std::string FormatAgentText(const std::vector<ProxyEntry>& rows) {
  return text::EncodeGbk(BuildText(rows));
}

std::vector<ProxyEntry> ParseAgentText(std::string_view gbk_bytes) {
  const std::string text = text::DecodeGbk(gbk_bytes);
  const std::string_view all(text);

  std::size_t lines = 1;
  for (std::size_t at = all.find(kLineEnd); at != std::string_view::npos;
       at = all.find(kLineEnd, at + kLineEnd.size())) {
    ++lines;
  }
  std::vector<ProxyEntry> rows;
  rows.reserve(lines);

  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find(kLineEnd, start);
    if (end == std::string_view::npos) end = all.size();
    ProxyEntry row;
    if (ParseLine(all.substr(start, end - start), row)) rows.push_back(std::move(row));
    start = end + kLineEnd.size();
  }
  return rows;
}

std::string AgentFilePath(const std::string& data_dir) {
  std::string path = data_dir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += kAgentFileName;
  return path;
}

bool SaveAgentFile(const ProxyList& list, const std::string& data_dir) {
  std::string text;
  bool has_rows = false;
  // Built on the UI thread in one step so no other thread changes the rows half-way, and without
  // copying a large list first.
  const bool read = list.ReadRows([&](const std::vector<ProxyEntry>& rows) {
    has_rows = !rows.empty();
    if (has_rows) text = BuildText(rows);
  });
  // An empty list keeps the previous file: clearing the list and quitting must not lose it.
  if (!read || !has_rows) return false;
  if (!EnsureDirectory(data_dir)) return false;
  return WriteWholeFile(AgentFilePath(data_dir), text::EncodeGbk(text));
}

bool LoadAgentFile(ProxyList& list, const std::string& data_dir) {
  list.DeleteAllRows();
  const std::string path = AgentFilePath(data_dir);
  if (!FileExists(path)) return false;
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return false;
  std::vector<ProxyEntry> rows = ParseAgentText(*bytes);
  bytes.reset();
  list.AddRows(std::move(rows));
  return true;
}

}  // namespace lumvex
