#include "proxylist/compact_row.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry_printer.h"

namespace lumvex {
namespace {

ProxyEntry Entry(std::vector<std::string> cells, CheckState check = {},
                 CheckMark mark = CheckMark::kNone) {
  ProxyEntry entry;
  for (std::size_t c = 0; c < cells.size(); ++c) entry.cells[c] = std::move(cells[c]);
  entry.check = check;
  entry.mark = mark;
  return entry;
}

// A row kept compact gives back the cells, check state and mark it was given, however long its
// cells, and keeps them through copies, moves and edits of other cells.
TEST(CompactRowTest, KeepsWhatItWasGiven) {
  const std::string long_cell(70000, 'x');  // past 16-bit offsets
  const ProxyEntry cases[] = {
      Entry({}),
      Entry({"1.2.3.4", "80"}),
      Entry({"1.2.3.4", "80", "HTTP", "0.5", "广东省深圳市 电信", "1天"}),
      Entry({"", "", "", "", "", "尾"}),
      Entry({"a", long_cell, "b", "", long_cell, "c"}),
      Entry({"1.1.1.1", "81", "HTTP"}, CheckState{CheckStatus::kFailed, 2.125, 502, 4096},
            CheckMark::kFailed),
      // A mark on a row with no cells, and one kept through a new check under way.
      Entry({}, CheckState{CheckStatus::kOk, 0.1, 200, 12}, CheckMark::kFailed),
      Entry({"1.1.1.1", "81"}, CheckState{CheckStatus::kRunningPool}, CheckMark::kFailed),
      // The reason of a check stays with the row, the last one of the table included, through
      // rebuilds for long cells.
      Entry(
          {"a", long_cell},
          CheckState{CheckStatus::kFailed, 3, 403, 9, Anonymity::kUnknown, CheckReason::kProxySaid},
          CheckMark::kFailed),
      Entry({"1.1.1.1", "81", "HTTP"}, CheckState{CheckStatus::kNone, 60, 503, 4,
                                                  Anonymity::kUnknown, CheckReason::kJudgeBusy}),
      Entry({"1.1.1.1", "81"}, CheckState{CheckStatus::kFailed, 1, 200, 9, Anonymity::kUnknown,
                                          CheckReason::kJudgeUnreadable}),
  };
  for (const ProxyEntry& entry : cases) {
    const CompactRow row(entry);
    EXPECT_EQ(row.ToEntry(), entry);
    EXPECT_EQ(row.Check(), entry.check);
    EXPECT_EQ(row.Mark(), entry.mark);
    CompactRow copy = row;
    CompactRow moved = std::move(copy);
    EXPECT_EQ(moved.ToEntry(), entry);
    moved.SetCell(kColSpeed, "9.9");
    ProxyEntry edited = entry;
    edited.cells[kColSpeed] = "9.9";
    EXPECT_EQ(moved.ToEntry(), edited);
    EXPECT_EQ(moved.Check(), entry.check);
    EXPECT_EQ(row.ToEntry(), entry);
    EXPECT_EQ(moved.Mark(), entry.mark);
    EXPECT_EQ(moved.SetMark(CheckMark::kNone), entry.mark != CheckMark::kNone);
    EXPECT_EQ(moved.Check(), entry.check);
    EXPECT_EQ(moved.Cell(kColSpeed), "9.9");
  }
}

}  // namespace
}  // namespace lumvex
