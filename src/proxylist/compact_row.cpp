#include "proxylist/compact_row.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace lumvex {

namespace {

template <typename T>
T Load(const char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T>
void Store(char* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

}  // namespace

// The row array of a long list is part of its size: a pointer, the check state and the flags.
static_assert(sizeof(CompactRow) <= 24);

CompactRow::CompactRow(const ProxyEntry& entry) {
  Cells cells;
  for (int c = 0; c < kProxyColumnCount; ++c) cells[c] = entry.cells[static_cast<std::size_t>(c)];
  Rebuild(cells);
  SetCheck(entry.check);
  SetMark(entry.mark);
}

CompactRow::CompactRow(const Cells& cells) { Rebuild(cells); }

CompactRow::CompactRow(const CompactRow& other)
    : seconds_(other.seconds_),
      bytes_(other.bytes_),
      http_status_(other.http_status_),
      status_(other.status_),
      flags_(other.flags_) {
  if (other.data_) {
    const std::size_t size = other.DataBytes();
    data_ = new char[size];
    std::memcpy(data_, other.data_, size);
  }
}

CompactRow& CompactRow::operator=(const CompactRow& other) {
  if (this != &other) *this = CompactRow(other);
  return *this;
}

CompactRow::CompactRow(CompactRow&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      seconds_(other.seconds_),
      bytes_(other.bytes_),
      http_status_(other.http_status_),
      status_(other.status_),
      flags_(std::exchange(other.flags_, 0)) {}

CompactRow& CompactRow::operator=(CompactRow&& other) noexcept {
  if (this == &other) return *this;
  Release();
  data_ = std::exchange(other.data_, nullptr);
  seconds_ = other.seconds_;
  bytes_ = other.bytes_;
  http_status_ = other.http_status_;
  status_ = other.status_;
  flags_ = std::exchange(other.flags_, 0);
  return *this;
}

CompactRow::~CompactRow() { Release(); }

void CompactRow::Release() {
  delete[] data_;
  data_ = nullptr;
}

std::size_t CompactRow::CellEnd(int column) const {
  if (flags_ & kWideEnds) return Load<std::uint32_t>(data_ + 4 * column);
  return Load<std::uint16_t>(data_ + 2 * column);
}

std::string_view CompactRow::Cell(int column) const {
  if (!data_ || column < 0 || column >= kProxyColumnCount) return {};
  const std::size_t begin = column == 0 ? 0 : CellEnd(column - 1);
  return std::string_view(Texts() + begin, CellEnd(column) - begin);
}

CompactRow::Cells CompactRow::AllCells() const {
  Cells cells;
  for (int c = 0; c < kProxyColumnCount; ++c) cells[static_cast<std::size_t>(c)] = Cell(c);
  return cells;
}

std::size_t CompactRow::DataBytes() const { return EndsBytes() + CellEnd(kProxyColumnCount - 1); }

void CompactRow::Rebuild(const Cells& cells) {
  std::size_t total = 0;
  for (const std::string_view cell : cells) total += cell.size();
  if (total == 0) {
    Release();
    flags_ &= static_cast<std::uint8_t>(~kWideEnds);
    return;
  }
  const bool wide = total > std::numeric_limits<std::uint16_t>::max();
  const std::size_t ends_bytes = (wide ? 4 : 2) * kProxyColumnCount;
  const std::size_t size = ends_bytes + total;
  // Written in full before the old data goes: `cells` may point into it.
  char* data = new char[size];
  char* out = data + ends_bytes;
  std::size_t end = 0;
  for (int c = 0; c < kProxyColumnCount; ++c) {
    const std::string_view cell = cells[static_cast<std::size_t>(c)];
    // An empty view may carry no pointer at all, which memcpy must not be given.
    if (!cell.empty()) std::memcpy(out, cell.data(), cell.size());
    out += cell.size();
    end += cell.size();
    if (wide) {
      Store(data + 4 * c, static_cast<std::uint32_t>(end));
    } else {
      Store(data + 2 * c, static_cast<std::uint16_t>(end));
    }
  }
  Release();
  data_ = data;
  flags_ = static_cast<std::uint8_t>((flags_ & ~kWideEnds) | (wide ? kWideEnds : 0));
}

void CompactRow::SetCell(int column, std::string_view text) {
  if (column < 0 || column >= kProxyColumnCount) return;
  Cells cells = AllCells();
  cells[static_cast<std::size_t>(column)] = text;
  Rebuild(cells);
}

CheckState CompactRow::Check() const {
  CheckState state;
  state.status = Status();
  state.seconds = seconds_;
  state.http_status = http_status_;
  state.bytes = bytes_;
  state.anonymity = static_cast<Anonymity>(status_ >> kAnonymityShift);
  state.reason = CheckReasonOf(flags_ >> kReasonShift).value_or(CheckReason::kNone);
  return state;
}

void CompactRow::SetCheck(const CheckState& state) {
  status_ = static_cast<std::uint8_t>(static_cast<unsigned>(state.status) |
                                      (static_cast<unsigned>(state.anonymity) << kAnonymityShift));
  seconds_ = state.seconds;
  http_status_ = static_cast<std::uint16_t>(
      std::clamp<int>(state.http_status, 0, std::numeric_limits<std::uint16_t>::max()));
  bytes_ = static_cast<std::uint32_t>(
      std::min<std::size_t>(state.bytes, std::numeric_limits<std::uint32_t>::max()));
  flags_ = static_cast<std::uint8_t>((flags_ & kLowBits) |
                                     (static_cast<unsigned>(state.reason) << kReasonShift));
}

bool CompactRow::SetMark(CheckMark mark) {
  if (Mark() == mark) return false;
  flags_ ^= kFailedMark;
  return true;
}

ProxyEntry CompactRow::ToEntry() const {
  ProxyEntry entry;
  if (data_) {
    for (int c = 0; c < kProxyColumnCount; ++c) entry.cells[static_cast<std::size_t>(c)] = Cell(c);
  }
  entry.check = Check();
  entry.mark = Mark();
  return entry;
}

void SetCellText(CompactRow& row, int column, std::string_view text) {
  if (column == kColType) row.SetCheck(CheckState{});
  row.SetCell(column, text);
}

std::vector<CompactRow> CompactRows(std::vector<ProxyEntry> entries) {
  std::vector<CompactRow> rows;
  rows.reserve(entries.size());
  for (const ProxyEntry& entry : entries) rows.emplace_back(entry);
  return rows;
}

std::vector<ProxyEntry> ToEntries(const std::vector<CompactRow>& rows) {
  std::vector<ProxyEntry> entries;
  entries.reserve(rows.size());
  for (const CompactRow& row : rows) entries.push_back(row.ToEntry());
  return entries;
}

}  // namespace lumvex
