#include "update/manifest_page.h"

#include <gtest/gtest.h>

#include "text/codec.h"
#include "update_servers/manifest_server.h"

namespace lumvex::update {
namespace {

std::string Gbk(const std::string& utf8) { return text::EncodeGbk(utf8); }

TEST(ManifestFieldTest, MarkersIgnoreCaseAndTheFirstOccurrenceWins) {
  EXPECT_EQ(ManifestField(Gbk("x VER：【1.4】ver y"), "Ver：【", "】Ver"), "1.4");
  EXPECT_EQ(
      ManifestField(Gbk("新版本：【一】新版本 新版本：【二】新版本"), "新版本：【", "】新版本"),
      "一");
  // The closing marker is searched from the value's start: "】" alone does not end the value,
  // "】" followed by the name does.
  EXPECT_EQ(ManifestField(Gbk("新版本：【a】b】新版本】新版本"), "新版本：【", "】新版本"), "a】b");
  EXPECT_EQ(ManifestField(Gbk("新版本：【】新版本"), "新版本：【", "】新版本"), "");
}

TEST(ManifestFieldTest, AMissingMarkerGivesEmpty) {
  EXPECT_EQ(ManifestField(Gbk("1.4】新版本"), "新版本：【", "】新版本"), "");
  EXPECT_EQ(ManifestField(Gbk("新版本：【1.4"), "新版本：【", "】新版本"), "");
  // A closing marker before the opening one does not count.
  EXPECT_EQ(ManifestField(Gbk("】新版本 新版本：【1.4"), "新版本：【", "】新版本"), "");
  EXPECT_EQ(ManifestField("", "新版本：【", "】新版本"), "");
}

TEST(ManifestFieldTest, MatchesOnlyWholeGbkCharacters) {
  // 0x81 0x41 is one double-byte character whose second byte reads as "A".
  EXPECT_EQ(FindGbkIgnoringCase("\x81"
                                "AB",
                                "AB"),
            std::string::npos);
  EXPECT_EQ(FindGbkIgnoringCase("\x81"
                                "AAB",
                                "ab"),
            2u);
  // The second byte of a double-byte character is compared exactly, never case-folded.
  EXPECT_EQ(FindGbkIgnoringCase("\x81\x61", "\x81\x41"), std::string::npos);
  EXPECT_EQ(FindGbkIgnoringCase("abc", ""), std::string::npos);
}

TEST(ManifestFieldTest, TheFieldsAreCutFromGbkBytesNotFromAUtf8Page) {
  ManifestPage gbk(Gbk("<p>新版本：【LumvexIP代理验证 V1.4】新版本</p>"));
  EXPECT_TRUE(gbk.IsManifest());
  EXPECT_EQ(gbk.Field("新版本"), "LumvexIP代理验证 V1.4");
  // The same page sent as UTF-8 carries no field the GBK markers find.
  ManifestPage utf8("<p>新版本：【LumvexIP代理验证 V1.4】新版本</p>");
  EXPECT_EQ(utf8.Field("新版本"), "");
  // A lead byte just before "】" takes the marker's first byte with it: the marker is not
  // there, as a GBK reader sees the page.
  EXPECT_EQ(ManifestPage(Gbk("新版本：【a") + "\x81" + Gbk("】新版本")).Field("新版本"), "");
  EXPECT_FALSE(ManifestPage(Gbk("<html>没有字段</html>")).IsManifest());
  // A page is text up to its first zero byte.
  EXPECT_FALSE(ManifestPage(std::string("x\0", 2) + Gbk("【")).IsManifest());
}

TEST(ManifestFieldTest, BlankMeansOnlyAsciiAndFullWidthSpaces) {
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank("  　 　"));
  EXPECT_FALSE(IsBlank(" x "));
  EXPECT_FALSE(IsBlank("\t"));
  EXPECT_EQ(WithoutSpaces(" 0 |　0 "), "0|0");
}

TEST(ManifestFieldTest, ReadsEveryFieldOfTheLoopbackPage) {
  tools::ManifestContent content;
  content.download_address = "http://127.0.0.1:1/new";
  content.notes = {"一号", "", "三号", "", "", "", "", "", "九号"};
  ManifestPage page(Gbk(tools::ManifestPageText(content)));
  UpdateFields fields = ReadUpdateFields(page);
  EXPECT_EQ(fields.old_version, "LumvexIP代理验证 V1.3");
  EXPECT_EQ(fields.new_version, "LumvexIP代理验证 V1.4");
  EXPECT_EQ(fields.notes[0], "一号");
  EXPECT_EQ(fields.notes[1], "");
  EXPECT_EQ(fields.notes[8], "九号");
  EXPECT_EQ(fields.download_address, "http://127.0.0.1:1/new");
  RemoteSettings settings = ReadRemoteSettings(page);
  // "托盘网址" is not confused with "托盘网址一".
  EXPECT_EQ(settings.tray_caption, "www.lumvex.example.com");
  EXPECT_EQ(settings.tray_address, "http://www.lumvex.example.com/");
  EXPECT_EQ(settings.links[2], "0|0");
  EXPECT_EQ(settings.picture_visible, "yes");
}

}  // namespace
}  // namespace lumvex::update
