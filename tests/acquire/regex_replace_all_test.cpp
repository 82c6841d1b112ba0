#include "acquire/regex_replace_all.h"

#include <gtest/gtest.h>

namespace lumvex {
namespace {

TEST(RegexReplaceAll, RemovesUnitWordsFromSpeedCells) {
  EXPECT_EQ(RegexReplaceAll("1.5秒", "秒", ""), "1.5");
  EXPECT_EQ(RegexReplaceAll("2秒秒3秒", "秒", ""), "23");
  EXPECT_EQ(RegexReplaceAll("0.8毫秒", "毫秒", ""), "0.8");
}

TEST(RegexReplaceAll, ReplacesEveryMatchAndKeepsTheRest) {
  EXPECT_EQ(RegexReplaceAll("a-b--c", "-", "+"), "a+b++c");
  EXPECT_EQ(RegexReplaceAll("no match here", "xyz", "!"), "no match here");
  EXPECT_EQ(RegexReplaceAll("", "a", "b"), "");
  EXPECT_EQ(RegexReplaceAll("user@host", "(\\w+)@(\\w+)", "$2 at $1"), "host at user");
}

TEST(RegexReplaceAll, IsCaseSensitiveAndWorksOnCharacters) {
  EXPECT_EQ(RegexReplaceAll("Abc abc ABC", "abc", "x"), "Abc x ABC");
  // "." takes the whole character after 京, not one of its bytes.
  EXPECT_EQ(RegexReplaceAll("北京市", "京.", ""), "北");
  // "^" anchors at the start of the text only.
  EXPECT_EQ(RegexReplaceAll("a\na", "^a", "b"), "b\na");
}

TEST(RegexReplaceAll, InvalidPatternGivesEmptyText) {
  EXPECT_EQ(RegexReplaceAll("1.5秒", "(秒", ""), "");
  EXPECT_EQ(RegexReplaceAll("text", "[", "x"), "");
}

}  // namespace
}  // namespace lumvex
