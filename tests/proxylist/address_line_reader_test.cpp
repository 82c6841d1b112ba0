#include "proxylist/address_line_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lumvex {
namespace {

// Every line the reader hands out, and the numbers of the long lines it skipped.
struct Lines {
  std::vector<std::string> lines;
  std::vector<std::size_t> long_lines;
  bool nul = false;
};

Lines ReadAll(const std::string& input) {
  std::istringstream in(input);
  AddressLineReader reader(in);
  Lines out;
  std::string line;
  while (reader.Next(line)) out.lines.push_back(line);
  out.long_lines = reader.LongLines();
  out.nul = reader.StoppedAtNul();
  return out;
}

TEST(AddressLineReaderTest, CutsLinesAsEveryLineEndSays) {
  const std::string long_line(AddressLineReader::kMaxLineBytes + 1, 'x');
  const std::string longest(AddressLineReader::kMaxLineBytes, 'y');
  struct Case {
    std::string input;
    std::vector<std::string> lines;
    std::vector<std::size_t> long_lines;
    bool nul;
  };
  const Case cases[] = {
      {"", {}, {}, false},
      {"a", {"a"}, {}, false},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}, {}, false},
      {"a\r\n", {"a"}, {}, false},
      {"\n\n", {"", ""}, {}, false},
      {"a\n\rb", {"a", "", "b"}, {}, false},
      {"\xEF\xBB\xBF"
       "a\n\xEF\xBB\xBF"
       "b",
       {"a",
        "\xEF\xBB\xBF"
        "b"},
       {},
       false},
      {longest + "\n" + long_line + "\r\nz", {longest, "z"}, {2}, false},
      {long_line + long_line + "\n" + long_line, {}, {1, 2}, false},
      {std::string("a\nb\0c\nd", 7), {"a"}, {}, true},
      {std::string(200000, '\0'), {}, {}, true},
  };
  for (const Case& c : cases) {
    const Lines got = ReadAll(c.input);
    EXPECT_EQ(got.lines, c.lines) << c.input.substr(0, 40);
    EXPECT_EQ(got.long_lines, c.long_lines) << c.input.substr(0, 40);
    EXPECT_EQ(got.nul, c.nul) << c.input.substr(0, 40);
  }
}

TEST(AddressLineReaderTest, LineEndsSplitBetweenReadsStillCount) {
  // "\r" ends one read of 64 KiB and "\n" begins the next: one line end, not two.
  std::string input(64 * 1024 - 1, ' ');
  input += "\r\n1.1.1.1:80";
  const Lines got = ReadAll(input);
  ASSERT_EQ(got.lines.size(), 1u);  // the blank line (over 4 KiB) is skipped
  EXPECT_EQ(got.lines[0], "1.1.1.1:80");
  EXPECT_EQ(got.long_lines, std::vector<std::size_t>{1});
}

TEST(AddressLineReaderTest, RowsAndSkippedLinesAreReported) {
  std::vector<std::string> skipped;
  std::vector<ProxyEntry> rows;
  const std::string input = "1.1.1.1:80\r\nnot a proxy\n\n" +
                            std::string(AddressLineReader::kMaxLineBytes + 1, 'x') +
                            "\r2.2.2.2:8080@HTTP#\xB1\xB1\xBE\xA9";
  const AddressReadSummary summary = ReadAddressLines(
      input, LineEncoding::kGbk,
      [&rows](std::vector<ProxyEntry>&& got) {
        rows.insert(rows.end(), got.begin(), got.end());
        return true;
      },
      [&skipped](std::size_t number, SkipReason reason, std::string_view line) {
        skipped.push_back(std::to_string(number) +
                          (reason == SkipReason::kTooLong ? " long" : " " + std::string(line)));
      });
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].cells[kColLocation], "北京");
  EXPECT_EQ(skipped, (std::vector<std::string>{"2 not a proxy", "4 long"}));
  EXPECT_EQ(summary.lines, 5u);
  EXPECT_EQ(summary.skipped, 2u);
}

TEST(AddressLineReaderTest, DirectoryAndEndlessInputEndWithoutThrowing) {
  std::ifstream directory("/", std::ios::binary);
  const AddressReadSummary read = ReadAddressLines(directory, LineEncoding::kEachLine,
                                                   [](std::vector<ProxyEntry>&&) { return true; });
  EXPECT_TRUE(read.read_failed);
  std::ifstream zero("/dev/zero", std::ios::binary);
  const AddressReadSummary endless = ReadAddressLines(
      zero, LineEncoding::kEachLine, [](std::vector<ProxyEntry>&&) { return true; });
  EXPECT_TRUE(endless.stopped_at_nul);
  EXPECT_EQ(endless.lines, 0u);
}

TEST(SniffUtf8Test, DecidesOverTheWholeStreamAndRewinds) {
  struct Case {
    std::string bytes;
    bool utf8;
  };
  // The UTF-8 character sits beyond the first read of 64 KiB; GBK bytes there decide GBK.
  const std::string ascii(70000, 'a');
  const Case cases[] = {{ascii, false},
                        {ascii + "本地测试", true},
                        {"本地" + ascii + "\xB1\xB1", false},
                        {"\xEF\xBB\xBF" + ascii, true}};
  for (const Case& c : cases) {
    std::istringstream in(c.bytes);
    EXPECT_EQ(SniffUtf8(in), std::optional<bool>(c.utf8));
    EXPECT_EQ(in.tellg(), 0);
  }
}

}  // namespace
}  // namespace lumvex
