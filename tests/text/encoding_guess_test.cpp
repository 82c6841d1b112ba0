#include "text/encoding_guess.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "text/codec.h"

namespace lumvex::text {
namespace {

// GBK words whose bytes are also well-formed UTF-8, found by trying every pair of common
// characters; written out so the table does not rely on the encoder.
constexpr std::string_view kUnknownGbk = "\xCE\xB4\xD6\xAA";    // 未知, UTF-8 "δ֪"
constexpr std::string_view kPlatformGbk = "\xC6\xBD\xCC\xA8";   // 平台, UTF-8 "Ƽ̨"
constexpr std::string_view kRealTimeGbk = "\xCA\xB5\xCA\xB1";   // 实时, UTF-8 "ʵʱ"
constexpr std::string_view kSchoolGbk = "\xD1\xA7\xD0\xA3";     // 学校, UTF-8 "ѧУ"
constexpr std::string_view kFirWoodGbk = "\xC9\xBC\xC4\xBE";    // 杉木, UTF-8 "ɼľ"
constexpr std::string_view kLandscapeGbk = "\xC9\xBD\xCB\xAE";  // 山水, UTF-8 "ɽˮ"
constexpr std::string_view kMountTaiGbk = "\xCC\xA9\xC9\xBD";   // 泰山, UTF-8 "̩ɽ"
constexpr std::string_view kSuccessGbk = "\xB3\xC9\xB9\xA6";    // 成功, not UTF-8

std::string Row(std::string_view location) {
  return "1.2.3.4 | 8080 | HTTP | 0.35 | " + std::string(location) + " | 1";
}

std::string Join(std::string_view a, std::string_view b) { return std::string(a) + std::string(b); }

struct Case {
  std::string name;
  std::string bytes;
  bool utf8;
  std::string text;  // what DecodeGbkOrUtf8 gives
};

// One table for the rule: which reading a text gets, and what it decodes to.
TEST(EncodingGuessTest, PicksTheReadingThatMakesSense) {
  const std::string bom = "\xEF\xBB\xBF";
  const Case cases[] = {
      // Short GBK words that are valid UTF-8 stay GBK.
      {"unknown", std::string(kUnknownGbk), false, "未知"},
      {"unknown row", Row(kUnknownGbk), false, Row("未知")},
      {"platform", Row(kPlatformGbk), false, Row("平台")},
      {"real time", Row(kRealTimeGbk), false, Row("实时")},
      {"school", Row(kSchoolGbk), false, Row("学校")},
      {"fir wood", Row(kFirWoodGbk), false, Row("杉木")},
      {"two words", Row(Join(kLandscapeGbk, kMountTaiGbk)), false, Row("山水泰山")},
      {"gbk rows", Row(kUnknownGbk) + "\r\n" + Row(kSchoolGbk) + "\r\n5.6.7.8 | 80 | HTTP |  |  | ",
       false, Row("未知") + "\r\n" + Row("学校") + "\r\n5.6.7.8 | 80 | HTTP |  |  | "},
      {"gbk not utf8", Row(Join(kUnknownGbk, kSuccessGbk)), false, Row("未知成功")},
      // Real UTF-8 lists.
      {"beijing", Row("北京市"), true, Row("北京市")},
      {"local test", Row("本地测试"), true, Row("本地测试")},
      {"utf8 rows", Row("北京市") + "\n" + Row("未知") + "\n" + Row("本地测试"), true,
       Row("北京市") + "\n" + Row("未知") + "\n" + Row("本地测试")},
      {"latin names", Row("São Paulo") + "\n" + Row("Bogotá"), true,
       Row("São Paulo") + "\n" + Row("Bogotá")},
      {"cyrillic word", Row("Москва"), true, Row("Москва")},
      {"chinese and latin", Row("巴西 São Paulo"), true, Row("巴西 São Paulo")},
      {"punctuation", Row("中国·广东（电信）"), true, Row("中国·广东（电信）")},
      // A byte-order mark says UTF-8.
      {"bom", bom + Row("本地"), true, Row("本地")},
      // No non-ASCII byte: GBK, which reads ASCII the same.
      {"ascii", "1.1.1.1:80\r\n2.2.2.2:81", false, "1.1.1.1:80\r\n2.2.2.2:81"},
      {"empty", "", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LooksLikeUtf8(c.bytes), c.utf8) << c.name;
    EXPECT_EQ(DecodeGbkOrUtf8(c.bytes), c.text) << c.name;
  }
}

// A stream fed in pieces of any size comes to the same decision as the whole text, also when a
// piece cuts a character or a line, and when a line is longer than the part scored at once.
TEST(EncodingGuessTest, PiecesGiveTheSameDecisionAsTheWhole) {
  std::string long_utf8_line = "1.2.3.4 | 80 | ";
  for (int i = 0; i < 2000; ++i) long_utf8_line += "北京";
  std::string many_gbk_rows;
  for (int i = 0; i < 5000; ++i) many_gbk_rows += Row(kUnknownGbk) + "\r\n";
  const std::string texts[] = {
      Row(kUnknownGbk), Row("北京市"), Row("本地测试") + "\n" + Row("未知"),
      long_utf8_line,   many_gbk_rows, Row(kPlatformGbk) + "\n" + Row(kSuccessGbk),
  };
  for (const std::string& bytes : texts) {
    const bool whole = LooksLikeUtf8(bytes);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4097}}) {
      EncodingGuess guess;
      for (std::size_t at = 0; at < bytes.size(); at += piece) {
        guess.Feed(std::string_view(bytes).substr(at, piece));
      }
      EXPECT_EQ(guess.ReadsAsUtf8(), whole) << bytes.substr(0, 40) << " piece " << piece;
    }
  }
  EXPECT_TRUE(LooksLikeUtf8(long_utf8_line));
  EXPECT_FALSE(LooksLikeUtf8(many_gbk_rows));
}

TEST(EncodingGuessTest, CommonCharactersAreGb2312LevelOne) {
  struct Hanzi {
    char32_t c;
    bool common;
  };
  // 的 and 座 open and close level 1; 亍 opens level 2; 丂 is only in GBK; 〇 is no unified
  // ideograph.
  const Hanzi cases[] = {{U'的', true},  {U'啊', true},  {U'座', true},  {U'未', true},
                         {U'亍', false}, {U'鳢', false}, {U'丂', false}, {U'〇', false}};
  for (const Hanzi& h : cases) EXPECT_EQ(IsCommonHanzi(h.c), h.common) << static_cast<int>(h.c);
}

}  // namespace
}  // namespace lumvex::text
