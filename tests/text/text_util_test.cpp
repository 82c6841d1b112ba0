#include "text/text_util.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lumvex::text {
namespace {

using Pieces = std::vector<std::string>;

TEST(SplitTest, KeepsEmptyPiecesBetweenDelimitersAndDropsTrailingOne) {
  EXPECT_EQ(Split("a,,b", ","), (Pieces{"a", "", "b"}));
  EXPECT_EQ(Split(",a", ","), (Pieces{"", "a"}));
  EXPECT_EQ(Split("a,b,", ","), (Pieces{"a", "b"}));
  // Only the single empty piece after the last delimiter goes; earlier empty ones stay.
  EXPECT_EQ(Split("a,,", ","), (Pieces{"a", ""}));
  EXPECT_EQ(Split(",", ","), (Pieces{""}));
  EXPECT_EQ(Split("abc", ","), (Pieces{"abc"}));
}

TEST(SplitGbkTest, KeepsEmptyPiecesButNotATrailingOne) {
  EXPECT_EQ(SplitGbk("a::b:", ":"), (Pieces{"a", "", "b"}));
  EXPECT_TRUE(SplitGbk("", ":").empty());
}

TEST(SettingsTextTest, TrimBlanksAndOneLine) {
  EXPECT_EQ(TrimBlanks(" \t key = v \t"), "key = v");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  // Only spaces and tabs are blanks here: an ideographic space or a line end stays.
  EXPECT_EQ(TrimBlanks("\xE3\x80\x80x\r"), "\xE3\x80\x80x\r");
  EXPECT_EQ(OneLine("a\r\nb\nc\rd"), "a  b c d");
}

TEST(SplitTest, EmptyTextGivesNoPieces) {
  EXPECT_TRUE(Split("", ",").empty());
  EXPECT_TRUE(Split("", "\r\n").empty());
}

TEST(SplitTest, MultiByteDelimiters) {
  EXPECT_EQ(Split("1.2.3.4:80\r\n5.6.7.8:8080\r\n\r\nx", "\r\n"),
            (Pieces{"1.2.3.4:80", "5.6.7.8:8080", "", "x"}));
  // A delimiter that overlaps itself is consumed left to right.
  EXPECT_EQ(Split("a---b", "--"), (Pieces{"a", "-b"}));
  EXPECT_EQ(Split("代理|端口||地址", "|"), (Pieces{"代理", "端口", "", "地址"}));
  EXPECT_EQ(Split("甲，乙，，丙，", "，"), (Pieces{"甲", "乙", "", "丙"}));
}

TEST(SplitTest, ChineseDelimiterNeverCutsACharacter) {
  // "中" is E4 B8 AD; "丁" is E4 B8 81 and shares its first two bytes, so a delimiter that matched
  // partial characters would cut here.
  EXPECT_EQ(Split("丁中丁", "中"), (Pieces{"丁", "丁"}));
  EXPECT_EQ(Split("丁丁", "中"), (Pieces{"丁丁"}));
  EXPECT_EQ(Split("端口:8080", ":"), (Pieces{"端口", "8080"}));
}

TEST(TrimTest, RemovesAsciiAndIdeographicSpacesOnly) {
  EXPECT_EQ(Trim("  abc  "), "abc");
  EXPECT_EQ(Trim("\xE3\x80\x80 代理\xE3\x80\x80 "), "代理");
  EXPECT_EQ(Trim("a b\xE3\x80\x80"
                 "c"),
            "a b\xE3\x80\x80"
            "c");
  // Tabs and line ends are not trimmed.
  EXPECT_EQ(Trim("\tabc\r\n"), "\tabc\r\n");
  EXPECT_EQ(Trim(" \tabc "), "\tabc");
}

TEST(TrimTest, TextOfOnlySpacesBecomesEmpty) {
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("    "), "");
  EXPECT_EQ(Trim("\xE3\x80\x80\xE3\x80\x80"), "");
  EXPECT_EQ(Trim(" \xE3\x80\x80 \xE3\x80\x80"), "");
}

TEST(TrimTest, LeavesCharactersThatOnlyLookLikeIdeographicSpace) {
  // U+3001 (、) shares the first two bytes of U+3000; a broken U+3000 prefix is no space either.
  EXPECT_EQ(Trim("\xE3\x80\x81"), "\xE3\x80\x81");
  EXPECT_EQ(Trim("\xE3\x80x"), "\xE3\x80x");
  EXPECT_EQ(Trim("x\x80"), "x\x80");
}

TEST(FindTest, ExactSearch) {
  EXPECT_EQ(Find("abcabc", "bc"), 1u);
  EXPECT_EQ(Find("abcabc", "bc", 2), 4u);
  EXPECT_EQ(Find("abcabc", "BC"), std::string::npos);
  EXPECT_EQ(Find("abc", "abcd"), std::string::npos);
  EXPECT_EQ(Find("abc", "c", 10), std::string::npos);
}

TEST(FindTest, IgnoreCaseFoldsAsciiLettersInMixedText) {
  const std::string page = "<TD>代理IP地址</td><td>Port端口</TD>";
  EXPECT_EQ(Find(page, "ip地址", 0, true), page.find("IP地址"));
  EXPECT_EQ(Find(page, "</Td>", 0, true), page.find("</td>"));
  EXPECT_EQ(Find(page, "</td>", page.find("</td>") + 1, true), page.rfind("</TD>"));
  EXPECT_EQ(Find(page, "PORT端口", 0, true), page.find("Port"));
  EXPECT_EQ(Find(page, "PORT端口", 0, false), std::string::npos);
  EXPECT_EQ(Find(page, "端口</td", 0, true), page.find("端口"));
  EXPECT_EQ(Find(page, "代理ip地址x", 0, true), std::string::npos);
  // Non-letters are compared exactly: '[' (0x5B) and '{' (0x7B) differ by the case bit.
  EXPECT_EQ(Find("a{b", "A[B", 0, true), std::string::npos);
  EXPECT_EQ(Find("a@b", "A`B", 0, true), std::string::npos);
}

TEST(FindTest, IgnoreCaseBoundaries) {
  EXPECT_EQ(Find("abc", "", 0, true), 0u);
  EXPECT_EQ(Find("abc", "", 3, true), 3u);
  EXPECT_EQ(Find("abc", "", 4, true), std::string::npos);
  EXPECT_EQ(Find("abc", "C", 2, true), 2u);
  EXPECT_EQ(Find("abc", "C", 3, true), std::string::npos);
  EXPECT_EQ(Find("ab", "abc", 0, true), std::string::npos);
  EXPECT_EQ(Find("", "a", 0, true), std::string::npos);
}

TEST(FindTest, ContainsAndStartsWith) {
  EXPECT_TRUE(Contains("HTTP/1.1 200 OK", "200 ok", true));
  EXPECT_FALSE(Contains("HTTP/1.1 200 OK", "200 ok", false));
  EXPECT_TRUE(StartsWith("HTTP://host", "http://", true));
  EXPECT_FALSE(StartsWith("HTTP://host", "http://", false));
  EXPECT_FALSE(StartsWith("http", "http://", true));
  EXPECT_TRUE(StartsWith("代理", "", false));
}

TEST(EscapeControlsTest, NothingATerminalWouldObeyGetsThrough) {
  struct Case {
    std::string_view text;
    std::string_view shown;
  };
  const Case cases[] = {
      {"1.2.3.4:80", "1.2.3.4:80"},
      {"代理 ü", "代理 ü"},
      // An escape sequence that sets the window title, then one that clears the screen.
      {"\x1B]0;pwned\x07", "\\x1B]0;pwned\\x07"},
      {"\x1B[2J\x1B[H", "\\x1B[2J\\x1B[H"},
      {"a\tb\rc\nd", "a\\x09b\\x0Dc\\x0Ad"},
      {std::string_view("\0\x7F", 2), "\\x00\\x7F"},
      // C1 controls as UTF-8 (U+009B is CSI) and as bare bytes (not UTF-8).
      {"\xC2\x9B"
       "2J\xC2\x85",
       "\\u009B2J\\u0085"},
      {"\x9B"
       "2J\xFF\xE4\xB8",
       "\\x9B2J\\xFF\\xE4\\xB8"},
      {"back\\slash", "back\\\\slash"},
      // Bidirectional controls would show the rest of the line reordered ("exe.txt" read as
      // "txt.exe"); their neighbours (U+2029, U+202F, U+2065, U+206A) are left alone.
      {"a\u202Eb\u202Ac\u2066d\u2069e", "a\\u202Eb\\u202Ac\\u2066d\\u2069e"},
      {"\u2029\u202F\u2065\u206A", "\u2029\u202F\u2065\u206A"},
      // A cut bidi control is not UTF-8: its bytes are shown one by one.
      {"\xE2\x80", "\\xE2\\x80"},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeControls(c.text), c.shown) << c.shown;
}

TEST(CaseTest, OnlyAsciiLettersChange) {
  EXPECT_EQ(ToLowerAscii("AbC代理Ü[@]"), "abc代理Ü[@]");
  EXPECT_EQ(ToUpperAscii("aBc代理ü{`}"), "ABC代理ü{`}");
}

TEST(ReplaceAllTest, ReplacesLeftToRight) {
  EXPECT_EQ(ReplaceAll("a#引号b#引号", "#引号", "\""), "a\"b\"");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "b", ""), "ac");
  EXPECT_EQ(ReplaceAll("abc", "x", "y"), "abc");
  // The replacement is not searched again.
  EXPECT_EQ(ReplaceAll("ab", "a", "aa"), "aab");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
}

TEST(AtoITest, ReadsLeadingNumberLikeAtoi) {
  EXPECT_EQ(AtoI("12abc"), 12);
  EXPECT_EQ(AtoI("  -7"), -7);
  EXPECT_EQ(AtoI("\t\r\n+42 rest"), 42);
  EXPECT_EQ(AtoI("8080\r\n"), 8080);
  EXPECT_EQ(AtoI("007"), 7);
  EXPECT_EQ(AtoI("3.9"), 3);
}

TEST(AtoITest, NoDigitsGiveZero) {
  EXPECT_EQ(AtoI(""), 0);
  EXPECT_EQ(AtoI("abc"), 0);
  EXPECT_EQ(AtoI("-"), 0);
  EXPECT_EQ(AtoI("+ 5"), 0);
  EXPECT_EQ(AtoI("--5"), 0);
  // Ideographic space is not C white space.
  EXPECT_EQ(AtoI("\xE3\x80\x80"
                 "5"),
            0);
  EXPECT_EQ(AtoI("端口80"), 0);
}

TEST(AtoITest, SaturatesAtIntRange) {
  EXPECT_EQ(AtoI("2147483647"), INT_MAX);
  EXPECT_EQ(AtoI("2147483648"), INT_MAX);
  EXPECT_EQ(AtoI("-2147483648"), INT_MIN);
  EXPECT_EQ(AtoI("-2147483649"), INT_MIN);
  EXPECT_EQ(AtoI("99999999999999999999999999999"), INT_MAX);
  EXPECT_EQ(AtoI("-99999999999999999999999999999"), INT_MIN);
  EXPECT_EQ(AtoI("00000000000000000000000000012"), 12);
}

TEST(AtoFTest, ReadsLeadingNumberLikeAtof) {
  EXPECT_DOUBLE_EQ(AtoF("1.5秒"), 1.5);
  EXPECT_DOUBLE_EQ(AtoF("3e2"), 300.0);
  EXPECT_DOUBLE_EQ(AtoF("  -2.25e-1x"), -0.225);
  EXPECT_DOUBLE_EQ(AtoF("+.5"), 0.5);
  EXPECT_DOUBLE_EQ(AtoF("5."), 5.0);
  EXPECT_DOUBLE_EQ(AtoF("1e"), 1.0);
  EXPECT_DOUBLE_EQ(AtoF("1e+"), 1.0);
  EXPECT_DOUBLE_EQ(AtoF("0x1A"), 26.0);
  EXPECT_DOUBLE_EQ(AtoF("0x"), 0.0);
  EXPECT_DOUBLE_EQ(AtoF(""), 0.0);
  EXPECT_DOUBLE_EQ(AtoF("abc"), 0.0);
  EXPECT_DOUBLE_EQ(AtoF("."), 0.0);
  EXPECT_DOUBLE_EQ(AtoF("-"), 0.0);
}

TEST(AtoFTest, SpecialValuesAndRangeErrors) {
  EXPECT_TRUE(std::isinf(AtoF("inf")));
  EXPECT_TRUE(std::isnan(AtoF("nan")));
  EXPECT_EQ(AtoF("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(AtoF("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(AtoF(std::string(400, '9')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(AtoF("1e-400"), 0.0);
  EXPECT_EQ(AtoF("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_EQ(AtoF("0.0001e-400"), 0.0);
  EXPECT_EQ(AtoF("0x1p99999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(AtoF("0x1p-99999"), 0.0);
  EXPECT_EQ(AtoF("0x" + std::string(300, 'f') + "p"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(AtoF("-0x0." + std::string(300, '0') + "1"), 0.0);
  EXPECT_TRUE(std::signbit(AtoF("-0x0." + std::string(300, '0') + "1")));
}

TEST(AtoFTest, AgreesWithStrtodOnManyInputs) {
  // The C library's strtod in the default "C" locale is the reference reading.
  const std::vector<std::string> inputs = {
      "0",     "-0",        "12.5kb", "  1e10",   "1E-5",    "123456789012345678901234",
      "0.1",   "-.75e+3",   "1e308",  "2.5e-310", "0x1p-3",  "0X.8",
      "+0x10", "\v\f 9",    "1,5",    "1.2.3",    "e5",      ".e5",
      "INF",   "-Infinity", "infx",   "1e-7秒",   "0009.50", "4.9e-324"};
  for (const std::string& input : inputs) {
    const double expected = std::strtod(input.c_str(), nullptr);
    EXPECT_EQ(AtoF(input), expected) << input;
    EXPECT_EQ(std::signbit(AtoF(input)), std::signbit(expected)) << input;
  }
}

TEST(AtoFTest, SecondSignEndsTheNumber) {
  // strtod takes one sign only: after it must come a digit, a point, "inf", "nan" or "0x".
  for (const std::string input :
       {"+-5", "--5", "-+5", "+ 5", "--inf", "+-nan", "- 0x10", "-+.5", "-abc", "-."}) {
    const double expected = std::strtod(input.c_str(), nullptr);
    EXPECT_EQ(AtoF(input), expected) << input;
    EXPECT_EQ(std::signbit(AtoF(input)), std::signbit(expected)) << input;
  }
}

TEST(FormatTest, IntegersArePlainDecimals) {
  EXPECT_EQ(FormatInt(0), "0");
  EXPECT_EQ(FormatInt(-15), "-15");
  EXPECT_EQ(FormatInt(8080), "8080");
  EXPECT_EQ(FormatInt(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(FormatTest, RealsUseThirteenSignificantDigits) {
  EXPECT_EQ(FormatReal(0.1), "0.1");
  EXPECT_EQ(FormatReal(1e20), "1e+20");
  EXPECT_EQ(FormatReal(1.0 / 3), "0.3333333333333");
  EXPECT_EQ(FormatReal(100.0), "100");
  EXPECT_EQ(FormatReal(0.0), "0");
  EXPECT_EQ(FormatReal(-2.5), "-2.5");
  EXPECT_EQ(FormatReal(1234567890123.0), "1234567890123");
  EXPECT_EQ(FormatReal(12345678901234.0), "1.234567890123e+13");
  EXPECT_EQ(FormatReal(0.0001), "0.0001");
  EXPECT_EQ(FormatReal(0.00001), "1e-05");
}

TEST(FormatTest, NonFiniteRealsDoNotFail) {
  EXPECT_EQ(FormatReal(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(FormatReal(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(FormatReal(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(FormatReal(-std::numeric_limits<double>::max()), "-1.797693134862e+308");
  EXPECT_EQ(FormatReal(std::numeric_limits<double>::denorm_min()), "4.940656458412e-324");
}

TEST(FormatTest, RealsMatchPrintfAcrossMagnitudes) {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-40, 40);
  for (int i = 0; i < 5000; ++i) {
    const double value = mantissa(random) * std::pow(10.0, exponent(random));
    char expected[64];
    std::snprintf(expected, sizeof(expected), "%.13g", value);
    ASSERT_EQ(FormatReal(value), expected) << i;
    // Reading the text back must give the printed value.
    ASSERT_EQ(AtoF(FormatReal(value)), std::strtod(expected, nullptr)) << expected;
  }
}

}  // namespace
}  // namespace lumvex::text
