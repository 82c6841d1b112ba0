// The profile text transforms on their own, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "settings/ini_file.h"

namespace lumvex {
namespace {

std::string Set(std::string_view text, std::string_view section, std::string_view key,
                std::string_view value) {
  auto out = SetProfileValue(text, section, key, value);
  EXPECT_TRUE(out.has_value());
  return out.value_or("<refused>");
}

TEST(SetProfileValueTest, NewTextIsOneSectionAndOneKey) {
  EXPECT_EQ(Set("", "tray", "tray", "yes"), "[tray]\r\ntray=yes\r\n");
  EXPECT_EQ(Set("", "Powered up", "Powered up", "no"), "[Powered up]\r\nPowered up=no\r\n");
}

TEST(SetProfileValueTest, ReplacingAKeyKeepsEveryOtherByte) {
  const std::string before =
      "; written by hand\n"
      "[run]\r\n"
      "  RUN = no  \r\n"
      "other=1\r\n"
      "\r\n"
      "just words\r\n"
      "[IE Agent]\r\n"
      "IE\xD2\xBB=1.2.3.4:80\r\n";
  const std::string after =
      "; written by hand\n"
      "[run]\r\n"
      "run=yes\r\n"
      "other=1\r\n"
      "\r\n"
      "just words\r\n"
      "[IE Agent]\r\n"
      "IE\xD2\xBB=1.2.3.4:80\r\n";
  EXPECT_EQ(Set(before, "run", "run", "yes"), after);
}

TEST(SetProfileValueTest, ReplacingTheUnfinishedLastLineEndsIt) {
  EXPECT_EQ(Set("[a]\r\nx=1\r\ny=2", "a", "y", "3"), "[a]\r\nx=1\r\ny=3\r\n");
  EXPECT_EQ(Set("[a]\nx=1\ny=2\n", "a", "x", "9"), "[a]\nx=9\r\ny=2\n");
}

TEST(SetProfileValueTest, NewSectionIsAppendedAfterAFinishedLine) {
  EXPECT_EQ(Set("[tray]\r\ntray=yes\r\n", "run", "run", "no"),
            "[tray]\r\ntray=yes\r\n[run]\r\nrun=no\r\n");
  EXPECT_EQ(Set("[tray]\r\ntray=yes", "run", "run", "no"),
            "[tray]\r\ntray=yes\r\n[run]\r\nrun=no\r\n");
  EXPECT_EQ(Set("[tray]\ntray=yes\n", "run", "run", "no"), "[tray]\ntray=yes\n[run]\r\nrun=no\r\n");
}

TEST(SetProfileValueTest, NewKeyFollowsTheLastKeyOfItsOwnSection) {
  const std::string two = "[run]\r\nrun=yes\r\n; note\r\n\r\n[IE Agent]\r\nIE=1\r\n";
  EXPECT_EQ(Set(two, "run", "extra", "x"),
            "[run]\r\nrun=yes\r\nextra=x\r\n; note\r\n\r\n[IE Agent]\r\nIE=1\r\n");
  EXPECT_EQ(Set(two, "IE Agent", "extra", "x"),
            "[run]\r\nrun=yes\r\n; note\r\n\r\n[IE Agent]\r\nIE=1\r\nextra=x\r\n");
}

TEST(SetProfileValueTest, NewKeyInAnEmptyOrUnfinishedSection) {
  EXPECT_EQ(Set("[run]\r\n[b]\r\n", "run", "run", "yes"), "[run]\r\nrun=yes\r\n[b]\r\n");
  EXPECT_EQ(Set("[run]", "run", "run", "yes"), "[run]\r\nrun=yes\r\n");
  EXPECT_EQ(Set("[a]\r\nx=1", "a", "y", "2"), "[a]\r\nx=1\r\ny=2\r\n");
}

TEST(SetProfileValueTest, LastLineCutOffAfterItsCarriageReturnGetsOnlyTheLineFeed) {
  EXPECT_EQ(Set("[run]\r", "run", "run", "yes"), "[run]\r\nrun=yes\r\n");
  EXPECT_EQ(Set("[a]\r\nx=1\r", "a", "y", "2"), "[a]\r\nx=1\r\ny=2\r\n");
  EXPECT_EQ(Set("[a]\r\nx=1\r", "b", "y", "2"), "[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
  // A second CR would stay in the line and make a header without its bracket name another
  // section, so the value just written could not be read back.
  const std::string out = Set("[tray\r", "tray", "tray", "yes");
  EXPECT_EQ(FindProfileValue(out, "tray", "tray"), "yes") << out;
}

TEST(SetProfileValueTest, NamesMatchInAnyLetterCase) {
  EXPECT_EQ(Set("[TRAY]\r\nTray=no\r\n", "tray", "tray", "yes"), "[TRAY]\r\ntray=yes\r\n");
}

TEST(SetProfileValueTest, KeysOutsideTheSectionAreNotTouched) {
  // Same key name in another section and before any section.
  const std::string text = "run=top\r\n[other]\r\nrun=other\r\n";
  EXPECT_EQ(Set(text, "run", "run", "yes"), text + "[run]\r\nrun=yes\r\n");
}

TEST(SetProfileValueTest, ValuesAreWrittenAsGivenButOnOneLine) {
  EXPECT_EQ(Set("", "s", "k", "  a = b  "), "[s]\r\nk=  a = b  \r\n");
  // A line break in a value must not smuggle in lines of its own.
  const std::string out = Set("", "IE Agent", "IE", "1.2.3.4:80 | x\r\n[run]\r\nrun=yes");
  EXPECT_EQ(out, "[IE Agent]\r\nIE=1.2.3.4:80 | x  [run]  run=yes\r\n");
  EXPECT_EQ(FindProfileValue(out, "run", "run"), std::nullopt);
}

TEST(SetProfileValueTest, RefusesNamesALineCannotHold) {
  EXPECT_FALSE(SetProfileValue("", "", "k", "v"));
  EXPECT_FALSE(SetProfileValue("", "  ", "k", "v"));
  EXPECT_FALSE(SetProfileValue("", "a]b", "k", "v"));
  EXPECT_FALSE(SetProfileValue("", "a\xC3", "k", "v"));  // "]" would be the second byte of 0xC3
  EXPECT_FALSE(SetProfileValue("", "a\nb", "k", "v"));
  EXPECT_FALSE(SetProfileValue("", "s", "", "v"));
  EXPECT_FALSE(SetProfileValue("", "s", "a=b", "v"));
  EXPECT_FALSE(SetProfileValue("", "s", "[k", "v"));
  EXPECT_FALSE(SetProfileValue("", "s", "k\r", "v"));
}

TEST(FindProfileValueTest, FindsTrimmedValuesInTheRightSection) {
  const std::string text =
      "k=before any section\r\n"
      "[one]\r\n"
      "k = first \r\n"
      "[two]\r\n"
      "\tk\t=\t  second value  \r\n";
  EXPECT_EQ(FindProfileValue(text, "one", "k"), "first");
  EXPECT_EQ(FindProfileValue(text, "two", "k"), "second value");
  EXPECT_EQ(FindProfileValue(text, "  TWO ", "K"), "second value");
}

TEST(FindProfileValueTest, EqualsSignInsideAValueBelongsToTheValue) {
  EXPECT_EQ(FindProfileValue("[s]\r\nurl=http://h/?a=1&b=2\r\n", "s", "url"), "http://h/?a=1&b=2");
  EXPECT_EQ(FindProfileValue("[s]\r\nempty=\r\n", "s", "empty"), "");
}

TEST(FindProfileValueTest, MissingSectionOrKeyIsAbsent) {
  const std::string text = "[tray]\r\ntray=yes\r\nnot a key line\r\n";
  EXPECT_EQ(FindProfileValue(text, "run", "tray"), std::nullopt);
  EXPECT_EQ(FindProfileValue(text, "tray", "run"), std::nullopt);
  EXPECT_EQ(FindProfileValue(text, "tray", "not a key line"), std::nullopt);
  EXPECT_EQ(FindProfileValue("", "tray", "tray"), std::nullopt);
  EXPECT_EQ(FindProfileValue("k=v\r\n", "", "k"), std::nullopt);
}

TEST(FindProfileValueTest, ReadsUnfinishedAndNewlineOnlyLines) {
  EXPECT_EQ(FindProfileValue("[a]\r\nx=1\r\ny=2", "a", "y"), "2");
  EXPECT_EQ(FindProfileValue("[a]\nx=1\ny=2\n", "a", "x"), "1");
  EXPECT_EQ(FindProfileValue("[a]\nx=1\ny=2\n", "a", "y"), "2");
  EXPECT_EQ(FindProfileValue("[a]\r", "a", "x"), std::nullopt);
}

TEST(FindProfileValueTest, SectionHeaderToleratesSpacesAndMissingBracket) {
  EXPECT_EQ(FindProfileValue("  [ run ]  trailing\r\nrun=yes\r\n", "run", "run"), "yes");
  EXPECT_EQ(FindProfileValue("[run\r\nrun=yes\r\n", "run", "run"), "yes");
}

TEST(FindProfileValueTest, DoubleByteNamesAreComparedByCharacter) {
  // "\x81\x5D" is one GBK character whose second byte is "]"; "\x81\x41" one whose second byte is
  // "A". Neither may end the header early or match a different character in another case.
  const std::string text = "[\x81\x5D]\r\nIE\x81\x41=first\r\n[\x81\x5D\x81\x61]\r\nk=second\r\n";
  EXPECT_EQ(FindProfileValue(text, "\x81\x5D", "IE\x81\x41"), "first");
  EXPECT_EQ(FindProfileValue(text, "\x81\x5D", "ie\x81\x41"), "first");
  EXPECT_EQ(FindProfileValue(text, "\x81\x5D", "IE\x81\x61"), std::nullopt);
  EXPECT_EQ(FindProfileValue(text, "\x81\x5D\x81\x61", "k"), "second");
  EXPECT_EQ(FindProfileValue(text, "\x81\x5D\x81\x41", "k"), std::nullopt);
}

TEST(FindProfileValueTest, DuplicateKeysAndSectionsUseTheFirstMatch) {
  const std::string text = "[a]\r\nk=1\r\nk=2\r\n[A]\r\nk=3\r\nj=4\r\n";
  EXPECT_EQ(FindProfileValue(text, "a", "k"), "1");
  EXPECT_EQ(FindProfileValue(text, "a", "j"), "4");
  // Writing follows reading: the line read is the line replaced.
  const std::string updated = Set(text, "a", "j", "5");
  EXPECT_EQ(updated, "[a]\r\nk=1\r\nk=2\r\n[A]\r\nk=3\r\nj=5\r\n");
  EXPECT_EQ(Set(text, "a", "new", "6"), "[a]\r\nk=1\r\nk=2\r\nnew=6\r\n[A]\r\nk=3\r\nj=4\r\n");
}

TEST(ProfileTextTest, MalformedTextNeverBreaksLookupOrUpdate) {
  static constexpr char kJunk[] = "\xFF\x00[\x81]\r\n==\r\n[]\r\n=v\r\n\x81";
  const std::string junk(kJunk, sizeof kJunk - 1);
  EXPECT_EQ(FindProfileValue(junk, "x", "y"), std::nullopt);
  const std::string out = Set(junk, "x", "y", "z");
  EXPECT_EQ(out.substr(0, junk.size()), junk);
  EXPECT_EQ(FindProfileValue(out, "x", "y"), "z");
}

}  // namespace
}  // namespace lumvex
