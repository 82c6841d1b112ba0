#include "proxylist/agent_file.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <optional>
#include <system_error>
#include <thread>
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

namespace {

std::vector<ProxyEntry> ParseChunk(std::string_view gbk_bytes) {
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

// Large files are decoded and parsed in pieces on several threads: loading a long list is on
// the start-up path. Pieces end at a line end; CR is never the second byte of a GBK character,
// so a cut there never splits one, and every line lands whole in exactly one piece.
std::vector<std::string_view> CutAtLineEnds(std::string_view bytes) {
  constexpr std::size_t kMinPieceBytes = 512 * 1024;
  const std::size_t threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  const std::size_t pieces = std::min(threads, bytes.size() / kMinPieceBytes + 1);
  std::vector<std::string_view> result;
  std::size_t start = 0;
  for (std::size_t i = 1; i < pieces && start < bytes.size(); ++i) {
    const std::size_t target = std::max(start, bytes.size() * i / pieces);
    const std::size_t cut = bytes.find(kLineEnd, target);
    if (cut == std::string_view::npos) break;
    result.push_back(bytes.substr(start, cut - start));
    start = cut + kLineEnd.size();
  }
  result.push_back(bytes.substr(start));
  return result;
}

}  // namespace

std::vector<ProxyEntry> ParseAgentText(std::string_view gbk_bytes) {
  const std::vector<std::string_view> pieces = CutAtLineEnds(gbk_bytes);
  if (pieces.size() == 1) return ParseChunk(pieces.front());

  std::vector<std::vector<ProxyEntry>> parsed(pieces.size());
  std::vector<std::thread> helpers;
  // Pieces from here on are parsed on this thread: the system may refuse new threads, and the
  // list must load all the same.
  std::size_t parse_here_from = pieces.size();
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    try {
      helpers.emplace_back([&parsed, &pieces, i] { parsed[i] = ParseChunk(pieces[i]); });
    } catch (const std::system_error&) {
      parse_here_from = i;
      break;
    }
  }
  parsed[0] = ParseChunk(pieces[0]);
  for (std::size_t i = parse_here_from; i < pieces.size(); ++i) parsed[i] = ParseChunk(pieces[i]);
  for (std::thread& helper : helpers) helper.join();

  std::size_t total = 0;
  for (const auto& part : parsed) total += part.size();
  std::vector<ProxyEntry> rows = std::move(parsed[0]);
  rows.reserve(total);
  for (std::size_t i = 1; i < parsed.size(); ++i) {
    std::move(parsed[i].begin(), parsed[i].end(), std::back_inserter(rows));
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

std::optional<std::vector<ProxyEntry>> ReadAgentFile(const std::string& data_dir) {
  const std::string path = AgentFilePath(data_dir);
  if (!FileExists(path)) return std::nullopt;
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  return ParseAgentText(*bytes);
}

bool FillFromAgentRows(ProxyList& list, std::optional<std::vector<ProxyEntry>> rows) {
  list.DeleteAllRows();
  if (!rows) return false;
  list.AddRows(std::move(*rows));
  return true;
}

bool LoadAgentFile(ProxyList& list, const std::string& data_dir) {
  return FillFromAgentRows(list, ReadAgentFile(data_dir));
}

}  // namespace lumvex
