// One row of the list as the list keeps it. A list holds up to millions of rows, so a row is 24
// bytes plus one allocation holding its six cell texts back to back; ProxyEntry, with a string per
// cell, took about 410 bytes a row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"

namespace lumvex {

class CompactRow {
 public:
  using Cells = std::array<std::string_view, kProxyColumnCount>;

  CompactRow() = default;
  // The row's cells, check state and mark.
  explicit CompactRow(const ProxyEntry& entry);
  // These cell texts, no check state, no mark.
  explicit CompactRow(const Cells& cells);
  CompactRow(const CompactRow& other);
  CompactRow& operator=(const CompactRow& other);
  CompactRow(CompactRow&& other) noexcept;
  CompactRow& operator=(CompactRow&& other) noexcept;
  ~CompactRow();

  // The cell's own text (in the type column: the source's type text; CellText gives what shows).
  std::string_view Cell(int column) const;
  void SetCell(int column, std::string_view text);

  CheckStatus Status() const { return static_cast<CheckStatus>(status_ & kStatusMask); }
  CheckState Check() const;
  // Seconds keep full precision; the HTTP status (three digits) and the body bytes (a check reads
  // a few KiB at most) are clamped to 16 and 32 bits; the anonymity and the reason are kept, the
  // judge's detail is not.
  void SetCheck(const CheckState& state);

  CheckMark Mark() const { return flags_ & kFailedMark ? CheckMark::kFailed : CheckMark::kNone; }
  // True when the mark changed.
  bool SetMark(CheckMark mark);

  ProxyEntry ToEntry() const;

 private:
  // status_ holds the check status in its low four bits and the anonymity in the high four, so
  // that the row stays 24 bytes.
  static constexpr std::uint8_t kStatusMask = 0x0F;
  static constexpr int kAnonymityShift = 4;
  static constexpr std::uint8_t kWideEnds = 1;  // cell ends are 32-bit (a row over 64 KiB)
  static constexpr std::uint8_t kFailedMark = 2;
  // flags_ keeps the check's reason in its high four bits.
  static constexpr int kReasonShift = 4;
  static constexpr std::uint8_t kLowBits = 0x0F;
  static_assert(kCheckReasonCount <= 16);

  // Layout of data_: the six cells' end offsets (16 or 32 bits each), then the texts back to back.
  // Null: six empty cells.
  std::size_t EndsBytes() const { return (flags_ & kWideEnds ? 4 : 2) * kProxyColumnCount; }
  std::size_t CellEnd(int column) const;
  const char* Texts() const { return data_ + EndsBytes(); }
  std::size_t DataBytes() const;
  Cells AllCells() const;
  // Replaces data_ with these cells.
  void Rebuild(const Cells& cells);
  void Release();

  char* data_ = nullptr;
  double seconds_ = 0;
  std::uint32_t bytes_ = 0;
  std::uint16_t http_status_ = 0;
  std::uint8_t status_ = 0;
  std::uint8_t flags_ = 0;
};

// The text the row shows and saves in `column` (as CellText of a ProxyEntry).
inline std::string_view CellText(const CompactRow& row, int column) {
  if (column == kColType && row.Status() != CheckStatus::kNone) {
    return CheckStatusText(row.Status());
  }
  return row.Cell(column);
}

// Writes the cell's text. Text written to the type column is a source's type: the row's check
// state goes back to none, so the text shows (its mark stays).
void SetCellText(CompactRow& row, int column, std::string_view text);

// Rows handed in, as the list keeps them, with the check states and marks they carry. Called off
// the UI thread, so that converting a large batch does not stall the window.
std::vector<CompactRow> CompactRows(std::vector<ProxyEntry> entries);

// The rows as exchange rows (tests and callers that want whole rows).
std::vector<ProxyEntry> ToEntries(const std::vector<CompactRow>& rows);

}  // namespace lumvex
