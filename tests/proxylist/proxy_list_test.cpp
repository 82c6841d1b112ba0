#include "proxylist/proxy_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "entry_printer.h"
#include "platform/headless_ui_thread.h"
#include "recording_observer.h"

namespace lumvex {
namespace {

using Log = std::vector<std::string>;

ProxyEntry Row(std::string address, std::string port = "80", std::string type = "HTTP") {
  ProxyEntry e;
  e.cells = {std::move(address), std::move(port), std::move(type), "0.5", "广东省深圳市", "1天"};
  return e;
}

std::vector<std::string> Addresses(const ProxyList& list) {
  std::vector<std::string> out;
  for (const ProxyEntry& e : list.Snapshot()) out.push_back(e.cells[kColAddress]);
  return out;
}

class ProxyListTest : public ::testing::Test {
 protected:
  void SetUp() override { list_.AddObserver(&observer_); }
  void TearDown() override {
    list_.RemoveObserver(&observer_);
    EXPECT_EQ(observer_.faults(), 0);
  }
  // Five rows "a".."e", with the notifications of building them forgotten.
  void FillFive() {
    for (const char* a : {"a", "b", "c", "d", "e"}) list_.AddRow(Row(a));
    ui_.Drain();
    observer_.ClearLog();
  }

  HeadlessUiThread ui_;
  ProxyList list_{ui_};
  RecordingObserver observer_{list_, ui_};
};

TEST_F(ProxyListTest, AddInsertAndReadCells) {
  EXPECT_EQ(list_.ListCount(), 0);
  EXPECT_EQ(list_.AddRow(Row("1.1.1.1")), 0);
  EXPECT_EQ(list_.AddRow(Row("2.2.2.2")), 1);
  // Negative and past-the-end positions append; 0 puts the row on top.
  EXPECT_EQ(list_.InsertRow(-1, "3.3.3.3"), 2);
  EXPECT_EQ(list_.InsertRow(99, "4.4.4.4"), 3);
  EXPECT_EQ(list_.InsertRow(0, "0.0.0.0"), 0);
  EXPECT_EQ(list_.InsertRow(2, "mid"), 2);
  EXPECT_EQ(Addresses(list_), (std::vector<std::string>{"0.0.0.0", "1.1.1.1", "mid", "2.2.2.2",
                                                        "3.3.3.3", "4.4.4.4"}));
  // An inserted row carries only its address.
  EXPECT_EQ(list_.GetRow(2), (ProxyEntry{{"mid", "", "", "", "", ""}}));
  EXPECT_EQ(list_.GetCell(1, kColLocation), "广东省深圳市");

  EXPECT_TRUE(list_.SetCell(1, kColType, "成功"));
  EXPECT_EQ(list_.GetCell(1, kColType), "成功");
  EXPECT_EQ(list_.GetRow(1).cells[kColAddress], "1.1.1.1");

  for (auto [row, col] : {std::pair{-1, 0}, {6, 0}, {0, -1}, {0, 6}}) {
    EXPECT_FALSE(list_.SetCell(row, col, "x")) << row << "," << col;
    EXPECT_EQ(list_.GetCell(row, col), "") << row << "," << col;
  }
  EXPECT_EQ(list_.GetRow(6), ProxyEntry{});
  EXPECT_EQ(list_.GetRow(-1), ProxyEntry{});
  EXPECT_EQ(list_.ListCount(), 6);
}

TEST_F(ProxyListTest, NotificationsBracketEveryChange) {
  list_.AddRow(Row("a"));
  list_.InsertRow(0, "b");
  list_.SetCell(1, 2, "失败");
  list_.AddRows({Row("c"), Row("d"), Row("e")});
  list_.AddRows({});
  list_.DeleteRow(3);
  list_.DeleteRow(7);  // out of range: no change, no notification
  list_.ReplaceAll({Row("x"), Row("y")});
  list_.DeleteAllRows();
  list_.DeleteAllRows();  // already empty
  ui_.Drain();
  EXPECT_EQ(observer_.log(), (Log{"insert 0..0", "end insert", "insert 0..0", "end insert",
                                  "cell 1,2", "insert 2..4", "end insert", "remove 3..3",
                                  "end remove", "reset", "end reset", "reset", "end reset"}));
  EXPECT_EQ(observer_.mirror_rows(), 0);
}

// The red of a failed verdict is the row's mark: each case changes a list whose rows "b" and "d"
// failed, and names the rows marked afterwards.
TEST_F(ProxyListTest, CheckMarksFollowTheirRowsAndVerdicts) {
  const CheckState failed{CheckStatus::kFailed};
  const struct {
    const char* what;
    std::function<void(ProxyList&)> change;
    std::vector<std::string> marked;
  } cases[] = {
      {"nothing", [](ProxyList&) {}, {"b", "d"}},
      {"insert above", [](ProxyList& l) { l.InsertRow(0, "new"); }, {"b", "d"}},
      {"delete above", [](ProxyList& l) { l.DeleteRow(0); }, {"b", "d"}},
      {"delete a marked row", [](ProxyList& l) { l.DeleteRow(1); }, {"d"}},
      {"rows replaced by a cleaning",
       [](ProxyList& l) {
         std::vector<ProxyEntry> kept = l.Snapshot();
         kept.erase(kept.begin());
         l.ReplaceAll(std::move(kept));
       },
       {"b", "d"}},
      {"a new check under way",
       [](ProxyList& l) { l.SetCheckState(1, {CheckStatus::kRunningPool}); },
       {"b", "d"}},
      {"a pass", [](ProxyList& l) { l.SetCheckState(3, {CheckStatus::kOk}); }, {"b"}},
      {"a judge kept busy",
       [](ProxyList& l) {
         l.SetCheckState(
             3, {CheckStatus::kNone, 9, 429, 0, Anonymity::kUnknown, CheckReason::kJudgeBusy});
       },
       {"b"}},
      {"a failure", [&](ProxyList& l) { l.SetCheckState(2, failed); }, {"b", "c", "d"}},
      {"a type text written", [](ProxyList& l) { l.SetCell(1, kColType, "HTTP"); }, {"b", "d"}},
      {"all cleared", [](ProxyList& l) { l.ClearCheckMarks(); }, {}},
  };
  for (const auto& c : cases) {
    list_.ReplaceAll({Row("a"), Row("b"), Row("c"), Row("d"), Row("e")});
    list_.SetCheckState(1, failed);
    list_.SetCheckState(3, failed);
    c.change(list_);
    std::vector<std::string> marked;
    for (const ProxyEntry& e : list_.Snapshot()) {
      if (e.mark == CheckMark::kFailed) marked.push_back(e.cells[kColAddress]);
    }
    EXPECT_EQ(marked, c.marked) << c.what;
  }
}

TEST_F(ProxyListTest, CurrentAndSelectionFollowDeletedRows) {
  FillFive();
  list_.SetCurrentRow(3);
  list_.SetSelectedRows({4, 1, 3, 1, 9, -2});
  EXPECT_EQ(list_.CurrentRow(), 3);
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{1, 3, 4}));  // sorted, unique, in range

  // Rows above the current row move it up with its row.
  ASSERT_TRUE(list_.DeleteRow(0));
  EXPECT_EQ(list_.CurrentRow(), 2);
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(list_.GetCell(list_.CurrentRow(), 0), "d");

  // Deleting the current row leaves no current row and drops it from the selection.
  ASSERT_TRUE(list_.DeleteRow(2));
  EXPECT_EQ(list_.CurrentRow(), -1);
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{0, 2}));
  EXPECT_EQ(Addresses(list_), (std::vector<std::string>{"b", "c", "e"}));

  // Rows below the current row leave it alone.
  list_.SetCurrentRow(1);
  ASSERT_TRUE(list_.DeleteRow(2));
  EXPECT_EQ(list_.CurrentRow(), 1);
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{0}));

  // An insert above moves the marks down with their rows.
  list_.InsertRow(0, "top");
  EXPECT_EQ(list_.CurrentRow(), 2);
  EXPECT_EQ(list_.SelectedRows(), (std::vector<int>{1}));
  EXPECT_EQ(list_.GetCell(2, 0), "c");

  // The row right above the current one goes: the current row moves up by one, onto "c" still.
  ASSERT_TRUE(list_.DeleteRow(1));
  EXPECT_EQ(list_.CurrentRow(), 1);
  EXPECT_EQ(list_.GetCell(1, 0), "c");
  EXPECT_TRUE(list_.SelectedRows().empty());

  // A row inserted at the current row's own position pushes it down.
  list_.InsertRow(1, "new");
  EXPECT_EQ(list_.CurrentRow(), 2);
  EXPECT_EQ(list_.GetCell(2, 0), "c");

  list_.DeleteAllRows();
  EXPECT_EQ(list_.CurrentRow(), -1);
  EXPECT_TRUE(list_.SelectedRows().empty());
  ui_.Drain();
  // The view is told when the list moved its marks, never for the view's own calls.
  EXPECT_EQ(observer_.log(),
            (Log{"remove 0..0", "end remove", "marks", "remove 2..2", "end remove", "marks",
                 "remove 2..2", "end remove", "marks", "insert 0..0", "end insert", "marks",
                 "remove 1..1", "end remove", "marks", "insert 1..1", "end insert", "marks",
                 "reset",       "end reset",  "marks"}));
}

TEST_F(ProxyListTest, SetCurrentRowIgnoresRowsOutsideTheList) {
  FillFive();
  list_.SetCurrentRow(2);
  list_.SetCurrentRow(5);
  list_.SetCurrentRow(-7);
  EXPECT_EQ(list_.CurrentRow(), 2);
  list_.SetCurrentRow(-1);
  EXPECT_EQ(list_.CurrentRow(), -1);
  list_.SetSelectedRows({});
  EXPECT_TRUE(list_.SelectedRows().empty());
}

TEST_F(ProxyListTest, FindRowComparesWholeCellsAndFoldsCaseOnlyInTheAddressColumn) {
  list_.AddRow(Row("proxy.Example.com", "8080", "Http"));
  list_.AddRow(Row("PROXY.example.COM", "8080", "HTTP"));
  list_.AddRow(Row("1.2.3.4", "80", "成功"));
  list_.AddRow(Row("1.2.3.45", "80", "失败"));

  EXPECT_EQ(list_.FindRow("proxy.example.com"), 0);
  EXPECT_EQ(list_.FindRow("proxy.example.com", 1), 1);
  EXPECT_EQ(list_.FindRow("proxy.example.com", 2), -1);
  // A negative start searches from the top; a start past the end finds nothing.
  EXPECT_EQ(list_.FindRow("PROXY.EXAMPLE.COM", -5), 0);
  EXPECT_EQ(list_.FindRow("1.2.3.4", 100), -1);
  // Whole text only: neither a prefix nor a longer text matches.
  EXPECT_EQ(list_.FindRow("1.2.3.4"), 2);
  EXPECT_EQ(list_.FindRow("1.2.3"), -1);
  EXPECT_EQ(list_.FindRow("1.2.3.45"), 3);
  EXPECT_EQ(list_.FindRow(""), -1);

  // Other columns respect case.
  EXPECT_EQ(list_.FindRow("HTTP", 0, kColType), 1);
  EXPECT_EQ(list_.FindRow("http", 0, kColType), -1);
  EXPECT_EQ(list_.FindRow("失败", 0, kColType), 3);
  EXPECT_EQ(list_.FindRow("8080", 1, kColPort), 1);
  EXPECT_EQ(list_.FindRow("80", 0, kColPort), 2);
  EXPECT_EQ(list_.FindRow("80", 0, -1), -1);
  EXPECT_EQ(list_.FindRow("80", 0, 6), -1);
}

TEST_F(ProxyListTest, FindRowFoldsOnlyAsciiLetters) {
  list_.AddRow(Row("ＡＢＣ"));  // full-width letters: multi-byte, compared exactly
  list_.AddRow(Row("a[b"));
  EXPECT_EQ(list_.FindRow("ａｂｃ"), -1);
  EXPECT_EQ(list_.FindRow("ＡＢＣ"), 0);
  // '[' and '{' differ by the same bit as 'A' and 'a' but are not letters.
  EXPECT_EQ(list_.FindRow("a{b"), -1);
  EXPECT_EQ(list_.FindRow("A[B"), 1);
}

TEST_F(ProxyListTest, CallsFromTheUiThreadRunInline) {
  // An operation made by UI code (or by an observer) must not wait for the UI thread itself.
  int count = -1;
  int found = -2;
  ASSERT_TRUE(ui_.RunSync([&] {
    list_.AddRow(Row("9.9.9.9"));
    list_.SetCell(0, kColType, "成功");
    count = list_.ListCount();
    found = list_.FindRow("成功", 0, kColType);
  }));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(found, 0);
}

TEST_F(ProxyListTest, ReadRowsSeesTheWholeListInOneStep) {
  FillFive();
  std::vector<std::string> seen;
  ASSERT_TRUE(list_.ReadRows([&](const std::vector<CompactRow>& rows) {
    for (const CompactRow& e : rows) seen.emplace_back(e.Cell(0));
  }));
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

// An observer that removes itself while it is being told must not upset the others.
class SelfRemovingObserver : public RecordingObserver {
 public:
  SelfRemovingObserver(ProxyList& list, const UiThread& ui)
      : RecordingObserver(list, ui), list_(list) {}
  void EndInsertRows() override {
    RecordingObserver::EndInsertRows();
    list_.RemoveObserver(this);
  }

 private:
  ProxyList& list_;
};

TEST_F(ProxyListTest, ObserverMayRemoveItselfWhileNotified) {
  SelfRemovingObserver leaving(list_, ui_);
  list_.AddObserver(&leaving);
  list_.AddObserver(&leaving);  // a second add does not double the calls
  list_.AddRow(Row("a"));
  list_.AddRow(Row("b"));
  ui_.Drain();
  EXPECT_EQ(leaving.log(), (Log{"insert 0..0", "end insert"}));
  EXPECT_EQ(leaving.faults(), 0);
  EXPECT_EQ(observer_.log(), (Log{"insert 0..0", "end insert", "insert 1..1", "end insert"}));
}

TEST(ProxyListShutdownTest, ClosedUiThreadGivesNeutralValues) {
  HeadlessUiThread ui;
  ProxyList list(ui);
  list.AddRow(Row("1.1.1.1"));
  list.SetCurrentRow(0);
  list.SetSelectedRows({0});
  ui.Close();

  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(list.CurrentRow(), -1);
  EXPECT_TRUE(list.SelectedRows().empty());
  EXPECT_EQ(list.GetCell(0, 0), "");
  EXPECT_EQ(list.GetRow(0), ProxyEntry{});
  EXPECT_TRUE(list.Snapshot().empty());
  EXPECT_FALSE(list.SetCell(0, 0, "x"));
  EXPECT_EQ(list.AddRow(Row("2.2.2.2")), -1);
  EXPECT_EQ(list.InsertRow(0, "3.3.3.3"), -1);
  EXPECT_FALSE(list.DeleteRow(0));
  EXPECT_EQ(list.FindRow("1.1.1.1"), -1);
  bool ran = false;
  EXPECT_FALSE(list.ReadRows([&](const std::vector<CompactRow>&) { ran = true; }));
  EXPECT_FALSE(ran);
  list.DeleteAllRows();
  list.AddRows({Row("4.4.4.4")});
}

}  // namespace
}  // namespace lumvex
