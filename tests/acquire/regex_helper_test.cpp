#include "acquire/regex_helper.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace lumvex {
namespace {

// The link pattern of the source-A category list and the row pattern of its table pages, as the
// scrapers pass them.
constexpr const char* kCategoryPattern =
    "<li><a href=\"proxy_ip.html\\?id=(.{1,}?)\"  title=\"(.{1,}?)\">.*\\（(.{1,}?)\\）个</a></li>";
constexpr const char* kRowPattern =
    "<tr>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n"
    "  <td class=\"tableAdr\">(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n  <td>(.{1,}?)</td>\r\n"
    "  <td>(.{1,}?)</td>\r\n</tr>";

std::string Row(const std::string& ip, const std::string& port, const std::string& type,
                const std::string& place, const std::string& speed, const std::string& alive,
                const char* eol = "\r\n") {
  std::string row = std::string("<tr>") + eol;
  for (const std::string& cell : {ip, port, type}) row += "  <td>" + cell + "</td>" + eol;
  row += "  <td class=\"tableAdr\">" + place + "</td>" + eol;
  row += "  <td>匿名</td>" + std::string(eol);
  row += "  <td>" + speed + "</td>" + eol;
  row += "  <td>" + alive + "</td>" + eol;
  row += "</tr>";
  return row;
}

TEST(RegexHelperPagePatterns, CategoryLinkGivesIdTitleAndCount) {
  const std::string page =
      "<ul>\r\n"
      "<li><a href=\"proxy_ip.html?id=12\"  title=\"国内高匿\">国内高匿代理（1234）个</a></li>\r\n"
      "<li><a href=\"proxy_ip.html?id=7\"  title=\"Foreign\">Foreign（56）个</a></li>\r\n"
      "</ul>";
  RegexHelper helper;
  ASSERT_TRUE(helper.Create(kCategoryPattern, page));
  ASSERT_EQ(helper.MatchCount(), 2);
  EXPECT_EQ(helper.SubMatchCount(), 3);
  EXPECT_EQ(helper.SubMatchText(1, 1), "12");
  EXPECT_EQ(helper.SubMatchText(1, 2), "国内高匿");
  EXPECT_EQ(helper.SubMatchText(1, 3), "1234");
  EXPECT_EQ(helper.SubMatchText(2, 1), "7");
  EXPECT_EQ(helper.SubMatchText(2, 2), "Foreign");
  EXPECT_EQ(helper.SubMatchText(2, 3), "56");
}

TEST(RegexHelperPagePatterns, EscapedQuestionMarkIsLiteral) {
  // Were "?" a quantifier, "html\?" would also accept "htmid=" (the "l" made optional).
  RegexHelper helper;
  ASSERT_TRUE(helper.Create(kCategoryPattern,
                            "<li><a href=\"proxy_ip.htmid=12\"  title=\"t\">t（1）个</a></li>"));
  EXPECT_EQ(helper.MatchCount(), 0);
  ASSERT_TRUE(helper.Create("a\\+b\\*\\（(\\d+)\\）", "a+b*（15）"));
  EXPECT_EQ(helper.SubMatchText(1, 1), "15");
}

TEST(RegexHelperPagePatterns, RowPatternReadsFullRowsAcrossCrLfLines) {
  const std::string page = "<html><body><table>\r\n<tr><th>IP</th></tr>\r\n" +
                           Row("1.2.3.4", "8080", "HTTP", "北京市 联通", "0.5秒", "2天") + "\r\n" +
                           Row("5.6.7.8", "3128", "HTTPS", "广东省深圳市", "1.25秒", "10小时") +
                           "\r\n</table></body></html>";
  RegexHelper helper;
  ASSERT_TRUE(helper.Create(kRowPattern, page));
  ASSERT_EQ(helper.MatchCount(), 2);
  EXPECT_EQ(helper.SubMatchCount(), 7);
  const char* first[] = {"1.2.3.4", "8080", "HTTP", "北京市 联通", "匿名", "0.5秒", "2天"};
  const char* second[] = {"5.6.7.8", "3128", "HTTPS", "广东省深圳市", "匿名", "1.25秒", "10小时"};
  for (int j = 1; j <= 7; ++j) {
    EXPECT_EQ(helper.SubMatchText(1, j), first[j - 1]) << "group " << j;
    EXPECT_EQ(helper.SubMatchText(2, j), second[j - 1]) << "group " << j;
  }
  EXPECT_EQ(helper.MatchText(1), Row("1.2.3.4", "8080", "HTTP", "北京市 联通", "0.5秒", "2天"));
}

TEST(RegexHelperPagePatterns, BrokenRowIsSkippedWithoutSwallowingTheNext) {
  // An empty cell cannot satisfy "{1,}", and "." cannot run over the line break to look further,
  // so the broken row fails alone; a row with bare "\n" line ends does not match the pattern.
  const std::string page = Row("9.9.9.9", "", "HTTP", "上海", "1秒", "1天") + "\r\n" +
                           Row("7.7.7.7", "80", "HTTP", "上海", "1秒", "1天", "\n") + "\r\n" +
                           Row("1.1.1.1", "81", "SOCKS", "天津", "2秒", "3天");
  RegexHelper helper;
  ASSERT_TRUE(helper.Create(kRowPattern, page));
  ASSERT_EQ(helper.MatchCount(), 1);
  EXPECT_EQ(helper.SubMatchText(1, 1), "1.1.1.1");
  EXPECT_EQ(helper.SubMatchText(1, 4), "天津");
}

TEST(RegexHelperPagePatterns, ChineseTextIsCapturedExactly) {
  RegexHelper helper;
  ASSERT_TRUE(
      helper.Create("<td class=\"tableAdr\">(.{1,}?)</td>", "<td class=\"tableAdr\">北京市</td>"));
  const std::string place = helper.SubMatchText(1, 1);
  EXPECT_EQ(place, "北京市");
  EXPECT_EQ(place.size(), 9u);  // three characters of three bytes each
}

TEST(RegexHelperCharacters, DotAndCountsTakeWholeCharacters) {
  RegexHelper helper;
  // The lazy group stops at the first literal, after whole characters only.
  ASSERT_TRUE(helper.Create("<td>(.{1,}?)市", "<td>北京市海淀区市"));
  EXPECT_EQ(helper.SubMatchText(1, 1), "北京");
  ASSERT_TRUE(helper.Create("^(.)(.{2})$", "北京市"));
  ASSERT_EQ(helper.MatchCount(), 1);
  EXPECT_EQ(helper.SubMatchText(1, 1), "北");
  EXPECT_EQ(helper.SubMatchText(1, 2), "京市");
  ASSERT_TRUE(helper.Create("(.)", "a京😀"));
  ASSERT_EQ(helper.MatchCount(), 3);
  EXPECT_EQ(helper.MatchText(2), "京");
  EXPECT_EQ(helper.MatchText(3), "😀");
}

TEST(RegexHelperCharacters, InvalidBytesCountAsOneCharacterAndComeBackUnchanged) {
  RegexHelper helper;
  const std::string subject = "<\xFF\xE5\x8C>";  // a stray byte, then a truncated character
  ASSERT_TRUE(helper.Create("<(.)(.)(.)>", subject));
  ASSERT_EQ(helper.MatchCount(), 1);
  EXPECT_EQ(helper.SubMatchText(1, 1), "\xFF");
  EXPECT_EQ(helper.SubMatchText(1, 2), "\xE5");
  EXPECT_EQ(helper.SubMatchText(1, 3), "\x8C");
  EXPECT_EQ(helper.ReplaceMatches("[$2$1]"), "[\xE5\xFF]");
  ASSERT_TRUE(helper.Create("x", std::string("a\0x", 3)));
  EXPECT_EQ(helper.MatchCount(), 1);
}

TEST(RegexHelperFlags, NoMatchStillSucceeds) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("<td>(.+?)</td>", "nothing to see"));
  EXPECT_EQ(helper.MatchCount(), 0);
  EXPECT_EQ(helper.SubMatchCount(), 0);
  EXPECT_EQ(helper.MatchText(1), "");
  EXPECT_EQ(helper.GetPattern(), "<td>(.+?)</td>");
  EXPECT_EQ(helper.ReplaceMatches("x"), "nothing to see");
}

TEST(RegexHelperFlags, CaseInsensitiveUnlessAsked) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("<TD>(.+?)</TD>", "<td>Ab</td>"));
  EXPECT_EQ(helper.MatchCount(), 1);
  EXPECT_EQ(helper.SubMatchText(1, 1), "Ab");
  ASSERT_TRUE(helper.Create("<TD>(.+?)</TD>", "<td>Ab</td>", /*case_sensitive=*/true));
  EXPECT_EQ(helper.MatchCount(), 0);
}

TEST(RegexHelperFlags, DotNeverCrossesALineBreak) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("<td>(.{1,}?)</td>", "<td>a\r\nb</td><td>c</td>"));
  ASSERT_EQ(helper.MatchCount(), 1);
  EXPECT_EQ(helper.SubMatchText(1, 1), "c");
  for (const char* subject : {"a\rb", "a\nb", "a\r\nb"}) {
    ASSERT_TRUE(helper.Create("a.+b", subject));
    EXPECT_EQ(helper.MatchCount(), 0) << "subject with a line break";
  }
  ASSERT_TRUE(helper.Create("a\r\nb", "xa\r\nb"));  // spelled-out line breaks match themselves
  EXPECT_EQ(helper.MatchCount(), 1);
}

TEST(RegexHelperFlags, MultilineAnchorsAtLineEnds) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("^b$", "a\nb\nc"));
  EXPECT_EQ(helper.MatchCount(), 1);
  ASSERT_TRUE(helper.Create("^b$", "a\nb\nc", false, /*multiline=*/false));
  EXPECT_EQ(helper.MatchCount(), 0);
  ASSERT_TRUE(helper.Create("^\\w", "ab\ncd\nef"));
  ASSERT_EQ(helper.MatchCount(), 3);
  EXPECT_EQ(helper.MatchText(3), "e");
}

TEST(RegexHelperFlags, GlobalFindsNonOverlappingMatchesLeftToRight) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("a.a", "aXaYaZa"));
  ASSERT_EQ(helper.MatchCount(), 2);
  EXPECT_EQ(helper.MatchText(1), "aXa");
  EXPECT_EQ(helper.MatchText(2), "aZa");
  ASSERT_TRUE(helper.Create("a.a", "aXaYaZa", false, true, /*global=*/false));
  ASSERT_EQ(helper.MatchCount(), 1);
  EXPECT_EQ(helper.MatchText(1), "aXa");
}

TEST(RegexHelperFlags, EmptyMatchesMoveOn) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("a*", "baa"));
  ASSERT_EQ(helper.MatchCount(), 3);  // "" before b, "aa", "" at the end
  EXPECT_EQ(helper.MatchText(1), "");
  EXPECT_EQ(helper.MatchText(2), "aa");
  EXPECT_EQ(helper.MatchText(3), "");
  ASSERT_TRUE(helper.Create("x*", "北京"));
  EXPECT_EQ(helper.MatchCount(), 3);
  EXPECT_EQ(helper.ReplaceMatches("-"), "-北-京-");
  ASSERT_TRUE(helper.Create("", ""));
  EXPECT_EQ(helper.MatchCount(), 1);
}

TEST(RegexHelperGroups, NumberedByOpeningParenthesis) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("((a)(b))(c)?(?:d)?", "xab"));
  ASSERT_EQ(helper.MatchCount(), 1);
  EXPECT_EQ(helper.SubMatchCount(), 4);
  EXPECT_EQ(helper.SubMatchText(1, 1), "ab");
  EXPECT_EQ(helper.SubMatchText(1, 2), "a");
  EXPECT_EQ(helper.SubMatchText(1, 3), "b");
  EXPECT_EQ(helper.SubMatchText(1, 4), "");  // took no part in the match
}

TEST(RegexHelperGroups, OutOfRangeIndicesGiveEmptyText) {
  RegexHelper fresh;
  EXPECT_EQ(fresh.MatchCount(), 0);
  EXPECT_EQ(fresh.SubMatchCount(), 0);
  EXPECT_EQ(fresh.MatchText(1), "");
  EXPECT_EQ(fresh.SubMatchText(1, 1), "");
  EXPECT_EQ(fresh.GetPattern(), "");
  EXPECT_EQ(fresh.ReplaceMatches("x"), "");

  RegexHelper helper;
  ASSERT_TRUE(helper.Create("(\\d)(\\d)", "12 34"));
  ASSERT_EQ(helper.MatchCount(), 2);
  for (int i : {0, -1, 3, INT_MAX, INT_MIN}) {
    EXPECT_EQ(helper.MatchText(i), "") << i;
    EXPECT_EQ(helper.SubMatchText(i, 1), "") << i;
  }
  for (int j : {0, -1, 3, INT_MAX, INT_MIN}) EXPECT_EQ(helper.SubMatchText(2, j), "") << j;
  EXPECT_EQ(helper.SubMatchText(2, 2), "4");
}

TEST(RegexHelperFailures, InvalidPatternLeavesNoResults) {
  for (const char* pattern : {"(abc", "[a", "a)", "\\", "*a", "a{2,1}", "(?<", "\xFF("}) {
    RegexHelper helper;
    ASSERT_TRUE(helper.Create("(a)", "a a"));  // earlier results must go too
    EXPECT_FALSE(helper.Create(pattern, "abc abc")) << pattern;
    EXPECT_EQ(helper.MatchCount(), 0) << pattern;
    EXPECT_EQ(helper.SubMatchCount(), 0) << pattern;
    EXPECT_EQ(helper.MatchText(1), "") << pattern;
    EXPECT_EQ(helper.SubMatchText(1, 1), "") << pattern;
    EXPECT_EQ(helper.GetPattern(), "") << pattern;
    EXPECT_EQ(helper.ReplaceMatches("x"), "") << pattern;
  }
}

TEST(RegexHelperFailures, RunawaySearchGivesUpKeepingEarlierMatches) {
  // The first two patterns exceed the engine's step budget, the last its backtracking memory. The
  // search must end as a failure instead of hanging or throwing, keeping what it found before.
  const struct {
    const char* pattern;
    std::string subject;
    const char* earlier_match;  // nullptr when none comes before the pathological part
  } cases[] = {{"(x+x+)+y", std::string(1000, 'x'), nullptr},
               {"(x+x+)+y", "xxy " + std::string(1000, 'x'), "xxy"},
               {"(a|aa)+(a+)+b", std::string(20000, 'a'), nullptr}};
  for (const auto& c : cases) {
    RegexHelper helper;
    bool created = true;
    EXPECT_NO_THROW(created = helper.Create(c.pattern, c.subject)) << c.pattern;
    EXPECT_FALSE(created) << c.pattern;
    if (c.earlier_match == nullptr) {
      EXPECT_EQ(helper.MatchCount(), 0) << c.pattern;
      EXPECT_EQ(helper.SubMatchText(1, 1), "") << c.pattern;
    } else {
      ASSERT_EQ(helper.MatchCount(), 1) << c.pattern;
      EXPECT_EQ(helper.MatchText(1), c.earlier_match);
      EXPECT_EQ(helper.ReplaceMatches("<$1>"), "<xx> " + std::string(1000, 'x'));
    }
    ASSERT_TRUE(helper.Create("(\\w+)", c.subject));
    EXPECT_EQ(helper.SubMatchText(1, 1), c.subject.substr(0, c.subject.find(' ')));
  }
}

TEST(RegexHelperCopy, CopyKeepsResultsAndItsOwnSubject) {
  auto helper = std::make_unique<RegexHelper>();
  ASSERT_TRUE(helper->Create("<b>(.+?)</b>", "<b>北京</b><b>上海</b>"));
  RegexHelper copy = *helper;
  RegexHelper assigned;
  assigned = *helper;
  helper->Create("zzz", "other text");
  helper.reset();  // the copies must not depend on the original's storage
  for (const RegexHelper* h : {&copy, &assigned}) {
    ASSERT_EQ(h->MatchCount(), 2);
    EXPECT_EQ(h->SubMatchText(2, 1), "上海");
    EXPECT_EQ(h->GetPattern(), "<b>(.+?)</b>");
    EXPECT_EQ(h->ReplaceMatches("[$1]"), "[北京][上海]");
  }
}

TEST(RegexHelperReplace, GroupsAndGlobalFlag) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("(\\d+)PX", "10px 20px 3em"));
  EXPECT_EQ(helper.ReplaceMatches("$1pt"), "10pt 20pt 3em");
  ASSERT_TRUE(helper.Create("(\\d+)PX", "10px 20px 3em", false, true, /*global=*/false));
  EXPECT_EQ(helper.ReplaceMatches("$1pt"), "10pt 20px 3em");
}

TEST(RegexHelperReplace, DollarSequences) {
  RegexHelper helper;
  ASSERT_TRUE(helper.Create("b(c)(x)?", "abcd"));
  EXPECT_EQ(helper.ReplaceMatches("[$&]"), "a[bc]d");
  EXPECT_EQ(helper.ReplaceMatches("[$`|$']"), "a[a|d]d");
  EXPECT_EQ(helper.ReplaceMatches("$$1"), "a$1d");
  EXPECT_EQ(helper.ReplaceMatches("<$2>"), "a<>d");       // group that did not take part
  EXPECT_EQ(helper.ReplaceMatches("$0$3$"), "a$0$3$d");   // no such groups: literal
  EXPECT_EQ(helper.ReplaceMatches("$10|$01"), "ac0|cd");  // "$10" falls back to group 1
  EXPECT_EQ(helper.ReplaceMatches("$x\\1"), "a$x\\1d");   // backslashes are plain text
}

TEST(RegexHelperThreads, HelpersOnSeveralThreadsWorkIndependently) {
  // Page tasks run one helper per worker thread at the same time.
  constexpr int kThreads = 4;
  std::vector<std::string> pages;
  for (int t = 0; t < kThreads; ++t) {
    std::string page;
    for (int r = 0; r < 50; ++r) {
      page += Row("10.0." + std::to_string(t) + "." + std::to_string(r), "80", "HTTP", "北京市",
                  "1秒", "1天") +
              "\r\n";
    }
    pages.push_back(page);
  }
  std::vector<int> counts(kThreads, 0);
  std::vector<std::string> last_ips(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 10; ++round) {
        RegexHelper helper;
        helper.Create(kRowPattern, pages[static_cast<std::size_t>(t)]);
        counts[static_cast<std::size_t>(t)] = helper.MatchCount();
        last_ips[static_cast<std::size_t>(t)] = helper.SubMatchText(helper.MatchCount(), 1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(counts[static_cast<std::size_t>(t)], 50);
    EXPECT_EQ(last_ips[static_cast<std::size_t>(t)], "10.0." + std::to_string(t) + ".49");
  }
}

}  // namespace
}  // namespace lumvex
