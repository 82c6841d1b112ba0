// Which requests go through a given proxy, and that the environment never picks one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fixture/fixture_server.h"
#include "http/fetch_client.h"
#include "http/raw_request.h"

namespace lumvex::http {
namespace {

using tools::FixtureServer;
using tools::ProxyFarm;
using tools::ProxySpec;
using tools::Reply;

class ProxyRouteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    Reply reply;
    reply.body = "direct";
    server_.SetDefault(reply);
    ProxySpec spec;
    spec.body = "via proxy";
    auto endpoints = farm_.Start({spec});
    ASSERT_EQ(endpoints.size(), 1u);
    proxy_ = endpoints[0].address + ":" + std::to_string(endpoints[0].port);
  }
  std::string Target(const std::string& scheme, const std::string& path) const {
    return scheme + "://127.0.0.1:" + std::to_string(server_.port()) + path;
  }

  FixtureServer server_;
  ProxyFarm farm_;
  std::string proxy_;
  FetchClient client_{nullptr};
};

TEST_F(ProxyRouteTest, PlainHttpGoesThroughTheProxyInAbsoluteForm) {
  std::string url = Target("http", "/p?q=1");
  FetchOptions options;
  options.proxy = proxy_;
  EXPECT_EQ(client_.FetchPage(url, options).body, "via proxy");
  auto seen = farm_.Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].target, url);
  EXPECT_EQ(seen[0].head.find("Proxy-Connection"), std::string::npos);
  EXPECT_TRUE(server_.Requests().empty());

  RawRequestArgs args;
  args.proxy = proxy_;
  EXPECT_EQ(RawRequest(client_, Target("http", "/raw"), args, nullptr).body, "via proxy");
  EXPECT_EQ(farm_.RequestsSeen(), 2u);
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(ProxyRouteTest, HttpsBypassesTheProxy) {
  // Our server speaks no TLS, so the exchange fails, but it must fail without the proxy.
  std::string url = Target("https", "/s");
  FetchOptions options;
  options.proxy = proxy_;
  options.timeout_s = 10;
  FetchResult result = client_.FetchPage(url, options);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.body, "");
  EXPECT_EQ(farm_.RequestsSeen(), 0u);
  EXPECT_EQ(farm_.OpenConnections(), 0u);
}

TEST_F(ProxyRouteTest, ProxyVariablesOfTheEnvironmentNeverApply) {
  ::setenv("http_proxy", ("http://" + proxy_).c_str(), 1);
  ::setenv("HTTP_PROXY", ("http://" + proxy_).c_str(), 1);
  std::string url = Target("http", "/env");
  std::string body = client_.FetchPage(url).body;
  RawRequestArgs args;
  std::string raw = RawRequest(client_, url, args, nullptr).body;
  std::string simple = SimpleGet(client_, url, nullptr);
  ::unsetenv("http_proxy");
  ::unsetenv("HTTP_PROXY");
  EXPECT_EQ(body, "direct");
  EXPECT_EQ(raw, "direct");
  EXPECT_EQ(simple, "direct");
  EXPECT_EQ(farm_.RequestsSeen(), 0u);

  // And NO_PROXY cannot turn a given proxy off.
  ::setenv("NO_PROXY", "*", 1);
  FetchOptions options;
  options.proxy = proxy_;
  std::string proxied = client_.FetchPage(url, options).body;
  ::unsetenv("NO_PROXY");
  EXPECT_EQ(proxied, "via proxy");
}

// A check's fetch (proxy_only) goes through its proxy or nowhere: a proxy that is missing or that
// the HTTP library refuses sends nothing at all, an https address goes into a CONNECT tunnel, and
// so does the hop of a redirect to https (here refused by the proxy, which says 302 to it too).
TEST_F(ProxyRouteTest, ProxyOnlyNeverGoesDirect) {
  FixtureServer redirecting("127.0.0.2");
  Reply moved;
  moved.status = 302;
  moved.reason = "Found";
  moved.headers = {{"Location", Target("https", "/moved")}};
  redirecting.SetDefault(moved);
  ASSERT_TRUE(redirecting.Start());
  const std::string redirector = "127.0.0.2:" + std::to_string(redirecting.port());

  struct Case {
    const char* what;
    std::string proxy;
    std::string scheme;
    int status;        // of the result
    std::string body;  // of the result
    FetchFailure failure = FetchFailure::kNone;
    int proxy_status = 0;
  };
  const std::vector<Case> cases = {
      {"no proxy", "", "http", 0, ""},
      {"blank proxy", "   ", "http", 0, ""},
      // curl takes no option text of 8 MB or more and then kept its previous proxy: none.
      {"proxy curl refuses", std::string(8u * 1024 * 1024, '1') + ":80", "http", 0, ""},
      {"usable proxy", proxy_, "http", 200, "via proxy"},
      {"redirect to https", redirector, "http", 0, "", FetchFailure::kHandshake, 302},
  };
  for (const Case& c : cases) {
    std::string url = Target(c.scheme, "/check");
    FetchOptions options;
    options.proxy = c.proxy;
    options.proxy_only = true;
    options.timeout_s = 10;
    const FetchResult result = client_.FetchPage(url, options);
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.body, c.body) << c.what;
    EXPECT_EQ(result.failure, c.failure) << c.what;
    EXPECT_EQ(result.proxy_status, c.proxy_status) << c.what;
  }
  EXPECT_EQ(farm_.RequestsSeen(), 1u);
  const auto hops = redirecting.Requests();
  ASSERT_EQ(hops.size(), 2u);
  EXPECT_EQ(hops[1].method, "CONNECT");

  // An https address is asked of the proxy as a tunnel (the farm is no real proxy: the tunnel
  // fails), never of the site itself.
  std::string secure = Target("https", "/s");
  FetchOptions options;
  options.proxy = proxy_;
  options.proxy_only = true;
  options.timeout_s = 10;
  EXPECT_EQ(client_.FetchPage(secure, options).body, "");
  ASSERT_EQ(farm_.RequestsSeen(), 2u);
  EXPECT_EQ(farm_.Requests().back().method, "CONNECT");
  EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace
}  // namespace lumvex::http
