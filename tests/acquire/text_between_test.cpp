#include "acquire/text_between.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumvex {
namespace {

using Texts = std::vector<std::string>;

TEST(EscapeMarker, EscapesOnlyGroupingAndRepetitionCharacters) {
  EXPECT_EQ(EscapeMarker("a?b*c+d[e]f(g)h{i}j"), "a\\?b\\*c\\+d\\[e\\]f\\(g\\)h\\{i\\}j");
  EXPECT_EQ(EscapeMarker(".\\^$|北京"), ".\\^$|北京");
  EXPECT_EQ(EscapeMarker(""), "");
}

TEST(AllTextsBetween, MarkersWithPatternCharactersMatchLiterally) {
  EXPECT_EQ(AllTextsBetween("f(x) = {1}; f(yy) = {22}", "f(", ")"), (Texts{"x", "yy"}));
  EXPECT_EQ(AllTextsBetween("f(x) = {1}; f(yy) = {22}", "{", "}"), (Texts{"1", "22"}));
  EXPECT_EQ(AllTextsBetween("<a href=\"list.php?id=3&p=1\"><a href=\"list.php?id=41&p=1\">",
                            "list.php?id=", "&"),
            (Texts{"3", "41"}));
  EXPECT_EQ(AllTextsBetween("[*] one [+] two [*]", "[*]", "[+]"), (Texts{" one "}));
}

TEST(AllTextsBetween, FullStopInAMarkerMatchesAnyCharacter) {
  EXPECT_EQ(AllTextsBetween("x.y:1; xzy:2; x京y:3;", "x.y:", ";"), (Texts{"1", "2", "3"}));
}

TEST(AllTextsBetween, PrefixAndSuffixWrapEveryText) {
  const std::string page = "<a href=\"a.html\">A</a> <a href=\"b.html\">B</a>";
  EXPECT_EQ(AllTextsBetween(page, "href=\"", "\"", "http://host/", "#top"),
            (Texts{"http://host/a.html#top", "http://host/b.html#top"}));
}

TEST(AllTextsBetween, ShortestTextsOnOneLine) {
  EXPECT_EQ(AllTextsBetween("<b>1</b><b>2</b>\r\n<b>3</b>", "<b>", "</b>"), (Texts{"1", "2", "3"}));
  EXPECT_EQ(AllTextsBetween("<b></b>", "<b>", "</b>"), (Texts{""}));
  // A text may not run over a line break; the search goes on with the next left marker.
  EXPECT_EQ(AllTextsBetween("<b>1\r\n</b><b>2</b>", "<b>", "</b>"), (Texts{"2"}));
  EXPECT_EQ(AllTextsBetween("<b>1\n</b>", "<b>", "</b>"), Texts{});
}

TEST(AllTextsBetween, MarkersIgnoreCaseAndChineseTextComesBackWhole) {
  EXPECT_EQ(
      AllTextsBetween("<OPTION>北京</option><option>上海市</OPTION>", "<option>", "</option>"),
      (Texts{"北京", "上海市"}));
}

TEST(AllTextsBetween, BadMarkersOrPagesGiveNothing) {
  EXPECT_EQ(AllTextsBetween("", "<b>", "</b>"), Texts{});
  EXPECT_EQ(AllTextsBetween("<b>x</b>", "<i>", "</i>"), Texts{});
  // A trailing backslash escapes the group's parenthesis: the pattern is invalid.
  EXPECT_EQ(AllTextsBetween("a\\x)b", "a\\", "b"), Texts{});
  EXPECT_EQ(AllTextsBetween("\xFF\xFE<b>\xC3</b>", "<b>", "</b>"), (Texts{"\xC3"}));
}

}  // namespace
}  // namespace lumvex
