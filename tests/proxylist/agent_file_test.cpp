#include "proxylist/agent_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "entry_printer.h"
#include "platform/headless_ui_thread.h"
#include "proxylist/proxy_list.h"
#include "text/codec.h"

namespace lumvex {
namespace {

namespace fs = std::filesystem;

ProxyEntry Entry(std::string a, std::string b, std::string c, std::string d, std::string e,
                 std::string f) {
  ProxyEntry row;
  row.cells = {std::move(a), std::move(b), std::move(c), std::move(d), std::move(e), std::move(f)};
  return row;
}

using Rows = std::vector<ProxyEntry>;

// File bytes written in readable text.
std::string Gbk(std::string_view utf8) { return text::EncodeGbk(utf8); }

// GBK bytes of the Chinese texts used below.
constexpr char kGuangdongGbk[] = "\xB9\xE3\xB6\xAB";  // 广东
constexpr char kSuccessGbk[] = "\xB3\xC9\xB9\xA6";    // 成功
constexpr char kIdeographicSpace[] = "\xA1\xA1";      // U+3000
constexpr char kBarTrailGbk[] = "\x81\x7C";           // 亅: its second byte is a bar

TEST(AgentTextTest, TwoRowsGiveTwoLinesWithoutFinalLineEnd) {
  const Rows rows = {Entry("1.2.3.4", "80", "成功", "0.5", "广东", "1天"),
                     Entry("5.6.7.8", "3128", "HTTP", "", "", "")};
  const std::string expected = std::string("1.2.3.4 | 80 | ") + kSuccessGbk + " | 0.5 | " +
                               kGuangdongGbk + " | 1\xCC\xEC" + "\r\n" +
                               "5.6.7.8 | 3128 | HTTP |  |  | ";
  EXPECT_EQ(FormatAgentText(rows), expected);
  EXPECT_EQ(ParseAgentText(expected), rows);
  EXPECT_EQ(FormatAgentText(Rows{}), "");
  EXPECT_TRUE(ParseAgentText("").empty());
}

TEST(AgentTextTest, RowsComeBackCellForCell) {
  const Rows rows = {Entry("", "", "", "", "", ""),
                     Entry("10.0.0.1", "8080", "高匿", "1.25", "美国 加利福尼亚", "3小时"),
                     Entry("host.example", "1", "", "", "亅丨", "x"),
                     Entry("10.0.0.1", "8080", "高匿", "1.25", "美国 加利福尼亚", "3小时")};
  EXPECT_EQ(ParseAgentText(FormatAgentText(rows)), rows);
}

TEST(AgentTextTest, BarByteInsideAChineseCharacterDoesNotSplitTheCell) {
  const std::string line = std::string("1.1.1.1|80|HTTP|1|") + kBarTrailGbk + "|2";
  EXPECT_EQ(ParseAgentText(line), (Rows{Entry("1.1.1.1", "80", "HTTP", "1", "亅", "2")}));
}

TEST(AgentTextTest, BarInsideACellSplitsItAndLosesTheLastCell) {
  const Rows rows = {Entry("1.1.1.1", "80", "a|b", "0.1", "loc", "lost")};
  EXPECT_EQ(ParseAgentText(FormatAgentText(rows)),
            (Rows{Entry("1.1.1.1", "80", "a", "b", "0.1", "loc")}));
}

TEST(AgentTextTest, LineEndsAndShortLines) {
  // A final line end, empty lines and one-field lines add nothing.
  EXPECT_EQ(ParseAgentText("a | b | c | d | e | f\r\n"),
            (Rows{Entry("a", "b", "c", "d", "e", "f")}));
  EXPECT_EQ(ParseAgentText("\r\n\r\nonly one field\r\n|\r\nx|\r\n"), Rows{});
  // Two to five fields load with the missing cells empty.
  EXPECT_EQ(ParseAgentText(Gbk("1.1.1.1|80\r\n2.2.2.2|81|HTTP|0.3|北京")),
            (Rows{Entry("1.1.1.1", "80", "", "", "", ""),
                  Entry("2.2.2.2", "81", "HTTP", "0.3", "北京", "")}));
  // Two bars with nothing between them are still two fields.
  EXPECT_EQ(ParseAgentText("||"), (Rows{Entry("", "", "", "", "", "")}));
  // Fields after the sixth are dropped.
  EXPECT_EQ(ParseAgentText("1|2|3|4|5|6|7|8"), (Rows{Entry("1", "2", "3", "4", "5", "6")}));
}

TEST(AgentTextTest, EveryLineEndStyleGivesEveryRow) {
  // A list edited by hand on Linux or a Mac: five rows, whatever ends the lines.
  const Rows five = {Entry("1.1.1.1", "80", "", "", "", ""), Entry("2.2.2.2", "81", "", "", "", ""),
                     Entry("3.3.3.3", "82", "", "", "", ""), Entry("4.4.4.4", "83", "", "", "", ""),
                     Entry("5.5.5.5", "84", "", "", "", "")};
  for (const std::string_view end : {"\r\n", "\n", "\r"}) {
    for (const bool final_end : {false, true}) {
      std::string file;
      for (std::size_t i = 0; i < five.size(); ++i) {
        if (i > 0) file += end;
        file += five[i].cells[0] + " | " + five[i].cells[1];
      }
      if (final_end) file += end;
      const AgentFileContent content = ParseAgentFile(file);
      EXPECT_EQ(ToEntries(content.rows), five) << file;
      EXPECT_EQ(content.unread_lines, 0u) << file;
    }
  }
  // Mixed ends, a blank line between: "\r" then "\n" is one end, "\n" then "\r" two.
  EXPECT_EQ(ParseAgentText("a|b\nc|d\r\ne|f\n\rg|h\r").size(), 4u);
}

TEST(AgentTextTest, Utf8FilesAreReadAsUtf8AndUnreadLinesCounted) {
  struct Case {
    std::string bytes;
    Rows rows;
    std::size_t unread;
  };
  const Case cases[] = {
      {"1.1.1.1 | 80 | HTTP |  | 本地测试 | \n2.2.2.2 | 81",
       {Entry("1.1.1.1", "80", "HTTP", "", "本地测试", ""), Entry("2.2.2.2", "81", "", "", "", "")},
       0},
      {"\xEF\xBB\xBF"
       "1.1.1.1|80|||广东|\r\n",
       {Entry("1.1.1.1", "80", "", "", "广东", "")},
       0},
      {Gbk("1.1.1.1|80|||广东|"), {Entry("1.1.1.1", "80", "", "", "广东", "")}, 0},
      {"junk\r\n   \r\n1.1.1.1|80\r\n\r\nmore junk", {Entry("1.1.1.1", "80", "", "", "", "")}, 2},
  };
  for (const Case& c : cases) {
    const AgentFileContent content = ParseAgentFile(c.bytes);
    EXPECT_EQ(ToEntries(content.rows), c.rows) << c.bytes;
    EXPECT_EQ(content.unread_lines, c.unread) << c.bytes;
  }
}

TEST(AgentTextTest, AsciiAndIdeographicSpacesAreTrimmed) {
  const std::string line = Gbk(" 　1.1.1.1　 |  80  |　|\t0.5\t| 广 东 |　　");
  ASSERT_NE(line.find(kIdeographicSpace), std::string::npos);
  // Tabs are not spaces here; inner spaces stay.
  EXPECT_EQ(ParseAgentText(line), (Rows{Entry("1.1.1.1", "80", "", "\t0.5\t", "广 东", "")}));
}

TEST(AgentTextTest, InvalidGbkBytesDoNotCutOffTheFile) {
  // 0x81 starts a double byte but is followed by a byte that cannot end one, or by a line end.
  const std::string bytes = "1.1.1.1|80|\x81\x7F\r\n2.2.2.2|81|x\x81\r\n3.3.3.3|82|" +
                            std::string(kSuccessGbk) + "\r\n\x81";
  const Rows rows = ParseAgentText(bytes);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], Entry("1.1.1.1", "80", "\xEF\xBF\xBD\x7F", "", "", ""));
  EXPECT_EQ(rows[1], Entry("2.2.2.2", "81", "x\xEF\xBF\xBD", "", "", ""));
  EXPECT_EQ(rows[2], Entry("3.3.3.3", "82", "成功", "", "", ""));
}

// A long file is parsed in pieces on several threads: every kind of line, wherever it falls
// relative to a cut, must give exactly what parsing it on its own gives.
TEST(AgentTextTest, LongFileGivesTheSameRowsAsItsLinesOneByOne) {
  const std::vector<std::string> kinds = {
      Gbk("1.2.3.4 | 80 | HTTP | 0.5 | ") + kGuangdongGbk + " | 1",
      "",
      "only-one-field",
      "5.6.7.8|3128",
      std::string("9.9.9.9 | 8080 | ") + kSuccessGbk + " | | \x81 | x",
      std::string(kIdeographicSpace) + "a|b|c|d|e|f|g|h",
      "lone\rcarriage | and\nline feed",
  };
  std::string file;
  Rows expected;
  for (int i = 0; i < 100000; ++i) {
    std::string line = kinds[static_cast<std::size_t>(i) % kinds.size()] + std::to_string(i);
    if (i > 0) file += "\r\n";
    file += line;
    Rows one = ParseAgentText(line);
    expected.insert(expected.end(), one.begin(), one.end());
  }
  ASSERT_GT(file.size(), 2u * 1024 * 1024);
  const Rows parsed = ParseAgentText(file);
  ASSERT_EQ(parsed.size(), expected.size());
  EXPECT_TRUE(parsed == expected);
}

TEST(AgentTextTest, CharactersOutsideGbkTravelAsGb18030) {
  const Rows rows = {Entry("a", "b", "\xF0\x9F\x98\x80", "", "한", "")};
  const std::string bytes = FormatAgentText(rows);
  EXPECT_EQ(bytes, "a | b | \x94\x39\xFC\x36 |  | \x83\x36\x84\x33 | ");
  EXPECT_EQ(ParseAgentText(bytes), rows);
}

// Rows whose GBK bytes are also valid UTF-8 are saved as GBK all the same, without a byte-order
// mark, and load back the same. 锘縪 in GBK is EF BB BF 6F, a UTF-8 byte-order mark and "o".
TEST(AgentTextTest, RowsWhoseGbkBytesLookLikeUtf8AreSavedAsGbkAndLoadBack) {
  struct Case {
    Rows rows;
    std::string bytes;
  };
  const Case cases[] = {
      {{Entry("1.2.3.4", "8080", "HTTP", "0.35", "未知", "1")},
       "1.2.3.4 | 8080 | HTTP | 0.35 | \xCE\xB4\xD6\xAA | 1"},
      {{Entry("1.2.3.4", "80", "", "", "平台", ""), Entry("5.6.7.8", "81", "", "", "学校", "")},
       "1.2.3.4 | 80 |  |  | \xC6\xBD\xCC\xA8 | \r\n5.6.7.8 | 81 |  |  | \xD1\xA7\xD0\xA3 | "},
      {{Entry("1.2.3.4", "80", "", "", "锘縪", "")}, "1.2.3.4 | 80 |  |  | \xEF\xBB\xBF\x6F | "},
      // The file would start with a byte-order mark's bytes: a space goes first.
      {{Entry("锘縪", "80", "", "", "", "")}, " \xEF\xBB\xBF\x6F | 80 |  |  |  | "},
      {{Entry("1.2.3.4", "80", "成功", "", "锘縪", "")},
       "1.2.3.4 | 80 | \xB3\xC9\xB9\xA6 |  | \xEF\xBB\xBF\x6F | "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatAgentText(c.rows), c.bytes) << c.bytes;
    const AgentFileContent content = ParseAgentFile(c.bytes);
    EXPECT_EQ(ToEntries(content.rows), c.rows) << c.bytes;
    EXPECT_FALSE(content.read_as_utf8) << c.bytes;
  }
}

// Earlier versions saved such rows as UTF-8 behind a byte-order mark; those files still load.
TEST(AgentTextTest, FilesWithAByteOrderMarkStillLoad) {
  const AgentFileContent content = ParseAgentFile(
      "\xEF\xBB\xBF"
      "1.2.3.4 | 8080 | HTTP | 0.35 | 未知 | 1\r\n5.6.7.8 | 80");
  EXPECT_EQ(ToEntries(content.rows), (Rows{Entry("1.2.3.4", "8080", "HTTP", "0.35", "未知", "1"),
                                           Entry("5.6.7.8", "80", "", "", "", "")}));
  EXPECT_TRUE(content.read_as_utf8);
  EXPECT_EQ(FormatAgentText(content.rows),
            "1.2.3.4 | 8080 | HTTP | 0.35 | \xCE\xB4\xD6\xAA | 1\r\n5.6.7.8 | 80 |  |  |  | ");
}

class AgentFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "agent-file-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    data_dir_ = (root_ / "data").string();
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  fs::path root_;
  std::string data_dir_;
  HeadlessUiThread ui_;
  ProxyList list_{ui_};
};

TEST_F(AgentFileTest, SaveCreatesTheDataDirectoryAndLoadBringsTheRowsBack) {
  const Rows rows = {Entry("1.2.3.4", "80", "成功", "0.5", "广东", "1天"),
                     Entry("5.6.7.8", "3128", "失败", "", "", "")};
  list_.AddRows(rows);
  ASSERT_TRUE(SaveAgentFile(list_, DataDir(data_dir_)));
  EXPECT_EQ(AgentFilePath(DataDir(data_dir_)), data_dir_ + "/The agent");
  EXPECT_EQ(ReadFile(AgentFilePath(DataDir(data_dir_))), FormatAgentText(rows));
  // Only the file itself is left: the write went through a temporary that is gone.
  EXPECT_EQ(std::distance(fs::directory_iterator(data_dir_), fs::directory_iterator()), 1);

  ProxyList other(ui_);
  other.AddRow(Entry("stale", "", "", "", "", ""));
  ASSERT_TRUE(LoadAgentFile(other, DataDir(data_dir_)));
  EXPECT_EQ(other.Snapshot(), rows);
  // A trailing slash on the directory names the same file.
  ASSERT_TRUE(LoadAgentFile(other, DataDir(data_dir_ + "/")));
  EXPECT_EQ(other.ListCount(), 2);
}

TEST_F(AgentFileTest, SavingAnEmptyListKeepsThePreviousFile) {
  fs::create_directory(data_dir_);
  const std::string old = "9.9.9.9 | 99 | HTTP |  |  | ";
  WriteFile(AgentFilePath(DataDir(data_dir_)), old);
  EXPECT_FALSE(SaveAgentFile(list_, DataDir(data_dir_)));
  EXPECT_EQ(ReadFile(AgentFilePath(DataDir(data_dir_))), old);

  // Clear the list, "quit", "start": the old rows are back.
  list_.AddRow(Entry("1.1.1.1", "1", "", "", "", ""));
  list_.DeleteAllRows();
  EXPECT_FALSE(SaveAgentFile(list_, DataDir(data_dir_)));
  ASSERT_TRUE(LoadAgentFile(list_, DataDir(data_dir_)));
  EXPECT_EQ(list_.Snapshot(), (Rows{Entry("9.9.9.9", "99", "HTTP", "", "", "")}));

  // With no file and no rows nothing is created either.
  const std::string elsewhere = (root_ / "never").string();
  EXPECT_FALSE(SaveAgentFile(ProxyList(ui_), DataDir(elsewhere)));
  EXPECT_FALSE(fs::exists(elsewhere));
}

TEST_F(AgentFileTest, MissingFileEmptiesTheList) {
  list_.AddRow(Entry("1.1.1.1", "1", "", "", "", ""));
  list_.SetCurrentRow(0);
  EXPECT_FALSE(LoadAgentFile(list_, DataDir(data_dir_)));
  EXPECT_EQ(list_.ListCount(), 0);
  EXPECT_EQ(list_.CurrentRow(), -1);
}

TEST_F(AgentFileTest, UnwritableDirectoryFailsQuietly) {
  list_.AddRow(Entry("1.1.1.1", "1", "", "", "", ""));
  // The data directory is created one level only: a missing parent is a failure, not a crash.
  EXPECT_FALSE(SaveAgentFile(list_, DataDir((root_ / "no" / "such" / "data").string())));
  // A file standing where the directory should be.
  WriteFile((root_ / "plain").string(), "x");
  EXPECT_FALSE(SaveAgentFile(list_, DataDir((root_ / "plain").string())));
  EXPECT_EQ(ReadFile((root_ / "plain").string()), "x");
}

TEST_F(AgentFileTest, LoadOfAMalformedFileKeepsWhatItCanRead) {
  fs::create_directory(data_dir_);
  WriteFile(AgentFilePath(DataDir(data_dir_)),
            std::string("garbage\r\n\x81 zz|x\r\n\r\n1.1.1.1|80|") + kSuccessGbk + "\r\n");
  const std::string original = ReadFile(AgentFilePath(DataDir(data_dir_)));
  std::optional<AgentFileContent> content = ReadAgentFile(DataDir(data_dir_));
  ASSERT_TRUE(content);
  EXPECT_EQ(content->unread_lines, 1u);
  ASSERT_TRUE(FillFromAgentRows(list_, content));
  EXPECT_EQ(list_.Snapshot(), (Rows{Entry("\xEF\xBF\xBD zz", "x", "", "", "", ""),
                                    Entry("1.1.1.1", "80", "成功", "", "", "")}));
  // The skipped line survives the next save in a copy of the file as it was.
  ASSERT_TRUE(content->unread_copy.starts_with("The agent.unread-"));
  EXPECT_EQ(ReadFile(data_dir_ + "/" + content->unread_copy), original);
  ASSERT_TRUE(SaveAgentFile(list_, DataDir(data_dir_)));
  EXPECT_EQ(ReadFile(data_dir_ + "/" + content->unread_copy), original);
  // A file that reads whole leaves no copy.
  fs::remove(data_dir_ + "/" + content->unread_copy);
  content = ReadAgentFile(DataDir(data_dir_));
  ASSERT_TRUE(content);
  EXPECT_EQ(content->unread_copy, "");
  EXPECT_EQ(std::distance(fs::directory_iterator(data_dir_), fs::directory_iterator()), 1);
}

// A list read as UTF-8 that GBK could read too is kept as it was before the next save writes GBK;
// one that only UTF-8 can read, or that is GBK, is not copied.
TEST_F(AgentFileTest, FileReadAsUtf8ThatGbkCouldReadIsKeptBesideIt) {
  struct Case {
    std::string bytes;
    bool copied;
  };
  const Case cases[] = {
      // 本地测试 in UTF-8 is also GBK (鏈湴娴嬭瘯).
      {"1.2.3.4 | 8080 | HTTP | 0.35 | 本地测试 | 1", true},
      // 北京市 is nine bytes: its last byte has no GBK partner.
      {"1.2.3.4 | 8080 | HTTP | 0.35 | 北京市 | 1", false},
      {"1.2.3.4 | 8080 | HTTP | 0.35 | \xCE\xB4\xD6\xAA | 1", false},
  };
  for (const Case& c : cases) {
    fs::remove_all(data_dir_);
    fs::create_directory(data_dir_);
    WriteFile(AgentFilePath(DataDir(data_dir_)), c.bytes);
    std::optional<AgentFileContent> content = ReadAgentFile(DataDir(data_dir_));
    ASSERT_TRUE(content);
    EXPECT_FALSE(content->utf8_copy_failed);
    const auto files = std::distance(fs::directory_iterator(data_dir_), fs::directory_iterator());
    if (!c.copied) {
      EXPECT_EQ(content->utf8_copy, "") << c.bytes;
      EXPECT_EQ(files, 1) << c.bytes;
      continue;
    }
    ASSERT_TRUE(content->utf8_copy.starts_with("The agent.utf8-")) << content->utf8_copy;
    EXPECT_EQ(files, 2);
    ASSERT_TRUE(FillFromAgentRows(list_, content));
    ASSERT_TRUE(SaveAgentFile(list_, DataDir(data_dir_)));
    EXPECT_EQ(ReadFile(data_dir_ + "/" + content->utf8_copy), c.bytes);
    EXPECT_EQ(ReadFile(AgentFilePath(DataDir(data_dir_))), Gbk(c.bytes));
    // The saved file is GBK and reads as GBK: no second copy.
    content = ReadAgentFile(DataDir(data_dir_));
    ASSERT_TRUE(content);
    EXPECT_EQ(content->utf8_copy, "");
  }
}

TEST(UnreadCopyNameTest, StampsDateAndTime) {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 8;
  local.tm_hour = 7;
  local.tm_min = 5;
  local.tm_sec = 9;
  EXPECT_EQ(UnreadCopyName(local), "The agent.unread-20261208-070509");
  EXPECT_EQ(Utf8CopyName(local), "The agent.utf8-20261208-070509");
}

}  // namespace
}  // namespace lumvex
