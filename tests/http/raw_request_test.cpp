#include "http/raw_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fixture/fixture_server.h"
#include "http/cookie_store.h"
#include "http/fetch_request.h"

namespace lumvex::http {
namespace {

using tools::FixtureServer;
using tools::Reply;

const std::string kAgentLine = "User-Agent: " + std::string(kRawUserAgent) + "\r\n";
const std::string kAccept(kRawAcceptLine);
const std::string kLanguage(kAcceptLanguageLine);

class RawRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }
  std::string Port() const { return std::to_string(server_.port()); }
  std::string Host() const { return "Host: 127.0.0.1:" + Port() + "\r\n"; }
  std::string OnlyHead() const {
    auto requests = server_.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? std::string() : requests[0].head;
  }

  FixtureServer server_;
  CookieStore cookies_;
  FetchClient client_{nullptr};
};

TEST_F(RawRequestTest, DefaultsAreAppendedToTheCallerBlockAndSent) {
  Reply reply;
  reply.body = "\xD6\xD0\xCE\xC4";  // GBK
  server_.SetDefault(reply);
  std::string url = "127.0.0.1:" + Port() + "/a/b.html";
  RawRequestArgs args;
  RawRequestResult result = RawRequest(client_, url, args, &cookies_);
  EXPECT_EQ(result.body, "中文");
  EXPECT_FALSE(result.response_headers.has_value());
  EXPECT_EQ(args.method, "GET");
  std::string block = kAccept + "Referer: " + url + "\r\n" + kLanguage;
  EXPECT_EQ(args.headers, block);
  EXPECT_EQ(OnlyHead(), "GET /a/b.html HTTP/1.1\r\n" + Host() + kAgentLine + block + "\r\n");
}

TEST_F(RawRequestTest, UpperCaseSchemeAndMissingPath) {
  RawRequestArgs args;
  RawRequest(client_, "HTTP://127.0.0.1:" + Port() + "/x", args, nullptr);
  EXPECT_EQ(OnlyHead().rfind("GET /x HTTP/1.1\r\n" + Host(), 0), 0u);
  server_.ClearRequests();
  RawRequestArgs bare;
  RawRequest(client_, "http://127.0.0.1:" + Port(), bare, nullptr);
  EXPECT_EQ(OnlyHead().rfind("GET / HTTP/1.1\r\n", 0), 0u);
}

TEST_F(RawRequestTest, CallerLinesInAnyCaseSuppressDefaults) {
  RawRequestArgs args;
  args.headers = "ACCEPT: text/html\r\nReferer: http://from/\r\n";
  std::string url = "http://127.0.0.1:" + Port() + "/h";
  RawRequest(client_, url, args, nullptr);
  EXPECT_EQ(args.headers, "ACCEPT: text/html\r\nReferer: http://from/\r\n" + kLanguage);
  EXPECT_EQ(OnlyHead(), "GET /h HTTP/1.1\r\n" + Host() + kAgentLine +
                            "ACCEPT: text/html\r\nReferer: http://from/\r\n" + kLanguage + "\r\n");
}

TEST_F(RawRequestTest, MethodTextSelectsPostOrFallsBackToGet) {
  std::string url = "http://127.0.0.1:" + Port() + "/m";
  RawRequestArgs post;
  post.method = "post";
  post.body = "k=v&x=1";
  RawRequest(client_, url, post, nullptr);
  EXPECT_EQ(post.method, "POST");
  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].head, "POST /m HTTP/1.1\r\n" + Host() + kAgentLine + kAccept +
                                  "Referer: " + url + "\r\n" + kLanguage +
                                  std::string(kFormContentTypeLine) + "Content-Length: 7\r\n\r\n");
  EXPECT_EQ(requests[0].body, "k=v&x=1");

  for (std::string method : {"GETX", ""}) {
    server_.ClearRequests();
    RawRequestArgs other;
    other.method = method;
    other.body = "ignored";
    RawRequest(client_, url, other, nullptr);
    EXPECT_EQ(other.method, "GET");
    EXPECT_EQ(OnlyHead().rfind("GET /m HTTP/1.1\r\n", 0), 0u);
  }
}

TEST_F(RawRequestTest, BodyStopsAtZeroAndLongHeaderBlocksBecomeSpaces) {
  Reply zero;
  zero.body = std::string("abc\0def", 7);
  server_.Route("/zero", zero);
  Reply big;
  big.headers = {{"X-Filler", std::string(1100, 'f')}};
  big.body = "ok";
  server_.Route("/big", big);
  std::string base = "http://127.0.0.1:" + Port();

  RawRequestArgs args;
  args.want_response_headers = true;
  RawRequestResult result = RawRequest(client_, base + "/zero", args, nullptr);
  EXPECT_EQ(result.body, "abc");
  EXPECT_EQ(result.response_headers,
            "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\n");

  RawRequestArgs long_args;
  long_args.want_response_headers = true;
  result = RawRequest(client_, base + "/big", long_args, nullptr);
  EXPECT_EQ(result.body, "ok");
  EXPECT_EQ(result.response_headers, std::string(kRawHeaderBufferBytes, ' '));
}

TEST_F(RawRequestTest, UnusableAddressLeavesTheCallerVariablesAlone) {
  RawRequestArgs args;
  args.method = "post";
  args.headers = "X: 1\r\n";
  args.want_response_headers = true;
  RawRequestResult result = RawRequest(client_, "http://bad host/x", args, nullptr);
  EXPECT_EQ(result.body, "");
  EXPECT_FALSE(result.response_headers.has_value());
  EXPECT_EQ(args.method, "post");
  EXPECT_EQ(args.headers, "X: 1\r\n");
}

TEST_F(RawRequestTest, StalledAndHostileServersEndTheCall) {
  Reply silent;
  silent.mode = Reply::Mode::kNeverAnswer;
  server_.Route("/silent", silent);
  Reply garbage;
  garbage.mode = Reply::Mode::kGarbage;
  server_.Route("/garbage", garbage);
  Reply reset;
  reset.mode = Reply::Mode::kReset;
  server_.Route("/reset", reset);
  std::string base = "http://127.0.0.1:" + Port();
  SyncLimits short_limits{2000, 1000};
  for (std::string target : {"/silent", "/garbage", "/reset"}) {
    RawRequestArgs args;
    args.want_response_headers = true;
    RawRequestResult result = RawRequest(client_, base + target, args, nullptr, short_limits);
    EXPECT_EQ(result.body, "") << target;
    EXPECT_EQ(result.response_headers, "") << target;
  }
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

TEST_F(RawRequestTest, CancelFlagEndsAWaitingCall) {
  Reply silent;
  silent.mode = Reply::Mode::kNeverAnswer;
  server_.SetDefault(silent);
  std::atomic<bool> cancel{false};
  RawRequestArgs args;
  args.cancel = &cancel;
  std::string raw_body = "unset";
  std::string simple_body = "unset";
  std::thread raw(
      [&] { raw_body = RawRequest(client_, "127.0.0.1:" + Port() + "/r", args, nullptr).body; });
  std::thread simple([&] {
    simple_body = SimpleGet(client_, "http://127.0.0.1:" + Port() + "/s", nullptr,
                            {kSimpleGetConnectMs, kSimpleGetIdleMs}, &cancel);
  });
  ASSERT_TRUE(server_.WaitForRequests(2, 10000));
  cancel = true;
  raw.join();
  simple.join();
  EXPECT_EQ(raw_body, "");
  EXPECT_EQ(simple_body, "");
  EXPECT_TRUE(server_.WaitForOpenConnections(0, 5000));
}

TEST_F(RawRequestTest, SimpleGetIsAPlainHttp10Request) {
  Reply reply;
  reply.body = std::string("bin\0ary", 7);
  server_.SetDefault(reply);
  EXPECT_EQ(SimpleGet(client_, "http://127.0.0.1:" + Port() + "/s?x=1", &cookies_), reply.body);
  EXPECT_EQ(OnlyHead(), "GET /s?x=1 HTTP/1.0\r\n" + Host() + kAgentLine + "Accept: */*\r\n\r\n");
  server_.ClearRequests();
  EXPECT_EQ(SimpleGet(client_, "", &cookies_), "");
  EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace
}  // namespace lumvex::http
