#include "http/scripted_request.h"

#include <gtest/gtest.h>

#include "fixture/fixture_server.h"
#include "http/http_limits.h"

namespace lumvex::http {
namespace {

using tools::FixtureServer;
using tools::Reply;

TEST(ScriptedRulesTest, TimeoutRule) {
  ScriptedTimeouts own = ScriptedRequestTimeouts(1);
  EXPECT_EQ(own.connect_ms, kScriptedOwnConnectMs);
  EXPECT_EQ(own.idle_ms, kScriptedOwnIdleMs);
  ScriptedTimeouts two = ScriptedRequestTimeouts(2);
  EXPECT_EQ(two.connect_ms, 2000);
  EXPECT_EQ(two.idle_ms, 2000);
  EXPECT_EQ(ScriptedRequestTimeouts(0).connect_ms, 15000);
  EXPECT_EQ(ScriptedRequestTimeouts(-5).idle_ms, 15000);
  EXPECT_GT(ScriptedRequestTimeouts(2147483647).connect_ms, 0);  // no overflow
}

TEST(ScriptedRulesTest, HeaderLinesNeedAColon) {
  EXPECT_EQ(ScriptedHeaderLines("A: 1\r\nno colon\r\n\r\nB:x:y"),
            (std::vector<std::string>{"A: 1", "B:x:y"}));
  EXPECT_EQ(ScriptedHeaderLines("Single: line"), (std::vector<std::string>{"Single: line"}));
  EXPECT_TRUE(ScriptedHeaderLines("nothing").empty());
  EXPECT_TRUE(ScriptedHeaderLines("").empty());
}

TEST(ScriptedRulesTest, ResponseHeaderScan) {
  std::string location = "old";
  std::string cookies = "stale";
  ScanScriptedResponseHeaders(
      "Location: /first\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\n"
      "Set-Cookie: c=3\r\nLocation:  /second \r\n\r\n",
      &location, &cookies);
  EXPECT_EQ(location, "/second");
  EXPECT_EQ(cookies, "a=1; b=2; ; ");
  // Both matches are case-sensitive.
  location.clear();
  ScanScriptedResponseHeaders("location: /x\r\nset-cookie: z=1;\r\n", &location, &cookies);
  EXPECT_EQ(location, "");
  EXPECT_EQ(cookies, "");
}

TEST(ScriptedRulesTest, CookieMerge) {
  EXPECT_EQ(MergeCookies("", "a=1; b=2; "), "a=1; b=2;");
  EXPECT_EQ(MergeCookies("a=0; c=3", "a=1; b=2; "), "a=1; c=3; b=2;");
  // An empty value removes the cookie, whether it existed or not.
  EXPECT_EQ(MergeCookies("x=5; y=6", "x=; "), "y=6;");
  EXPECT_EQ(MergeCookies("y=6", "x=; "), "y=6;");
  // The key search is a plain substring search: "id" is found inside "sid".
  EXPECT_EQ(MergeCookies("sid=1", "id=2; "), "sid=2;");
  EXPECT_EQ(MergeCookies("k=v", ""), "k=v;");
  EXPECT_EQ(MergeCookies("", ""), "");
  EXPECT_EQ(MergeCookies("", "; "), "");
}

TEST(ScriptedRulesTest, RedirectNeverLeavesHttpsForHttp) {
  RedirectPolicy from_http = ScriptedRedirectPolicy("http://a.test/x", false);
  EXPECT_TRUE(from_http.follow);
  EXPECT_TRUE(from_http.to_http);
  EXPECT_TRUE(from_http.to_https);
  // Once on https (also after an http hop led there), plain http is refused.
  RedirectPolicy from_https = ScriptedRedirectPolicy("HTTPS://a.test/x", false);
  EXPECT_TRUE(from_https.follow);
  EXPECT_FALSE(from_https.to_http);
  EXPECT_TRUE(from_https.to_https);
  EXPECT_FALSE(ScriptedRedirectPolicy("http://a.test/x", true).follow);
}

class ScriptedRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }
  FixtureServer server_;
  FetchClient client_{nullptr};
};

TEST_F(ScriptedRequestTest, AddressOnlySendsTheDefaultBlockAndWritesItBack) {
  Reply reply;
  reply.body = "body";
  reply.headers = {{"Set-Cookie", "a=1; path=/"}, {"Set-Cookie", "b=2; path=/"}};
  server_.SetDefault(reply);
  std::string url = server_.BaseUrl() + "/manifest";
  ScriptedRequestArgs args;
  ScriptedResponse response = ScriptedRequest(client_, url, args);
  EXPECT_EQ(response.body, "body");
  EXPECT_EQ(args.method, "GET");
  EXPECT_EQ(args.headers, DefaultScriptedHeaders(url));
  EXPECT_EQ(response.returned_cookies, "a=1; b=2; ");
  EXPECT_EQ(args.cookies, "a=1; b=2;");
  // No Location: the whole header text, which starts after the status line.
  EXPECT_EQ(response.location, response.response_headers);
  EXPECT_EQ(response.response_headers.rfind("Set-Cookie: a=1; path=/\r\n", 0), 0u);

  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].head,
            "GET /manifest HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server_.port()) + "\r\n" +
                DefaultScriptedHeaders(url) + "\r\n\r\n");
}

TEST_F(ScriptedRequestTest, CookiesMethodBodyAndHeadersAsGiven) {
  server_.SetDefault(Reply{});
  ScriptedRequestArgs args;
  args.method = "post";
  args.cookies = "k=v";
  args.headers = "X-One: 1\r\nbogus\r\nX-Two:2";
  args.body = "q=1";
  ScriptedRequest(client_, server_.BaseUrl() + "/p", args);
  EXPECT_EQ(args.method, "POST");
  EXPECT_EQ(args.cookies, "k=v;");
  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].body, "q=1");
  std::string head = requests[0].head;
  std::size_t cookie = head.find("Cookie: k=v\r\n");
  std::size_t one = head.find("X-One: 1\r\n");
  std::size_t two = head.find("X-Two:2\r\n");
  ASSERT_NE(cookie, std::string::npos);
  ASSERT_NE(one, std::string::npos);
  ASSERT_NE(two, std::string::npos);
  EXPECT_LT(cookie, one);
  EXPECT_LT(one, two);
  EXPECT_EQ(head.find("bogus"), std::string::npos);
}

TEST_F(ScriptedRequestTest, BinaryBodyWinsOverTextBody) {
  ScriptedRequestArgs args;
  args.method = "put";
  args.body = "text";
  args.body_bytes = std::string("\x01\0\xFF", 3);
  ScriptedRequest(client_, server_.BaseUrl() + "/up", args);
  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "PUT");
  EXPECT_EQ(requests[0].body, args.body_bytes);
  EXPECT_NE(requests[0].head.find("Content-Length: 3\r\n"), std::string::npos);
}

TEST_F(ScriptedRequestTest, RedirectsFollowedUnlessDisabled) {
  Reply moved;
  moved.status = 302;
  moved.reason = "Found";
  moved.headers = {{"Location", server_.BaseUrl() + "/to"}};
  moved.body = "moved";
  server_.Route("/from", moved);
  Reply target;
  target.body = "arrived";
  server_.Route("/to", target);

  ScriptedRequestArgs follow;
  EXPECT_EQ(ScriptedRequestText(client_, server_.BaseUrl() + "/from", follow), "arrived");

  ScriptedRequestArgs stay;
  stay.disable_redirects = true;
  ScriptedResponse response;
  EXPECT_EQ(ScriptedRequestText(client_, server_.BaseUrl() + "/from", stay, &response), "moved");
  EXPECT_EQ(response.location, server_.BaseUrl() + "/to");
}

TEST_F(ScriptedRequestTest, TextStopsAtZeroByteAndSilentServerEndsAtItsTimeout) {
  Reply zero;
  zero.body = std::string("\0abc", 4);
  server_.Route("/zero", zero);
  Reply silent;
  silent.mode = Reply::Mode::kNeverAnswer;
  server_.Route("/silent", silent);

  ScriptedRequestArgs args;
  ScriptedResponse response;
  EXPECT_EQ(ScriptedRequestText(client_, server_.BaseUrl() + "/zero", args, &response), "");
  EXPECT_EQ(response.body, std::string("\0abc", 4));

  ScriptedRequestArgs patient;
  patient.timeout_seconds = 2;
  ScriptedResponse nothing = ScriptedRequest(client_, server_.BaseUrl() + "/silent", patient);
  EXPECT_EQ(nothing.body, "");
  EXPECT_EQ(nothing.response_headers, "");
  EXPECT_EQ(nothing.location, "");
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

}  // namespace
}  // namespace lumvex::http
