#include "text/codec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "text/encoding_guess.h"

namespace lumvex::text {
namespace {

// "代理验证" in GBK, written out so that the tests do not rely on the converter under test.
constexpr std::string_view kProxyCheckGbk = "\xB4\xFA\xC0\xED\xD1\xE9\xD6\xA4";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

TEST(GbkTest, DecodesKnownBytes) {
  EXPECT_EQ(DecodeGbk(kProxyCheckGbk), "代理验证");
  // A1A1 is the ideographic space and 0x80 the euro sign, as in Windows code page 936.
  EXPECT_EQ(DecodeGbk("\xA1\xA1"), "\xE3\x80\x80");
  EXPECT_EQ(DecodeGbk("\x80"), "€");
  EXPECT_EQ(DecodeGbk("ip:1.2.3.4\r\n"), "ip:1.2.3.4\r\n");
  EXPECT_EQ(DecodeGbk(""), "");
}

TEST(GbkTest, EncodesKnownText) {
  EXPECT_EQ(EncodeGbk("代理验证"), kProxyCheckGbk);
  EXPECT_EQ(EncodeGbk("\xE3\x80\x80"), "\xA1\xA1");
  EXPECT_EQ(EncodeGbk(""), "");
}

TEST(GbkTest, RoundTripsChineseAndAsciiText) {
  const std::string text =
      "LumvexIP代理验证\r\n127.0.0.1:8080|高匿|中国 北京|2026-12-07\r\n端口：　８０８０，速度1.5秒";
  const std::string gbk = EncodeGbk(text);
  EXPECT_NE(gbk, text);
  EXPECT_EQ(gbk.find('?'), std::string::npos);
  EXPECT_EQ(DecodeGbk(gbk), text);
}

TEST(GbkTest, RoundTripsEveryDoubleByteCode) {
  // Every GBK code the converter decodes to a real character must encode back to the same bytes,
  // or a list file would change each time it is loaded and saved.
  std::string all;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      all.push_back(static_cast<char>(lead));
      all.push_back(static_cast<char>(trail));
    }
  }
  const std::string utf8 = DecodeGbk(all);
  ASSERT_EQ(utf8.find(kReplacement), std::string::npos);
  EXPECT_EQ(EncodeGbk(utf8), all);
}

TEST(GbkTest, InvalidBytesInTheMiddleDoNotStopDecoding) {
  // A lead byte followed by a byte that cannot trail it: one U+FFFD, and the following byte is
  // still read as itself.
  const std::string bytes = std::string(kProxyCheckGbk.substr(0, 4)) + "\x81\x7F" + "tail" +
                            std::string(kProxyCheckGbk.substr(4));
  EXPECT_EQ(DecodeGbk(bytes), "代理" + std::string(kReplacement) + "\x7Ftail验证");
  EXPECT_EQ(DecodeGbk("a\x81\x0A"
                      "b"),
            "a" + std::string(kReplacement) + "\nb");
}

TEST(GbkTest, LoneLeadByteAtTheEnd) {
  EXPECT_EQ(DecodeGbk("\xB6\xCB\xBF\xDA\xB6"), "端口" + std::string(kReplacement));
  EXPECT_EQ(DecodeGbk(std::string(kProxyCheckGbk) + "\xD6"),
            "代理验证" + std::string(kReplacement));
  EXPECT_EQ(DecodeGbk("\xFE"), kReplacement);
}

TEST(GbkTest, CharactersOutsideGbkTravelAsGb18030FourByteSequences) {
  // Expected bytes from the GB18030 standard's tables (Python's gb18030 codec agrees).
  struct Case {
    std::string_view utf8;
    std::string_view bytes;
  };
  const Case cases[] = {
      {"ok😀", "ok\x94\x39\xFC\x36"},
      {"😀😀代理", "\x94\x39\xFC\x36\x94\x39\xFC\x36\xB4\xFA\xC0\xED"},
      {"a한b",
       "a\x83\x36\x84\x33"
       "b"},
      {"1.1.1.1 | 80 | 한", "1.1.1.1 | 80 | \x83\x36\x84\x33"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeGbk(c.utf8), c.bytes) << c.utf8;
    EXPECT_EQ(DecodeGbk(c.bytes), c.utf8) << c.utf8;
  }
  // "1" and "2" after 0x81 look like a four-byte sequence only from the second half of the
  // double-byte character B4 81 (磥); read from its start they are not one.
  EXPECT_EQ(DecodeGbk("\xB4\x81"
                      "1\x81"
                      "2"),
            "\xE7\xA3\xA5"
            "1" +
                std::string(kReplacement) + "2");
}

TEST(GbkTest, EveryBmpCharacterSurvivesSavingExceptAFew) {
  // Saving must not lose text: every character either keeps its GBK code, travels as a GB18030
  // sequence, or (a handful GB18030 keeps on two-byte codes GBK reads otherwise) becomes "?".
  int lost = 0;
  for (char32_t c = 0x80; c <= 0xFFFD; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string utf8;
    if (c < 0x800) {
      utf8 = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      utf8 = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    }
    const std::string bytes = EncodeGbk(utf8);
    if (bytes == "?") {
      ++lost;
    } else {
      EXPECT_EQ(DecodeGbk(bytes), utf8) << std::hex << static_cast<unsigned>(c);
    }
  }
  EXPECT_LT(lost, 100);
}

TEST(GbkTest, MalformedUtf8EncodesAsQuestionMarkAndGoesOn) {
  EXPECT_EQ(EncodeGbk("a\xFF"
                      "b"),
            "a?b");
  EXPECT_EQ(EncodeGbk("代\xE4\xB8"
                      "x"),
            "\xB4\xFA?x");
  EXPECT_EQ(EncodeGbk("\xC0\xAF"), "??");
}

TEST(GbkTest, ZeroBytesPassThrough) {
  const std::string with_zero("a\0b", 3);
  EXPECT_EQ(DecodeGbk(with_zero), with_zero);
  EXPECT_EQ(EncodeGbk(with_zero), with_zero);
}

TEST(GbkTest, LargeBufferDecodesCompletely) {
  std::string gbk;
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    gbk += "1.2.3.4:80|";
    gbk += kProxyCheckGbk;
    gbk += "\r\n";
    expected += "1.2.3.4:80|代理验证\r\n";
  }
  gbk += "\xFF\x81";
  const std::string decoded = DecodeGbk(gbk);
  ASSERT_EQ(decoded.size(), expected.size() + 3 + kReplacement.size());
  EXPECT_EQ(decoded.compare(0, expected.size(), expected), 0);
  EXPECT_EQ(EncodeGbk(decoded.substr(0, expected.size())), gbk.substr(0, gbk.size() - 2));
}

TEST(Utf8Test, ValidTextIsUnchanged) {
  const std::string text = "<html>代理 ü € 😀 \xF4\x8F\xBF\xBF end</html>";
  EXPECT_EQ(DecodeUtf8(text), text);
  EXPECT_EQ(DecodeUtf8(""), "");
  EXPECT_EQ(DecodeUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8Test, MalformedSequencesBecomeReplacementCharacters) {
  const std::string r(kReplacement);
  EXPECT_EQ(DecodeUtf8("a\xFF"
                       "b"),
            "a" + r + "b");
  // Truncated sequence before ASCII and at the end: one replacement each.
  EXPECT_EQ(DecodeUtf8("\xE4\xB8"
                       "a\xE4"),
            r + "a" + r);
  // Overlong forms, surrogates and code points above U+10FFFF are not UTF-8.
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), r + r);
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), r + r + r);
  EXPECT_EQ(DecodeUtf8("\xF4\x90\x80\x80"), r + r + r + r);
  // A lone continuation byte between valid characters.
  EXPECT_EQ(DecodeUtf8("代\x80理"), "代" + r + "理");
  // GBK bytes received as UTF-8 never vanish: every one is replaced, the ASCII kept.
  const std::string decoded = DecodeUtf8("x" + std::string(kProxyCheckGbk) + "y");
  EXPECT_EQ(decoded.front(), 'x');
  EXPECT_EQ(decoded.back(), 'y');
  EXPECT_EQ(DecodeUtf8(decoded), decoded);
}

TEST(Utf8Test, RepairsLongAsciiRunsAroundBadBytes) {
  // The fast path reads eight bytes at a time; bad bytes at every offset within a word.
  for (std::size_t at = 0; at < 20; ++at) {
    std::string bytes(20, 'a');
    bytes[at] = '\xC3';
    std::string expected(20, 'a');
    expected.replace(at, 1, kReplacement);
    EXPECT_EQ(DecodeUtf8(bytes), expected) << at;
  }
}

TEST(GbkOrUtf8Test, PicksUtf8OnlyWhenTheBytesSaySo) {
  const std::string r(kReplacement);
  struct Case {
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      // "北京" in GBK is not UTF-8.
      {"1.1.1.1:80#\xB1\xB1\xBE\xA9", "1.1.1.1:80#北京"},
      // "本地测试" in UTF-8 is also valid GBK ("鏈湴娴嬭瘯"); UTF-8 makes more sense.
      {"1.1.1.1:80#本地测试\r\n", "1.1.1.1:80#本地测试\r\n"},
      {"\xEF\xBB\xBF"
       "1.1.1.1:80#本地",
       "1.1.1.1:80#本地"},
      {"\xEF\xBB\xBF"
       "a\xFF",
       "a" + r},
      {"1.1.1.1:80\n", "1.1.1.1:80\n"},
      {"", ""},
      // Overlong, surrogate and beyond-U+10FFFF forms are not UTF-8, so GBK reads them.
      {"\xC0\xAF", "蜡"},
      {"\xF4\x90\x80\x80", "魫€€"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeGbkOrUtf8(c.bytes), c.text) << c.bytes;
    // The guess fed byte by byte agrees with the whole-text decision (a byte-order mark aside).
    if (c.bytes.starts_with("\xEF\xBB\xBF")) continue;
    EncodingGuess guess;
    for (char b : c.bytes) guess.Feed(std::string_view(&b, 1));
    EXPECT_EQ(guess.ReadsAsUtf8(), LooksLikeUtf8(c.bytes)) << c.bytes;
  }
}

TEST(Utf8ToGbkTest, ConvertsPagesToGbkBytes) {
  EXPECT_EQ(Utf8ToGbk("<b>代理验证</b>"), "<b>" + std::string(kProxyCheckGbk) + "</b>");
  EXPECT_EQ(Utf8ToGbk("a😀\xFF"), "a\x94\x39\xFC\x36?");
  EXPECT_EQ(Utf8ToGbk(""), "");
}

TEST(Big5Test, DecodesAndSimplifies) {
  // "個人電腦" in Big5.
  EXPECT_EQ(DecodeBig5Simplified("\xAD\xD3\xA4\x48\xB9\x71\xB8\xA3"), "个人电脑");
  // "臺灣" and "台灣" in Big5.
  EXPECT_EQ(DecodeBig5Simplified("\xBB\x4F\xC6\x57"), "台湾");
  EXPECT_EQ(DecodeBig5Simplified("\xA5\x78\xC6\x57"), "台湾");
  EXPECT_EQ(DecodeBig5Simplified("IP:1.2.3.4"), "IP:1.2.3.4");
  EXPECT_EQ(DecodeBig5Simplified(""), "");
}

TEST(Big5Test, InvalidBytesDoNotStopDecoding) {
  // A lead byte before a line end, a lead byte with a bad trail byte, a lone lead byte at the end.
  EXPECT_EQ(DecodeBig5Simplified("\xAD\xD3\xA4\n\xAD\xD3"),
            "个" + std::string(kReplacement) + "\n个");
  EXPECT_EQ(DecodeBig5Simplified("\xAD\x30"
                                 "ok"),
            std::string(kReplacement) + "0ok");
  EXPECT_EQ(DecodeBig5Simplified("ok\xAD"), "ok" + std::string(kReplacement));
}

TEST(Big5Test, ToGbkSimplified) {
  EXPECT_EQ(Big5ToGbkSimplified("\xAD\xD3\xA4\x48\xB9\x71\xB8\xA3"), EncodeGbk("个人电脑"));
  EXPECT_EQ(Big5ToGbkSimplified("\xBB\x4F\xC6\x57 8080"), EncodeGbk("台湾 8080"));
  // Big5 0x80 reads as U+0080, which GBK lacks: it travels as its GB18030 sequence.
  EXPECT_EQ(Big5ToGbkSimplified("a\x80"
                                "b"),
            "a\x81\x30\x81\x30"
            "b");
  EXPECT_EQ(Big5ToGbkSimplified(""), "");
}

TEST(SimplifyTest, MapsTraditionalCharactersOnly) {
  EXPECT_EQ(ToSimplified("個人電腦 臺灣 發展 IP:1.2.3.4"), "个人电脑 台湾 发展 IP:1.2.3.4");
  EXPECT_EQ(ToSimplified("代理验证"), "代理验证");
  EXPECT_EQ(ToSimplified(""), "");
  EXPECT_EQ(ToSimplified("個\xFF"), "个" + std::string(kReplacement));
}

TEST(ConcurrencyTest, ManyThreadsConvertAtOnce) {
  const std::string big5 = "\xAD\xD3\xA4\x48\xB9\x71\xB8\xA3";
  constexpr int kThreads = 32;
  constexpr int kRounds = 200;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string own = "线程" + std::to_string(t) + "代理验证";
      for (int i = 0; i < kRounds; ++i) {
        const std::string gbk = EncodeGbk(own);
        if (DecodeGbk(gbk) != own) ++failures;
        if (DecodeGbk(gbk + "\x81") != own + std::string(kReplacement)) ++failures;
        if (i % 10 == 0) {
          if (DecodeBig5Simplified(big5) != "个人电脑") ++failures;
          if (Big5ToGbkSimplified(big5) != EncodeGbk("个人电脑")) ++failures;
        }
        if (DecodeUtf8(own + "\xFF") != own + std::string(kReplacement)) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace lumvex::text
