#include "proxylist/check_state.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "proxylist/agent_file.h"
#include "proxylist/compact_row.h"
#include "proxylist/proxy_entry.h"
#include "text/codec.h"

namespace lumvex {
namespace {

// The type column's text in the list file, the state it loads as, and the text it saves back as.
struct TypeCase {
  std::string file_text;
  CheckStatus loaded;
};

const std::vector<TypeCase>& TypeCases() {
  static const std::vector<TypeCase> cases = {
      {"HTTP", CheckStatus::kNone},
      {"", CheckStatus::kNone},
      {"成功", CheckStatus::kOk},
      {"失败", CheckStatus::kFailed},
      {"正在验证", CheckStatus::kRunningMenu},
      {"正在验证...", CheckStatus::kRunningPool},
      {"失败了", CheckStatus::kNone},  // only a whole verdict text is one
      {"高匿成功", CheckStatus::kNone},
  };
  return cases;
}

TEST(CheckStateTest, ListFileTypeTextLoadsAsItsStateAndSavesBackUnchanged) {
  for (const TypeCase& c : TypeCases()) {
    const std::string bytes = text::EncodeGbk("1.2.3.4 | 80 | " + c.file_text + " | 1 | 北京 | 2");
    const std::vector<ProxyEntry> rows = ParseAgentText(bytes);
    ASSERT_EQ(rows.size(), 1u) << c.file_text;
    EXPECT_EQ(rows[0].check.status, c.loaded) << c.file_text;
    EXPECT_EQ(CellText(rows[0], kColType), c.file_text);
    EXPECT_EQ(FormatAgentText(rows), bytes) << c.file_text;
  }
}

TEST(CheckStateTest, TheTypeColumnShowsTheSourceTextUntilACheckStarts) {
  ProxyEntry entry;
  entry.cells[kColType] = "HTTPS";
  EXPECT_EQ(CellText(entry, kColType), "HTTPS");
  entry.check = CheckState{CheckStatus::kRunningPool};
  EXPECT_EQ(CellText(entry, kColType), "正在验证...");
  entry.check = CheckState{CheckStatus::kOk, 0.5, 200, 12};
  EXPECT_EQ(CellText(entry, kColType), "成功");
  EXPECT_EQ(entry.cells[kColType], "HTTPS");  // the source's text is kept
  CompactRow row(entry);
  SetCellText(row, kColType, "SOCKS");  // a type text written over a verdict
  EXPECT_EQ(row.Check(), CheckState{});
  EXPECT_EQ(CellText(row, kColType), "SOCKS");
  SetCellText(row, kColType, "成功");  // a verdict's words as a type: still a type
  EXPECT_EQ(row.Check(), CheckState{});
  EXPECT_EQ(CheckStatusText(CheckStatus::kNone), "");
}

// A row keeps its reason as a small number: each number reads back as the reason stored under it,
// and no two reasons share their words.
TEST(CheckReasonTest, EveryReasonKeepsItsNumberAndItsOwnWords) {
  std::set<std::string> texts;
  for (int number = 0; number < kCheckReasonCount; ++number) {
    const std::optional<CheckReason> reason = CheckReasonOf(number);
    ASSERT_TRUE(reason.has_value()) << number;
    EXPECT_EQ(static_cast<int>(*reason), number);
    EXPECT_TRUE(texts.insert(CheckReasonText(*reason, 503)).second) << number;
  }
  EXPECT_EQ(CheckReasonOf(-1), std::nullopt);
  EXPECT_EQ(CheckReasonOf(kCheckReasonCount), std::nullopt);
  EXPECT_EQ(CheckReasonText(CheckReason::kNone), "");
  EXPECT_EQ(CheckReasonText(CheckReason::kProxySaid, 407), "proxy said 407");
  EXPECT_EQ(CheckReasonText(CheckReason::kJudgeBusy, 429), "judge busy");
}

}  // namespace
}  // namespace lumvex
