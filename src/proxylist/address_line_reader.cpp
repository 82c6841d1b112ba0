#include "proxylist/address_line_reader.h"

#include <algorithm>
#include <ios>
#include <streambuf>
#include <utility>

#include "proxylist/proxy_line_parser.h"
#include "text/codec.h"
#include "text/encoding_guess.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Reads up to `size` bytes. A read error (a directory, an I/O error) counts as the end; the
// stream's own exception is caught, since libstdc++ throws one from a failing file buffer.
std::size_t ReadSome(std::istream& in, char* data, std::size_t size, bool& failed) {
  try {
    in.read(data, static_cast<std::streamsize>(size));
    if (in.bad()) failed = true;
    return static_cast<std::size_t>(in.gcount());
  } catch (const std::ios_base::failure&) {
    failed = true;
    return 0;
  }
}

// A read-only stream buffer over bytes in memory, so that text already held is read by the same
// code without a copy.
class ViewBuffer : public std::streambuf {
 public:
  explicit ViewBuffer(std::string_view bytes) {
    char* begin = const_cast<char*>(bytes.data());
    setg(begin, begin, begin + bytes.size());
  }
};

std::string DecodeLine(std::string_view raw, LineEncoding encoding) {
  switch (encoding) {
    case LineEncoding::kUtf8:
      return text::DecodeUtf8(raw);
    case LineEncoding::kGbk:
      return text::DecodeGbk(raw);
    case LineEncoding::kEachLine:
      break;
  }
  return text::DecodeGbkOrUtf8(raw);
}

}  // namespace

bool AddressLineReader::Fill() {
  if (eof_) return false;
  pos_ = 0;
  end_ = ReadSome(in_, buffer_.data(), buffer_.size(), read_failed_);
  if (end_ == 0) eof_ = true;
  return end_ > 0;
}

bool AddressLineReader::ReadLine(std::string& line, bool& too_long) {
  line.clear();
  too_long = false;
  bool any = false;  // a byte of this line (or its end) was seen
  while (true) {
    if (pos_ == end_ && !Fill()) return any && !stopped_at_nul_;
    if (skip_lf_) {
      skip_lf_ = false;
      if (buffer_[pos_] == '\n') {
        ++pos_;
        continue;
      }
    }
    const char* begin = buffer_.data() + pos_;
    const char* stop = buffer_.data() + end_;
    const char* found =
        std::find_if(begin, stop, [](char c) { return c == '\n' || c == '\r' || c == '\0'; });
    any = true;
    if (!too_long) {
      const std::size_t room = kMaxLineBytes + 1 - std::min(line.size(), kMaxLineBytes + 1);
      line.append(begin, std::min(static_cast<std::size_t>(found - begin), room));
      if (line.size() > kMaxLineBytes) too_long = true;
    }
    pos_ = static_cast<std::size_t>(found - buffer_.data());
    if (found == stop) continue;
    ++pos_;
    if (*found == '\0') {
      stopped_at_nul_ = true;
      eof_ = true;
      return false;
    }
    if (*found == '\r') skip_lf_ = true;
    return true;
  }
}

bool AddressLineReader::Next(std::string& line) {
  bool too_long = false;
  while (ReadLine(line, too_long)) {
    ++line_number_;
    if (too_long) {
      long_lines_.push_back(line_number_);
      continue;
    }
    if (line_number_ == 1 && line.starts_with(kUtf8Bom)) line.erase(0, kUtf8Bom.size());
    return true;
  }
  line.clear();
  return false;
}

AddressReadSummary ReadAddressLines(std::istream& in, LineEncoding encoding, const RowSink& on_rows,
                                    const SkipSink& on_skip) {
  AddressReadSummary summary;
  AddressLineReader reader(in);
  std::size_t long_reported = 0;
  const auto report_long_lines = [&] {
    for (; long_reported < reader.LongLines().size(); ++long_reported) {
      ++summary.skipped;
      if (on_skip) on_skip(reader.LongLines()[long_reported], SkipReason::kTooLong, {});
    }
  };
  std::string raw;
  while (reader.Next(raw)) {
    report_long_lines();
    const std::string line = DecodeLine(raw, encoding);
    std::vector<ProxyEntry> rows = ParseProxyLine(line);
    if (rows.empty()) {
      if (text::Trim(line).empty()) continue;
      ++summary.skipped;
      if (on_skip) on_skip(reader.LineNumber(), SkipReason::kNotAnAddress, line);
      continue;
    }
    if (!on_rows(std::move(rows))) break;
  }
  report_long_lines();
  summary.lines = reader.LineNumber();
  summary.stopped_at_nul = reader.StoppedAtNul();
  summary.read_failed = reader.ReadFailed();
  return summary;
}

AddressReadSummary ReadAddressLines(std::string_view bytes, LineEncoding encoding,
                                    const RowSink& on_rows, const SkipSink& on_skip) {
  ViewBuffer buffer(bytes);
  std::istream in(&buffer);
  return ReadAddressLines(in, encoding, on_rows, on_skip);
}

std::optional<bool> SniffUtf8(std::istream& in) {
  const std::istream::pos_type start = in.tellg();
  if (start == std::istream::pos_type(-1)) return std::nullopt;
  text::EncodingGuess guess;
  std::vector<char> buffer(64 * 1024);
  bool failed = false;
  bool first = true;
  bool bom = false;
  while (true) {
    const std::size_t got = ReadSome(in, buffer.data(), buffer.size(), failed);
    if (got == 0) break;
    std::string_view piece(buffer.data(), got);
    if (first && piece.starts_with(kUtf8Bom)) {
      bom = true;
      break;
    }
    first = false;
    const std::size_t nul = piece.find('\0');
    guess.Feed(piece.substr(0, nul));
    if (nul != std::string_view::npos || guess.Broken()) break;
  }
  in.clear();
  in.seekg(start);
  if (in.fail()) return std::nullopt;
  return bom || guess.ReadsAsUtf8();
}

}  // namespace lumvex
