#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "app/list_commands_controller.h"
#include "list_rig.h"
#include "platform/file_io.h"
#include "text/codec.h"

namespace lumvex {
namespace {

using testing::Entry;
using testing::ListRig;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

TEST(ListCommandsTest, ExportFileNameHasNoLeadingZeros) {
  EXPECT_EQ(ExportFileName(2013, 9, 20), "Proxies2013-9-20");
  EXPECT_EQ(ExportFileName(2026, 12, 7), "Proxies2026-12-7");
  EXPECT_EQ(ListTotalStatus(0), "共有代理IP：0个");
}

TEST(ListCommandsTest, ImportReadsGbkAndUtf8FilesAndAppends) {
  ListRig rig;
  rig.list.AddRow(Entry("9.9.9.9", "1"));
  const std::string gbk_file = rig.dir.File("gbk.txt");
  const std::string utf8_file = rig.dir.File("utf8.txt");
  WriteFile(gbk_file, text::EncodeGbk("1.1.1.1:80@HTTP#广东省\r\n2.2.2.2:8080"));
  WriteFile(utf8_file,
            "\xEF\xBB\xBF"
            "3.3.3.3:3128@HTTP;北京市\n");
  rig.prompts.QueueFile(gbk_file);
  rig.prompts.QueueFile(utf8_file);
  rig.OnUi([&] { rig.commands.ImportFromFile(); });
  rig.commands.WaitIdle();
  rig.OnUi([&] { rig.commands.ImportFromFile(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.Statuses(), (std::vector<std::string>{"正在导入代理IP....", "共有代理IP：3个",
                                                      "正在导入代理IP....", "共有代理IP：5个"}));

  ASSERT_EQ(rig.prompts.file_requests.size(), 2u);
  EXPECT_FALSE(rig.prompts.file_requests[0].save);
  EXPECT_EQ(rig.prompts.file_requests[0].filter, "文本(*.txt)|*.txt");
  const std::vector<ProxyEntry> rows = rig.list.Snapshot();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].cells[kColAddress], "9.9.9.9");
  EXPECT_EQ(rows[1].cells[kColLocation], "广东省");
  EXPECT_EQ(rows[2].cells[kColPort], "8080");
  EXPECT_EQ(rows[3].cells[kColLocation], "");
  EXPECT_EQ(rows[4].cells[kColLocation], "北京市");
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：5个");
  EXPECT_EQ(rig.state.Text(Counter::kList), "5");
  EXPECT_TRUE(rig.state.Enabled(Command::kValidate));
}

TEST(ListCommandsTest, ImportTellsUtf8FromGbkOverTheWholeFile) {
  // Each file gives two rows; their locations must read as written.
  struct Case {
    std::string bytes;
    std::vector<std::string> locations;
  };
  const std::string filler(70000, ' ');  // the decisive bytes come after the first read
  const Case cases[] = {
      // UTF-8 whose bytes are valid GBK too ("鏈湴娴嬭瘯"), lines ending in CR.
      {"1.1.1.1:80@HTTP#本地测试\r2.2.2.2:80@HTTP#测试\r", {"本地测试", "测试"}},
      {text::EncodeGbk("1.1.1.1:80@HTTP#广东\n" + filler + "\n2.2.2.2:80@HTTP#한\n"),
       {"广东", "한"}},
      {"1.1.1.1:80@HTTP#x\n" + filler + "\n2.2.2.2:80@HTTP#本地\n", {"x", "本地"}},
  };
  for (const Case& c : cases) {
    ListRig rig;
    const std::string file = rig.dir.File("list.txt");
    WriteFile(file, c.bytes);
    rig.prompts.QueueFile(file);
    rig.OnUi([&] { rig.commands.ImportFromFile(); });
    rig.commands.WaitIdle();
    std::vector<std::string> locations;
    for (const ProxyEntry& row : rig.list.Snapshot()) locations.push_back(row.cells[kColLocation]);
    EXPECT_EQ(locations, c.locations);
  }
}

TEST(ListCommandsTest, ImportCancelledOrUnreadableFile) {
  ListRig rig;
  rig.OnUi([&] { rig.commands.ImportFromFile(); });  // dialog cancelled
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "");
  rig.prompts.QueueFile(rig.dir.File("missing.txt"));
  rig.OnUi([&] { rig.commands.ImportFromFile(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：0个");
  // A directory reads as nothing, without an exception from the file buffer.
  rig.prompts.QueueFile(rig.dir.File(""));
  rig.OnUi([&] { rig.commands.ImportFromFile(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：0个");
  EXPECT_EQ(rig.list.ListCount(), 0);
}

TEST(ListCommandsTest, ALongTextIsAppendedWholeAndInOrder) {
  ListRig rig;
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ":80\r\n";
  EXPECT_EQ(rig.commands.AppendLines(text), 5000u);
  EXPECT_EQ(rig.list.ListCount(), 5000);
  EXPECT_EQ(rig.list.GetCell(4999, kColAddress), "10.0.19.135");
}

TEST(ListCommandsTest, PasteAppendsEnablesAndEmptiesTheClipboard) {
  ListRig rig;
  rig.prompts.clipboard = "1.1.1.1:80\r\n2.2.2.2:8080@HTTP;上海";
  rig.OnUi([&] { rig.commands.PasteFromClipboard(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.Statuses(), (std::vector<std::string>{"正在粘贴代理IP....", "共有代理IP：3个"}));
  EXPECT_EQ(rig.list.ListCount(), 3);
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：3个");
  EXPECT_EQ(rig.state.Text(Counter::kList), "3");
  EXPECT_TRUE(rig.state.Enabled(Command::kValidate));
  EXPECT_TRUE(rig.state.Enabled(Command::kExport));
  EXPECT_EQ(rig.prompts.clipboard_clears, 1);
  EXPECT_EQ(rig.prompts.clipboard, "");
}

TEST(ListCommandsTest, ASocksRowKeepsItsSchemeThroughPasteAndExport) {
  ListRig rig;
  rig.prompts.clipboard = "socks5://3.3.3.3:1080\r\nhttp://4.4.4.4:80";
  rig.OnUi([&] { rig.commands.PasteFromClipboard(); });
  rig.commands.WaitIdle();
  ASSERT_EQ(rig.list.ListCount(), 2);
  EXPECT_EQ(rig.list.GetCell(0, kColAddress), "socks5://3.3.3.3");
  EXPECT_EQ(rig.list.GetCell(0, kColType), "SOCKS5");
  EXPECT_EQ(rig.list.GetCell(1, kColAddress), "4.4.4.4");
  EXPECT_EQ(rig.list.GetCell(1, kColType), "");
  const std::string chosen = rig.dir.File("out");
  rig.prompts.QueueFile(chosen);
  rig.OnUi([&] { rig.commands.ExportToFile(); });
  EXPECT_EQ(ReadWholeFile(chosen + ".txt"), "socks5://3.3.3.3:1080\r\n4.4.4.4:80");
}

TEST(ListCommandsTest, PasteWithoutProxiesLeavesTheButtonsAsTheyWere) {
  ListRig rig;
  rig.prompts.clipboard = "hello world";
  rig.OnUi([&] { rig.commands.PasteFromClipboard(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：0个");
  EXPECT_FALSE(rig.state.Enabled(Command::kValidate));
  EXPECT_FALSE(rig.state.Enabled(Command::kExport));
  EXPECT_EQ(rig.prompts.clipboard_clears, 1);
  // An empty clipboard does nothing at all.
  rig.OnUi([&] { rig.commands.PasteFromClipboard(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.prompts.clipboard_clears, 1);
}

TEST(ListCommandsTest, ExportWritesGbkCrLfLinesToTheNamePlusTxt) {
  ListRig rig;
  rig.OnUi([&] { rig.commands.ExportToFile(); });  // empty list: no dialog
  EXPECT_TRUE(rig.prompts.file_requests.empty());

  rig.list.AddRow(Entry("1.1.1.1", "80", "成功", "广东"));
  rig.list.AddRow(Entry("代理.example", "8080"));
  const std::string chosen = rig.dir.File("out.txt");
  rig.prompts.QueueFile(chosen);
  rig.OnUi([&] { rig.commands.ExportToFile(); });
  ASSERT_EQ(rig.prompts.file_requests.size(), 1u);
  EXPECT_TRUE(rig.prompts.file_requests[0].save);
  EXPECT_EQ(rig.prompts.file_requests[0].suggested_name.rfind("Proxies", 0), 0u);
  // ".txt" is added even to a name that has it.
  const std::optional<std::string> bytes = ReadWholeFile(chosen + ".txt");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, text::EncodeGbk("1.1.1.1:80\r\n代理.example:8080"));
  EXPECT_FALSE(FileExists(chosen));

  // Cancelled: nothing written.
  rig.OnUi([&] { rig.commands.ExportToFile(); });
  EXPECT_EQ(rig.prompts.file_requests.size(), 2u);
}

TEST(ListCommandsTest, DeleteTakesOnlyTheCurrentRowAndReenablesWhenEmpty) {
  ListRig rig;
  rig.list.AddRow(Entry("1.1.1.1", "80"));
  rig.list.AddRow(Entry("2.2.2.2", "80"));
  rig.state.SetEnabled({Command::kExport, Command::kValidate}, true);
  rig.state.SetEnabled(ContextItem::kFetchAnyCountry, false);

  // No current row: nothing deleted, nothing re-enabled.
  rig.OnUi([&] { rig.commands.DeleteCurrentRow(); });
  EXPECT_EQ(rig.list.ListCount(), 2);
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "");

  rig.list.SetCurrentRow(1);
  rig.list.SetSelectedRows({0, 1});
  rig.OnUi([&] { rig.commands.DeleteCurrentRow(); });
  EXPECT_EQ(rig.Addresses(), std::vector<std::string>{"1.1.1.1"});
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：1个");
  EXPECT_EQ(rig.state.Text(Counter::kList), "1");
  EXPECT_FALSE(rig.state.Enabled(ContextItem::kFetchAnyCountry));
  EXPECT_TRUE(rig.state.Enabled(Command::kExport));

  rig.list.SetCurrentRow(0);
  rig.OnUi([&] { rig.commands.DeleteCurrentRow(); });
  EXPECT_EQ(rig.list.ListCount(), 0);
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：0个");
  EXPECT_TRUE(rig.state.Enabled(ContextItem::kFetchAnyCountry));
  EXPECT_FALSE(rig.state.Enabled(Command::kExport));
  EXPECT_FALSE(rig.state.Enabled(Command::kValidate));
}

TEST(ListCommandsTest, ClearAsksFirstAndCancelChangesNothing) {
  ListRig rig;
  rig.OnUi([&] { rig.commands.ClearList(); });  // empty: no question
  EXPECT_TRUE(rig.prompts.messages.empty());

  rig.list.AddRow(Entry("1.1.1.1", "80", "失败"));
  rig.list.SetCheckState(0, CheckState{CheckStatus::kFailed});
  rig.state.SetText(control::kStatusLine, "共有代理IP：1个");
  rig.state.SetText(Counter::kFailure, "1");
  rig.state.SetEnabled({Command::kValidate, Command::kExport, Command::kCleanFailed}, true);
  rig.state.SetEnabled(Command::kFetch, false);
  rig.prompts.QueueAnswer(MessageAnswer::kCancel);
  rig.OnUi([&] { rig.commands.ClearList(); });
  ASSERT_EQ(rig.prompts.messages.size(), 1u);
  EXPECT_EQ(rig.prompts.messages[0].text, "你真的要清空所有代理IP吗？  ");
  EXPECT_EQ(rig.prompts.messages[0].buttons, MessageButtons::kOkCancel);
  EXPECT_EQ(rig.prompts.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(rig.list.ListCount(), 1);
  EXPECT_EQ(rig.list.GetCheckMark(0), CheckMark::kFailed);
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：1个");

  rig.OnUi([&] { rig.commands.ClearList(); });  // OK
  EXPECT_EQ(rig.list.ListCount(), 0);
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "");
  EXPECT_TRUE(rig.state.Enabled(Command::kFetch));
  EXPECT_TRUE(rig.state.Enabled(ContextItem::kFetchAnyCountry));
  for (Command off : {Command::kValidate, Command::kExport, Command::kCleanFailed}) {
    EXPECT_FALSE(rig.state.Enabled(off));
  }
  for (Counter counter : {Counter::kList, Counter::kSuccess, Counter::kFailure}) {
    EXPECT_EQ(rig.state.Text(counter), "0");
  }
  // The list file is not touched.
  EXPECT_FALSE(FileExists(rig.dir.File("The agent")));
}

TEST(ListCommandsTest, CleanupRemovesEveryFailedRowAndLaterDuplicates) {
  ListRig rig;
  rig.list.AddRows({Entry("1.1.1.1", "80", "失败"),  // row 0 failed: removed too
                    Entry("2.2.2.2", "80", "成功"), Entry("3.3.3.3", "80", "失败"),
                    Entry("3.3.3.3", "81", "失败"),  // failed rows that move up
                    Entry("ABC.example", "80", "成功"),
                    Entry("2.2.2.2", "8080", "成功"),    // same address, other port
                    Entry("abc.EXAMPLE", "1", "成功"),   // case ignored
                    Entry("4.4.4.4", "80", "失败了")});  // not exactly "失败"
  for (int i = 0; i < 7; ++i) rig.list.AddRow(Entry("5.5.5.5", std::to_string(i), "成功"));
  // Row 1 failed before and is being checked again: it stays, without its red.
  rig.list.SetCheckState(1, CheckState{CheckStatus::kFailed});
  rig.list.SetCheckState(1, CheckState{CheckStatus::kRunningPool});
  rig.OnUi([&] { rig.commands.CleanFailedAndDuplicates(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.Addresses(),
            (std::vector<std::string>{"2.2.2.2", "ABC.example", "4.4.4.4", "5.5.5.5"}));
  EXPECT_EQ(rig.list.GetCell(0, kColPort), "80");
  EXPECT_EQ(rig.list.GetCell(3, kColPort), "0");
  EXPECT_EQ(rig.list.GetCheckMark(0), CheckMark::kNone);
  EXPECT_EQ(rig.Statuses(),
            (std::vector<std::string>{"正在清理失败和重复代理IP....", "可用代理IP：4个"}));
  EXPECT_EQ(rig.state.Text(Counter::kList), "4");
}

TEST(ListCommandsTest, CleanupOfManyRowsIsConsistentAndReportsTheTrueTotal) {
  // Repeated runs: the two tasks finish in either order, and the status must always tell the
  // count of the list as the two left it.
  for (int run = 0; run < 20; ++run) {
    ListRig rig;
    std::vector<ProxyEntry> rows;
    for (int i = 0; i < 600; ++i) {
      rows.push_back(Entry("10.0.0." + std::to_string(i % 150), std::to_string(i),
                           i % 3 == 0 ? "失败" : "成功"));
    }
    rig.list.AddRows(rows);
    rig.OnUi([&] { rig.commands.CleanFailedAndDuplicates(); });
    rig.commands.WaitIdle();
    const std::vector<ProxyEntry> left = rig.list.Snapshot();
    std::set<std::string> seen;
    for (const ProxyEntry& row : left) {
      EXPECT_NE(row.cells[kColType], "失败");
      EXPECT_TRUE(seen.insert(row.cells[kColAddress]).second) << row.cells[kColAddress];
    }
    EXPECT_EQ(rig.state.Text(control::kStatusLine),
              "可用代理IP：" + std::to_string(left.size()) + "个");
  }
}

TEST(ListCommandsTest, CleanupOfAnEmptyListReportsZero) {
  ListRig rig;
  rig.OnUi([&] { rig.commands.CleanFailedAndDuplicates(); });
  rig.commands.WaitIdle();
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "可用代理IP：0个");
}

}  // namespace
}  // namespace lumvex
