#include "http/url_text.h"

#include <gtest/gtest.h>

namespace lumvex::http {
namespace {

TEST(UrlTextTest, HostDropsSchemePortAndPathAndLowerCases) {
  EXPECT_EQ(UrlHost("http://WWW.Example.com:8080/a/b?c=1"), "www.example.com");
  EXPECT_EQ(UrlHost("https://host/x"), "host");
  EXPECT_EQ(UrlHost("Host.ORG"), "host.org");
  // Only the exact lower-case schemes are removed.
  EXPECT_EQ(UrlHost("HTTP://Host:8080/x"), "http");
  // Every scheme text is removed, even inside the query.
  EXPECT_EQ(UrlHost("http://a.com/?u=https://b.com"), "a.com");
}

TEST(UrlTextTest, PathStartsAtTheFirstSlashAfterTheHost) {
  EXPECT_EQ(UrlPath("http://h:8080/a?b=1"), "/a?b=1");
  EXPECT_EQ(UrlPath("http://h"), "/");
  EXPECT_EQ(UrlPath("h/a/b.html"), "/a/b.html");
  EXPECT_EQ(UrlPath("http://H.com/x/y"), "/x/y");
  EXPECT_EQ(UrlPath("http://h.com?q=/x"), "/x");
}

TEST(UrlTextTest, PortIsTheNumberAfterTheColonOr80) {
  EXPECT_EQ(UrlPort("http://h:8080/a"), 8080);
  EXPECT_EQ(UrlPort("HTTP://h:81/a"), 81);
  EXPECT_EQ(UrlPort("http://h/a"), 80);
  EXPECT_EQ(UrlPort("h:9000"), 9000);
  EXPECT_EQ(UrlPort("h"), 80);
  EXPECT_EQ(UrlPort("http://h:/a"), 0);
  EXPECT_EQ(UrlPort("http://h:12ab/a"), 12);
}

TEST(UrlTextTest, TextBetweenFindsBothMarkersFromTheStart) {
  EXPECT_EQ(TextBetween("<a>x</a><a>y</a>", "<a>", "</a>"), "x");
  EXPECT_EQ(TextBetween("<a>x</a><a>y</a>", "<a>", "</a>", 2), "y");
  EXPECT_EQ(TextBetween("<A>x</A>", "<a>", "</a>", 1, false), "x");
  EXPECT_EQ(TextBetween("<A>x</A>", "<a>", "</a>", 1, true), "");
  EXPECT_EQ(TextBetween("<a>x", "<a>", "</a>"), "");
  EXPECT_EQ(TextBetween("x</a>", "<a>", "</a>"), "");
  EXPECT_EQ(TextBetween("abc", "a", "c", 99), "");
  // The quote marker stands for a double quote in both markers.
  EXPECT_EQ(TextBetween("href=\"/p\" x", "href=#引号", "#引号"), "/p");
  // Multi-byte text passes through whole.
  EXPECT_EQ(TextBetween("前缀【代理】后缀", "【", "】"), "代理");
}

TEST(UrlTextTest, TextBeforeGivesTheTextUpToTheMarker) {
  EXPECT_EQ(TextBefore("a=1; path=/", ";"), "a=1");
  EXPECT_EQ(TextBefore("b=2", ";"), "");
  EXPECT_EQ(TextBefore("a;b;c", ";", 3), "a;b");
  EXPECT_EQ(TextBefore("a;b", ";", -4), "a");
  EXPECT_EQ(TextBefore("aXbxc", "x", 1, true), "a");
  EXPECT_EQ(TextBefore("aXbxc", "x", 1, false), "aXb");
}

TEST(UrlTextTest, RawRequestUrlParts) {
  RawUrlParts bare = SplitRawRequestUrl("host/a/b.html");
  EXPECT_EQ(bare.host, "host");
  EXPECT_EQ(bare.port, 80);
  EXPECT_EQ(bare.path, "/a/b.html");
  RawUrlParts upper = SplitRawRequestUrl("HTTP://Host:8080/x");
  EXPECT_EQ(upper.host, "host");
  EXPECT_EQ(upper.port, 8080);
  EXPECT_EQ(upper.path, "/x");
  RawUrlParts no_path = SplitRawRequestUrl("http://h.com");
  EXPECT_EQ(no_path.host, "h.com");
  EXPECT_EQ(no_path.path, "/");
}

}  // namespace
}  // namespace lumvex::http
