#include "proxylist/agent_file.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <ctime>
#include <iterator>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/file_io.h"
#include "proxylist/proxy_line_parser.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kCellSeparator = " | ";
constexpr char kCellBar = '|';

// The list as UTF-8 text; encoded to GBK in one call afterwards.
template <typename Row>
std::string BuildText(const std::vector<Row>& rows) {
  std::size_t size = 0;
  for (const Row& row : rows) {
    for (int c = 0; c < kProxyColumnCount; ++c) size += CellText(row, c).size();
  }
  size += rows.size() * ((kProxyColumnCount - 1) * kCellSeparator.size() + kLineEnd.size());

  std::string text;
  text.reserve(size);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r > 0) text += kLineEnd;
    for (int c = 0; c < kProxyColumnCount; ++c) {
      if (c > 0) text += kCellSeparator;
      // The type column holds the check state's text once a check has started.
      text += CellText(rows[r], c);
    }
  }
  return text;
}

// The check state a saved verdict text stands for; nullopt for any other text (a source's type).
// The one place a text turns back into a state: the writer saves the state's text (CellText).
std::optional<CheckStatus> SavedVerdict(std::string_view text) {
  for (const CheckStatus status : {CheckStatus::kRunningPool, CheckStatus::kRunningMenu,
                                   CheckStatus::kOk, CheckStatus::kFailed}) {
    if (text == CheckStatusText(status)) return status;
  }
  return std::nullopt;
}

// Cuts one line at the bar the way text::Split does (empty pieces kept, an empty piece after the
// last bar dropped) and fills the row from the first six pieces. False when the line has fewer
// than two pieces. Works on the decoded text, where a bar byte is always a bar: in GBK bytes 0x7C
// can also be the second half of a Chinese character.
bool ParseLine(std::string_view line, std::vector<CompactRow>& rows) {
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
  CompactRow::Cells cells;
  for (int c = 0; c < count; ++c) {
    cells[static_cast<std::size_t>(c)] = text::TrimView(pieces[static_cast<std::size_t>(c)]);
  }
  CompactRow& row = rows.emplace_back(cells);
  // A saved verdict comes back as its check state (counters, cleanup and menus read the state).
  if (const std::optional<CheckStatus> status = SavedVerdict(cells[kColType])) {
    row.SetCheck(CheckState{*status});
  }
  return true;
}

// The file's bytes for the text: always GBK (GB18030 sequences for what GBK lacks), never a
// byte-order mark, which other readers of the file would show as a stray character. A first
// cell starting with 锘 and a character whose lead byte is BF would begin the file with the
// bytes of a UTF-8 byte-order mark and make it read as UTF-8: a space goes first, which reading
// trims off the cell again.
std::string EncodeListText(const std::string& text) {
  std::string gbk = text::EncodeGbk(text);
  if (gbk.starts_with("\xEF\xBB\xBF")) gbk.insert(0, 1, ' ');
  return gbk;
}

// The name of one of the list's copies for that local time.
std::string CopyName(DataFile copy, const std::tm& local) {
  char name[128];
  const std::string pattern(FileNameOf(copy));
  const std::size_t length = std::strftime(name, sizeof name, pattern.c_str(), &local);
  return std::string(name, length);
}

// Writes `bytes` to the copy's name for the present local time; the name, or empty on failure.
std::string KeepCopy(const DataDir& data_dir, DataFile copy, const std::string& bytes) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string name = CopyName(copy, local);
  return WriteWholeFile(data_dir.FilePath(name), bytes) ? name : std::string();
}

}  // namespace

std::string FormatAgentText(const std::vector<ProxyEntry>& rows) {
  return EncodeListText(BuildText(rows));
}

std::string FormatAgentText(const std::vector<CompactRow>& rows) {
  return EncodeListText(BuildText(rows));
}

namespace {

// Length of the line end at `at` ("\r\n", "\n" or a lone "\r"), 0 when there is none.
std::size_t LineEndLength(std::string_view text, std::size_t at) {
  if (at >= text.size()) return 0;
  if (text[at] == '\n') return 1;
  if (text[at] != '\r') return 0;
  return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
}

// The file is ours and written with "\r\n", but one edited by hand on Linux or a Mac ends its
// lines in "\n" or "\r"; reading only "\r\n" made such a file one unreadable row, and the next
// save lost the rest.
void ParseLines(std::string_view all, AgentFileContent& content) {
  std::size_t start = 0;
  std::size_t next_lf = std::min(all.find('\n'), all.size());
  std::size_t next_cr = std::min(all.find('\r'), all.size());
  while (start < all.size()) {
    // Two byte searches instead of one test per byte for either end: the scan was a sixth of a
    // long list's load.
    if (next_lf < start) next_lf = std::min(all.find('\n', start), all.size());
    if (next_cr < start) next_cr = std::min(all.find('\r', start), all.size());
    const std::size_t end = std::min(next_lf, next_cr);
    const std::string_view line = all.substr(start, end - start);
    if (!ParseLine(line, content.rows) && !text::TrimView(line).empty()) ++content.unread_lines;
    start = end + LineEndLength(all, end);
  }
}

// The end of the next piece of at most about `size` bytes from `start`: just after a "\n" (or
// the end), so a piece holds whole lines and whole characters.
std::size_t PieceEnd(std::string_view bytes, std::size_t start, std::size_t size) {
  if (bytes.size() - start <= size) return bytes.size();
  const std::size_t cut = bytes.find('\n', start + size);
  return cut == std::string_view::npos ? bytes.size() : cut + 1;
}

AgentFileContent ParseChunk(std::string_view bytes, bool utf8) {
  AgentFileContent content;
  content.rows.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  // Decoded a piece at a time: the text of a whole long list beside its rows raised the load's
  // peak memory by the size of the text.
  constexpr std::size_t kDecodeBytes = 256 * 1024;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = PieceEnd(bytes, start, kDecodeBytes);
    const std::string_view piece = bytes.substr(start, end - start);
    ParseLines(utf8 ? text::DecodeUtf8(piece) : text::DecodeGbk(piece), content);
    start = end;
  }
  return content;
}

// Large files are decoded and parsed in pieces on several threads: loading a long list is on
// the start-up path. Pieces end after a "\n" (or at the end); neither GBK, GB18030 nor UTF-8 has
// that byte inside a character, and a "\r\n" is never cut in two.
std::vector<std::string_view> CutAtLineEnds(std::string_view bytes) {
  constexpr std::size_t kMinPieceBytes = 512 * 1024;
  const std::size_t threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  const std::size_t pieces = std::min(threads, bytes.size() / kMinPieceBytes + 1);
  std::vector<std::string_view> result;
  std::size_t start = 0;
  for (std::size_t i = 1; i < pieces && start < bytes.size(); ++i) {
    const std::size_t target = std::max(start, bytes.size() * i / pieces);
    const std::size_t cut = bytes.find('\n', target);
    if (cut == std::string_view::npos) break;
    result.push_back(bytes.substr(start, cut + 1 - start));
    start = cut + 1;
  }
  result.push_back(bytes.substr(start));
  return result;
}

}  // namespace

AgentFileContent ParseAgentFile(std::string_view bytes) {
  // One decision for the whole file: a hand-edited list saved as UTF-8 (with or without a
  // byte-order mark, which earlier versions also wrote) is read as UTF-8 when that reading makes
  // more sense than GBK's; anything else is GBK, as the program writes it.
  const bool utf8 = text::LooksLikeUtf8(bytes);
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.starts_with(kBom)) bytes.remove_prefix(kBom.size());
  const std::vector<std::string_view> pieces = CutAtLineEnds(bytes);
  if (pieces.size() == 1) {
    AgentFileContent content = ParseChunk(pieces.front(), utf8);
    content.read_as_utf8 = utf8;
    return content;
  }

  std::vector<AgentFileContent> parsed(pieces.size());
  std::vector<std::thread> helpers;
  // Pieces from here on are parsed on this thread: the system may refuse new threads, and the
  // list must load all the same.
  std::size_t parse_here_from = pieces.size();
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    try {
      helpers.emplace_back(
          [&parsed, &pieces, i, utf8] { parsed[i] = ParseChunk(pieces[i], utf8); });
    } catch (const std::system_error&) {
      parse_here_from = i;
      break;
    }
  }
  parsed[0] = ParseChunk(pieces[0], utf8);
  for (std::size_t i = parse_here_from; i < pieces.size(); ++i) {
    parsed[i] = ParseChunk(pieces[i], utf8);
  }
  for (std::thread& helper : helpers) helper.join();

  std::size_t total = 0;
  for (const auto& part : parsed) total += part.rows.size();
  AgentFileContent content = std::move(parsed[0]);
  content.rows.reserve(total);
  for (std::size_t i = 1; i < parsed.size(); ++i) {
    std::move(parsed[i].rows.begin(), parsed[i].rows.end(), std::back_inserter(content.rows));
    parsed[i].rows = {};  // its memory back before the next piece's rows are moved
    content.unread_lines += parsed[i].unread_lines;
  }
  content.read_as_utf8 = utf8;
  return content;
}

std::vector<ProxyEntry> ParseAgentText(std::string_view bytes) {
  return ToEntries(ParseAgentFile(bytes).rows);
}

std::string UnreadCopyName(const std::tm& local) {
  return CopyName(DataFile::kUnreadListCopy, local);
}

std::string Utf8CopyName(const std::tm& local) { return CopyName(DataFile::kUtf8ListCopy, local); }

std::string AgentFilePath(const DataDir& data_dir) { return data_dir.PathOf(DataFile::kProxyList); }

bool SaveAgentFile(const ProxyList& list, const DataDir& data_dir) {
  std::string text;
  bool has_rows = false;
  // Built on the UI thread in one step so no other thread changes the rows half-way, and without
  // copying a large list first.
  const bool read = list.ReadRows([&](const std::vector<CompactRow>& rows) {
    has_rows = !rows.empty();
    if (has_rows) text = BuildText(rows);
  });
  // An empty list keeps the previous file: clearing the list and quitting must not lose it.
  if (!read || !has_rows) return false;
  if (!data_dir.EnsureDataDir()) return false;
  return WriteWholeFile(AgentFilePath(data_dir), EncodeListText(text));
}

std::optional<AgentFileContent> ReadAgentFile(const DataDir& data_dir) {
  const std::string path = AgentFilePath(data_dir);
  if (!FileExists(path)) return std::nullopt;
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  AgentFileContent content = ParseAgentFile(*bytes);
  // The next save writes only the rows that were read; the lines skipped would be gone for good,
  // so the file as it was is kept beside it first.
  if (content.unread_lines > 0) {
    content.unread_copy = KeepCopy(data_dir, DataFile::kUnreadListCopy, *bytes);
  }
  // The next save writes GBK. Were the file GBK after all (short GBK words can be valid UTF-8),
  // the rows shown and saved would be wrong, so bytes that GBK could read are kept as they were.
  if (content.read_as_utf8 && IsValidGbk(*bytes)) {
    content.utf8_copy = KeepCopy(data_dir, DataFile::kUtf8ListCopy, *bytes);
    content.utf8_copy_failed = content.utf8_copy.empty();
  }
  return content;
}

bool FillFromAgentRows(ProxyList& list, std::optional<AgentFileContent> content) {
  list.DeleteAllRows();
  if (!content) return false;
  list.AddCompactRows(std::move(content->rows));
  return true;
}

bool LoadAgentFile(ProxyList& list, const DataDir& data_dir) {
  return FillFromAgentRows(list, ReadAgentFile(data_dir));
}

}  // namespace lumvex
