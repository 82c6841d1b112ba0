#include "http/fetch_request.h"

#include <gtest/gtest.h>

#include <cmath>

#include "http/cookie_store.h"

namespace lumvex::http {
namespace {

const std::string kAccept(kFetchAcceptLine);
const std::string kLanguage(kAcceptLanguageLine);

TEST(FetchUrlTest, SchemeIsPutInFrontUnlessExactlyHttpOrHttps) {
  EXPECT_EQ(NormaliseFetchUrl("host.com/a"), "http://host.com/a");
  EXPECT_EQ(NormaliseFetchUrl("HTTP://Host/x"), "http://HTTP://Host/x");
  EXPECT_EQ(NormaliseFetchUrl("http://h/"), "http://h/");
  EXPECT_EQ(NormaliseFetchUrl("https://h/"), "https://h/");
  EXPECT_EQ(NormaliseFetchUrl("   "), std::nullopt);
  EXPECT_EQ(NormaliseFetchUrl(" 　 "), std::nullopt);  // ASCII and ideographic spaces
  EXPECT_EQ(NormaliseFetchUrl(""), std::nullopt);
}

TEST(FetchDeadlineTest, OmittedIsSixtySecondsOtherwiseRoundedMilliseconds) {
  EXPECT_EQ(FetchDeadlineMs(std::nullopt), 60000.0);
  EXPECT_EQ(FetchDeadlineMs(5.0), 5000.0);
  EXPECT_EQ(FetchDeadlineMs(0.0), 0.0);
  EXPECT_EQ(FetchDeadlineMs(1.2345), 1235.0);
  EXPECT_LE(FetchDeadlineMs(-3.0), 0.0);
  EXPECT_EQ(FetchDeadlineMs(std::nan("")), 60000.0);
  // Absurd deadlines stay finite.
  EXPECT_LE(FetchDeadlineMs(1e300), 24.0 * 3600 * 1000);
}

TEST(FetchDeadlineTest, ReachingTheDeadlineIsATimeoutEvenWithAnAnswer) {
  EXPECT_TRUE(IsFetchTimedOut(5000.0, 5000.0));
  EXPECT_TRUE(IsFetchTimedOut(5000.00000005, 5000.0));
  EXPECT_TRUE(IsFetchTimedOut(4999.99999995, 5000.0));  // within the tolerance
  EXPECT_FALSE(IsFetchTimedOut(4999.999, 5000.0));
  EXPECT_TRUE(IsFetchTimedOut(0.0, 0.0));
  EXPECT_FALSE(IsFetchTimedOut(0.0, 1.0));
}

TEST(FetchHeaderBlockTest, DefaultsFollowTheCallerLines) {
  EXPECT_EQ(CompleteFetchHeaderBlock("", "http://h/p", false, "", 0),
            kAccept + "Referer: http://h/p\r\n" + kLanguage);
  EXPECT_EQ(CompleteFetchHeaderBlock("X-A: 1\r\n", "http://h/p", false, "", 0),
            "X-A: 1\r\n" + kAccept + "Referer: http://h/p\r\n" + kLanguage);
}

TEST(FetchHeaderBlockTest, SubstringTestsDecideWhichDefaultsAreAdded) {
  // Accept-Language alone counts as an Accept line and as the language line.
  EXPECT_EQ(CompleteFetchHeaderBlock("Accept-Language: en\r\n", "http://h/", false, "", 0),
            "Accept-Language: en\r\nReferer: http://h/\r\n");
  EXPECT_EQ(CompleteFetchHeaderBlock("accept: */*\r\nREFERER: x\r\n", "http://h/", false, "", 0),
            "accept: */*\r\nREFERER: x\r\n" + kLanguage);
  // The marker is removed and no Referer is added.
  EXPECT_EQ(CompleteFetchHeaderBlock("RefererNo\r\n", "http://h/", false, "", 0),
            "\r\n" + kAccept + kLanguage);
  // Any letter case suppresses the Referer, but only the exact marker is cut out.
  EXPECT_EQ(CompleteFetchHeaderBlock("refererno\r\n", "http://h/", false, "", 0),
            "refererno\r\n" + kAccept + kLanguage);
}

TEST(FetchHeaderBlockTest, PostAddsContentLinesOnlyForABody) {
  std::string base = kAccept + "Referer: http://h/\r\n" + kLanguage;
  EXPECT_EQ(CompleteFetchHeaderBlock("", "http://h/", true, "", 7),
            base + std::string(kFormContentTypeLine) + "Content-Length: 7\r\n");
  EXPECT_EQ(CompleteFetchHeaderBlock("", "http://h/", true, "", 0), base);
  EXPECT_EQ(CompleteFetchHeaderBlock("Content-Type: text/plain\r\n", "http://h/", true, "", 3),
            "Content-Type: text/plain\r\n" + base + "Content-Length: 3\r\n");
  EXPECT_EQ(CompleteFetchHeaderBlock("", "http://h/", true, "k=v", 2),
            base + std::string(kFormContentTypeLine) + "Content-Length: 2\r\nCookie: k=v\r\n\r\n");
  EXPECT_EQ(CompleteFetchHeaderBlock("", "http://h/", false, "k=v", 0),
            base + "Cookie: k=v\r\n\r\n");
}

TEST(FetchHeaderBlockTest, UserAgentComesFromTheBlockWhenItHasOne) {
  EXPECT_EQ(FetchUserAgent(""), kFetchUserAgent);
  EXPECT_EQ(FetchUserAgent("user-agent:   Bot/1.0  \r\nX: y\r\n"), "Bot/1.0");
  EXPECT_EQ(FetchUserAgent("X-User-Agent: Other\r\n"), "Other");
  EXPECT_EQ(SplitHeaderBlock("A: 1\r\n\r\nB: 2\r\n"), (std::vector<std::string>{"A: 1", "B: 2"}));
  EXPECT_TRUE(SplitHeaderBlock("").empty());
}

TEST(FetchResponseTest, HeaderBlockThatDoesNotFitBecomesSpaces) {
  EXPECT_EQ(FitHeaderBuffer("HTTP/1.1 200 OK\r\n\r\n", 2048), "HTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(FitHeaderBuffer(std::string(2047, 'x'), 2048), std::string(2047, 'x'));
  // The terminating zero needs the last byte.
  EXPECT_EQ(FitHeaderBuffer(std::string(2048, 'x'), 2048), std::string(2048, ' '));
  EXPECT_EQ(FitHeaderBuffer(std::string(5000, 'x'), 1024), std::string(1024, ' '));
}

TEST(FetchResponseTest, SetCookieLinesGiveNameValueAndASemicolonEach) {
  std::string headers =
      "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nset-cookie: b=2\r\nX: Set-Cookie\r\n\r\n";
  CookieStore store;
  EXPECT_EQ(CollectFetchCookies(headers, "h.example", &store), "a=1;;");
  std::vector<std::string> stored = store.List();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_NE(stored[0].find("h.example"), std::string::npos);
  EXPECT_EQ(CollectFetchCookies("HTTP/1.1 200 OK\r\n\r\n", "h", nullptr), "");
  EXPECT_EQ(CollectFetchCookies(std::string(2048, ' '), "h", nullptr), "");
}

TEST(FetchResponseTest, BodyIsCutAtZeroOnlyWhenConverted) {
  std::string body("ab\0cd", 5);
  EXPECT_EQ(DecodeFetchBody(body, kBodyAsIs), body);
  EXPECT_EQ(DecodeFetchBody(body, 7), body);
  EXPECT_EQ(DecodeFetchBody(body, kBodyUtf8), "ab");
  EXPECT_EQ(DecodeFetchBody(body, kBodyBig5), "ab");
  EXPECT_EQ(DecodeFetchBody("\xE4\xB8\xAD\xE6\x96\x87", kBodyUtf8), "中文");
  // Big5 for the Traditional 體 (C5 E9) comes back Simplified.
  EXPECT_EQ(DecodeFetchBody("\xC5\xE9", kBodyBig5), "体");
  // Broken UTF-8 never cuts the rest off.
  EXPECT_EQ(DecodeFetchBody("a\xFF"
                            "b",
                            kBodyUtf8),
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
}  // namespace lumvex::http
