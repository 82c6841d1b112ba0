#include "validate/judge_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "validate/anonymity.h"

namespace lumvex {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct ReadCase {
  const char* name;
  std::string body;
  std::vector<std::string> origins;  // expected when readable
  Headers headers;
};

// Either format, as public judges write them.
TEST(JudgeReplyTest, ReadsBothFormats) {
  const ReadCase cases[] = {
      {"json",
       R"({"origin": "1.2.3.4", "headers": {"Via": "1.1 p", "Host": "j.test"}})",
       {"1.2.3.4"},
       {{"Host", "j.test"}, {"Via", "1.1 p"}}},
      {"json origin list, other members ignored",
       " \r\n{\"args\": {}, \"origin\": \"1.2.3.4, 5.6.7.8\", \"url\": \"http://j/\"}",
       {"1.2.3.4", "5.6.7.8"},
       {}},
      {"json headers only, a nameless one dropped",
       R"({"headers": {"X-Real-IP": "9.9.9.9", "": "1.1 s1"}})",
       {},
       {{"X-Real-IP", "9.9.9.9"}}},
      {"text as received",
       "REMOTE_ADDR = 1.2.3.4\nX-Forwarded-For = 5.6.7.8\r\nVia = 1.1 a = b\n",
       {"1.2.3.4"},
       {{"X-Forwarded-For", "5.6.7.8"}, {"Via", "1.1 a = b"}}},
      {"text CGI-style: only HTTP_ lines are headers",
       "<pre>\nREMOTE_ADDR = 1.2.3.4\nSERVER_ADDR = 9.9.9.9\nHTTP_X_FORWARDED_FOR = 5.6.7.8\n"
       "http_via = x\nnot a line\nHTTP_ = y\n",
       {"1.2.3.4"},
       {{"X_FORWARDED_FOR", "5.6.7.8"}, {"via", "x"}}},
      {"text header without origin", "Via = 1.1 x\n", {}, {{"Via", "1.1 x"}}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const JudgeReading reading = ReadJudgeReply(c.body);
    ASSERT_TRUE(reading.view.has_value()) << reading.reason;
    EXPECT_EQ(reading.view->origins, c.origins);
    EXPECT_EQ(reading.view->headers, c.headers);
  }
}

// Whatever a proxy puts in place of the judge's reply is unreadable, with a reason, never thrown.
TEST(JudgeReplyTest, RefusesWhatIsNoJudgeReply) {
  std::string deep(20000, '[');
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"html page", "<html><body>Access denied</body></html>"},
      {"truncated json", R"({"origin": "1.2.3.4", "headers": {"Via")"},
      {"json array", "[1, 2]"},
      {"json origin a number", R"({"origin": 1234})"},
      {"json headers an array", R"({"origin": "1.2.3.4", "headers": ["Via"]})"},
      {"json header value an object", R"({"headers": {"Via": {"a": 1}}})"},
      {"json with neither", R"({"url": "http://j/"})"},
      {"json not utf-8", "{\"origin\": \"\xff\xfe\"}"},
      {"deep nesting", "{\"a\":" + deep},
      {"over 64 KiB", "REMOTE_ADDR = 1.2.3.4\n" + std::string(kJudgeReplyMaxBytes, 'x')},
      {"too many lines",
       [] {
         std::string lines;
         for (std::size_t i = 0; i <= kJudgeReplyMaxHeaders; ++i) lines += "A = b\n";
         return lines;
       }()},
  };
  for (const auto& [name, body] : cases) {
    SCOPED_TRACE(name);
    const JudgeReading reading = ReadJudgeReply(body);
    EXPECT_FALSE(reading.view.has_value());
    EXPECT_FALSE(reading.reason.empty());
  }
}

struct ClassifyCase {
  const char* name;
  JudgeView view;
  std::vector<std::string> own;
  Anonymity expected;
};

TEST(AnonymityTest, ClassifiesByOwnAddressThenProxyHeaders) {
  const std::vector<std::string> me = {"10.0.0.1"};
  const ClassifyCase cases[] = {
      {"origin is own", {{"10.0.0.1"}, {}}, me, Anonymity::kTransparent},
      {"own in a list of origins", {{"9.9.9.9", "10.0.0.1"}, {}}, me, Anonymity::kTransparent},
      {"own in X-Forwarded-For",
       {{"9.9.9.9"}, {{"X-Forwarded-For", "10.0.0.1, 9.9.9.9"}}},
       me,
       Anonymity::kTransparent},
      {"own in an unlisted header",
       {{"9.9.9.9"}, {{"X-Whatever", "client=10.0.0.1"}}},
       me,
       Anonymity::kTransparent},
      {"own with a port",
       {{"9.9.9.9"}, {{"Forwarded", "for=10.0.0.1:5123;proto=http"}}},
       me,
       Anonymity::kTransparent},
      {"own IPv6 in another spelling",
       {{"9.9.9.9"}, {{"Forwarded", "for=\"[2001:DB8:0::1]:80\""}}},
       {"2001:db8::1"},
       Anonymity::kTransparent},
      {"IPv4-mapped origin", {{"::ffff:10.0.0.1"}, {}}, me, Anonymity::kTransparent},
      {"a longer address is another",
       {{"9.9.9.9"}, {{"X-Forwarded-For", "10.0.0.10"}}},
       me,
       Anonymity::kAnonymous},
      {"own only in Host and Referer",
       {{"9.9.9.9"}, {{"Host", "10.0.0.1:80"}, {"Referer", "http://10.0.0.1/"}}},
       me,
       Anonymity::kElite},
      {"Via", {{"9.9.9.9"}, {{"Via", "1.1 squid"}}}, me, Anonymity::kAnonymous},
      {"CGI-style name",
       {{"9.9.9.9"}, {{"x_forwarded_for", "unknown"}}},
       me,
       Anonymity::kAnonymous},
      {"Proxy-Connection",
       {{"9.9.9.9"}, {{"PROXY-CONNECTION", "keep-alive"}}},
       me,
       Anonymity::kAnonymous},
      {"X-Tinyproxy", {{"9.9.9.9"}, {{"X-Tinyproxy", "9.9.9.8"}}}, me, Anonymity::kAnonymous},
      {"ordinary headers only",
       {{"9.9.9.9"}, {{"User-Agent", "x"}, {"Accept", "*/*"}}},
       me,
       Anonymity::kElite},
  };
  for (const ClassifyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Classify(c.view, c.own), c.expected);
  }
}

TEST(AnonymityTest, CanonicalAddressForms) {
  const std::pair<const char*, const char*> cases[] = {
      {"127.0.0.1", "127.0.0.1"},
      {"2001:0DB8:0000::0001", "2001:db8::1"},
      {"::ffff:1.2.3.4", "1.2.3.4"},
      {"::1", "::1"},
      {"1.2.3", nullptr},
      {"1.2.3.4:80", nullptr},
      {"example.test", nullptr},
      {"", nullptr},
  };
  for (const auto& [text, canonical] : cases) {
    SCOPED_TRACE(text);
    const std::optional<std::string> got = CanonicalAddress(text);
    if (canonical == nullptr) {
      EXPECT_FALSE(got.has_value());
    } else {
      EXPECT_EQ(got.value_or("none"), canonical);
    }
  }
}

}  // namespace
}  // namespace lumvex
