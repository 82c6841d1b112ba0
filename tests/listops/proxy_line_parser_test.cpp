#include "proxylist/proxy_line_parser.h"

#include <gtest/gtest.h>

#include "text/codec.h"

namespace lumvex {
namespace {

ProxyEntry Row(std::string address, std::string port, std::string location = "") {
  ProxyEntry entry;
  entry.cells[kColAddress] = std::move(address);
  entry.cells[kColPort] = std::move(port);
  entry.cells[kColLocation] = std::move(location);
  return entry;
}

TEST(ParseProxyLineTest, LineFormsGiveTheirRows) {
  using Rows = std::vector<ProxyEntry>;
  // address:port, nothing trimmed.
  EXPECT_EQ(ParseProxyLine("1.2.3.4:8080"), (Rows{Row("1.2.3.4", "8080")}));
  EXPECT_EQ(ParseProxyLine(" 1.2.3.4 : 80 "), (Rows{Row(" 1.2.3.4 ", " 80 ")}));
  // @type#location: one row with the location; text after a second "#" is cut.
  EXPECT_EQ(ParseProxyLine("1.2.3.4:80@HTTP#广东省"), (Rows{Row("1.2.3.4", "80", "广东省")}));
  EXPECT_EQ(ParseProxyLine("1.2.3.4:80@HTTP#广东#省"), (Rows{Row("1.2.3.4", "80", "广东")}));
  // @type alone: the type is dropped.
  EXPECT_EQ(ParseProxyLine("1.2.3.4:80@HTTP"), (Rows{Row("1.2.3.4", "80")}));
  // @type;location: two rows, the second with the location.
  EXPECT_EQ(ParseProxyLine("1.2.3.4:80@HTTP;广东省"),
            (Rows{Row("1.2.3.4", "80"), Row("1.2.3.4", "80", "广东省")}));
  // "@", "#" and ";": the "#" row, then the ";" row.
  EXPECT_EQ(ParseProxyLine("1.2.3.4:80@HTTP#北京;上海"),
            (Rows{Row("1.2.3.4", "80", "北京;上海"), Row("1.2.3.4", "80", "上海")}));
  // A "#" at the very end gives no "#" row (its second piece is dropped).
  EXPECT_EQ(ParseProxyLine("1.2.3.4:80@HTTP#"), Rows{});
  // ";" without "@" is part of the port.
  EXPECT_EQ(ParseProxyLine("1.2.3.4:80;x"), (Rows{Row("1.2.3.4", "80;x")}));
}

TEST(ParseProxyLineTest, ColonsDecideWhetherThereIsARow) {
  EXPECT_TRUE(ParseProxyLine("1.2.3.4").empty());
  EXPECT_TRUE(ParseProxyLine("").empty());
  EXPECT_TRUE(ParseProxyLine("1.2.3.4:").empty());  // the empty last piece is dropped
  // Two colons: the text between them is the port.
  EXPECT_EQ(ParseProxyLine("1.2.3.4:80:90"), (std::vector<ProxyEntry>{Row("1.2.3.4", "80")}));
  EXPECT_EQ(ParseProxyLine(":80"), (std::vector<ProxyEntry>{Row("", "80")}));
}

TEST(ParseProxyLinesTest, CrLfAndBareLfLinesBothWork) {
  const std::vector<ProxyEntry> expected = {Row("1.1.1.1", "80"), Row("2.2.2.2", "8080")};
  EXPECT_EQ(ParseProxyLines("1.1.1.1:80\r\n2.2.2.2:8080"), expected);
  EXPECT_EQ(ParseProxyLines("1.1.1.1:80\n2.2.2.2:8080\n"), expected);
  EXPECT_EQ(ParseProxyLines("1.1.1.1:80\r\n\r\njunk\r\n2.2.2.2:8080\r\n"), expected);
  EXPECT_TRUE(ParseProxyLines("").empty());
}

TEST(ExportTextTest, LinesJoinedByCrLfWithoutTrailingLineEnd) {
  EXPECT_EQ(ExportText({}), "");
  EXPECT_EQ(ExportText({Row("1.1.1.1", "80", "x")}), "1.1.1.1:80");
  EXPECT_EQ(ExportText({Row("1.1.1.1", "80"), Row("2.2.2.2", "8080")}),
            "1.1.1.1:80\r\n2.2.2.2:8080");
}

TEST(DecodeImportBytesTest, GbkIsTheDefaultAndUtf8IsRecognised) {
  const std::string utf8 = "1.1.1.1:80@HTTP#广东省\r\n";
  const std::string gbk = text::EncodeGbk(utf8);
  ASSERT_NE(gbk, utf8);
  EXPECT_EQ(DecodeImportBytes(gbk), utf8);
  // Valid UTF-8 that is not valid GBK.
  ASSERT_FALSE(IsValidGbk(utf8));
  EXPECT_EQ(DecodeImportBytes(utf8), utf8);
  // With a byte-order mark, which is dropped.
  EXPECT_EQ(DecodeImportBytes("\xEF\xBB\xBF" + utf8), utf8);
  // Plain ASCII is the same either way.
  EXPECT_EQ(DecodeImportBytes("1.1.1.1:80"), "1.1.1.1:80");
  // Neither: decoded as GBK with replacement characters, the rest kept.
  const std::string broken = "1.1.1.1:80\xFF\r\n2.2.2.2:90";
  const std::string decoded = DecodeImportBytes(broken);
  EXPECT_NE(decoded.find("2.2.2.2:90"), std::string::npos);
}

TEST(DecodeImportBytesTest, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8("abc 广东"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE5\xB9"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xF5\x80\x80\x80"));  // past U+10FFFF
}

}  // namespace
}  // namespace lumvex
