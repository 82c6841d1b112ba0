// Verdicts with their reasons, against loopback servers that play the proxy: redirects followed
// through the proxy, replies cut short, and a judge that refuses checks while it is busy.
#include <gtest/gtest.h>

#include <future>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/check_command.h"
#include "fixture/fixture_server.h"
#include "fixture/proxy_farm.h"
#include "http/fetch_client.h"
#include "validate/guard_check.h"
#include "validate/own_address.h"

namespace lumvex {
namespace {

struct CheckRun {
  int status = -1;
  std::string out;
  std::string err;
};

// These checks leave the check history of the data directory beside the test alone.
CheckRun RunChecker(std::vector<std::string> args, const std::string& input) {
  args.push_back("--no-history");
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  CheckRun run;
  run.status = cli::RunCheck(args, in, out, err, false);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// The tab-separated fields of each line, by its first field (the address).
std::map<std::string, std::vector<std::string>> LinesByAddress(const std::string& out) {
  std::map<std::string, std::vector<std::string>> lines;
  std::istringstream text(out);
  for (std::string line; std::getline(text, line);) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
    if (!fields.empty()) lines[fields[0]] = fields;
  }
  return lines;
}

tools::Reply Redirect(std::string location) {
  tools::Reply reply;
  reply.status = 302;
  reply.reason = "Found";
  if (!location.empty()) reply.headers = {{"Location", std::move(location)}};
  return reply;
}

tools::Reply Raw(std::string bytes) {
  tools::Reply reply;
  reply.mode = tools::Reply::Mode::kRaw;
  reply.raw = std::move(bytes);
  return reply;
}

tools::Reply JudgeRefusal(int status, int retry_after_s) {
  tools::Reply reply;
  reply.status = status;
  reply.reason = status == 429 ? "Too Many Requests" : "Service Unavailable";
  reply.headers = {{"X-Judge-Refusal", "busy"}, {"Retry-After", std::to_string(retry_after_s)}};
  reply.body = "busy";
  return reply;
}

tools::Reply JudgeEcho(std::string origin) {
  tools::Reply reply;
  reply.headers = {{"Content-Type", "application/json"}};
  reply.body = "{\"origin\":\"" + origin + "\",\"headers\":{\"Host\":\"judge.test\"}}";
  return reply;
}

// Loopback servers that each play one proxy of the list.
class CheckReasonsTest : public ::testing::Test {
 protected:
  // A proxy answering every request with `reply` unless a route says otherwise.
  tools::FixtureServer& AddProxy(const std::string& name, tools::Reply reply,
                                 std::map<std::string, tools::Reply> routes = {}) {
    auto server = std::make_unique<tools::FixtureServer>(tools::LoopbackAddress(servers_.size()));
    server->SetDefault(std::move(reply));
    for (auto& [target, routed] : routes) server->Route(target, std::move(routed));
    EXPECT_TRUE(server->Start());
    const std::string address = server->address() + ":" + std::to_string(server->port());
    addresses_[name] = address;
    list_ += address + "\n";
    servers_.push_back(std::move(server));
    return *servers_.back();
  }
  const std::string& Address(const std::string& name) const { return addresses_.at(name); }

  std::vector<std::unique_ptr<tools::FixtureServer>> servers_;
  std::map<std::string, std::string> addresses_;
  std::string list_;
};

// A redirect is followed through the same proxy and the last reply decides; one that cannot be
// followed (another scheme, a loop, no address) fails as "redirect".
TEST_F(CheckReasonsTest, RedirectsAreFollowedThroughTheProxy) {
  struct Case {
    std::string name;
    tools::Reply reply;
    std::map<std::string, tools::Reply> routes;
    std::string verdict;
    std::string reason;
  };
  tools::Reply landed;
  landed.body = "landed";
  tools::Reply tunnel_granted;  // the proxy grants the tunnel, then closes it: no TLS comes
  tunnel_granted.reason = "Connection established";
  const std::vector<Case> cases = {
      {"to a file", Redirect("file:///etc/passwd"), {}, "failed", "redirect"},
      {"loop", Redirect("http://check.test/again"), {}, "failed", "redirect"},
      {"no address", Redirect(""), {}, "failed", "redirect"},
      {"elsewhere",
       Redirect("http://elsewhere.test/page"),
       {{"http://elsewhere.test/page", landed}},
       "ok",
       "-"},
      {"to https",
       Redirect("https://elsewhere.test/secure"),
       {{"elsewhere.test:443", tunnel_granted}},
       "failed",
       "handshake failed"},
  };
  for (const Case& c : cases) AddProxy(c.name, c.reply, c.routes);
  const CheckRun run =
      RunChecker({"--check-timeout", "5", "--validation-host", "check.test", "--reasons"}, list_);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = LinesByAddress(run.out);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    ASSERT_EQ(lines.count(Address(c.name)), 1u) << c.name << "\n" << run.out;
    const std::vector<std::string>& fields = lines.at(Address(c.name));
    ASSERT_EQ(fields.size(), 4u) << c.name;
    EXPECT_EQ(fields[1], c.verdict) << c.name;
    EXPECT_EQ(fields[3], c.reason) << c.name;
  }
  // Every hop went through the proxy: to the other host, and to https in a CONNECT tunnel.
  const auto elsewhere = servers_[3]->Requests();
  ASSERT_EQ(elsewhere.size(), 2u);
  EXPECT_EQ(elsewhere[1].target, "http://elsewhere.test/page");
  const auto secure = servers_[4]->Requests();
  ASSERT_EQ(secure.size(), 2u);
  EXPECT_EQ(secure[1].method, "CONNECT");
  EXPECT_EQ(secure[1].target, "elsewhere.test:443");
  // A loop ends after five hops.
  EXPECT_EQ(servers_[1]->Requests().size(), 6u);

  // The proxy guard judges by the same rule: it would not switch onto a redirecting proxy.
  http::FetchClient fetcher(nullptr);
  for (const auto& [name, relayed] :
       std::vector<std::pair<std::string, bool>>{{"to a file", false}, {"elsewhere", true}}) {
    std::promise<bool> verdict;
    MakeGuardCheck(fetcher, "http://check.test/", 5)(
        Address(name), [&verdict](bool ok) { verdict.set_value(ok); });
    EXPECT_EQ(verdict.get_future().get(), relayed) << name;
  }
  fetcher.Close();
}

// A reply cut before its announced end fails, unless what the check reads for came before the
// cut; the tab-separated lines keep their three fields without --reasons.
TEST_F(CheckReasonsTest, CutRepliesFailAndReasonsAreOptIn) {
  AddProxy("cut", Raw("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n0123456789"));
  AddProxy("cut chunk", Raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                            "100\r\n0123456789"));
  AddProxy("whole", Raw("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789"));
  tools::Reply denied;
  denied.status = 403;
  denied.reason = "Forbidden";
  denied.body = "denied";
  AddProxy("denied", denied);
  const std::vector<std::string> base = {"--check-timeout", "5", "--validation-host", "check.test"};

  CheckRun run = RunChecker(base, list_);
  auto lines = LinesByAddress(run.out);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  for (const auto& [address, fields] : lines) EXPECT_EQ(fields.size(), 3u) << address;
  EXPECT_EQ(lines.at(Address("cut"))[1], "failed");
  EXPECT_EQ(lines.at(Address("cut chunk"))[1], "failed");
  EXPECT_EQ(lines.at(Address("whole"))[1], "ok");

  std::vector<std::string> with_reasons = base;
  with_reasons.push_back("--reasons");
  lines = LinesByAddress(RunChecker(with_reasons, list_).out);
  ASSERT_EQ(lines.size(), 4u);
  const std::map<std::string, std::string> reasons = {{"cut", "cut reply"},
                                                      {"cut chunk", "cut reply"},
                                                      {"whole", "-"},
                                                      {"denied", "proxy said 403"}};
  for (const auto& [name, reason] : reasons) {
    ASSERT_EQ(lines.at(Address(name)).size(), 4u) << name;
    EXPECT_EQ(lines.at(Address(name))[3], reason) << name;
  }

  // JSON carries the reason of a failure only.
  std::vector<std::string> json = base;
  json.push_back("--json");
  run = RunChecker(json, Address("cut") + "\n" + Address("whole") + "\n");
  EXPECT_NE(run.out.find("\"verdict\":\"failed\",\"seconds\":"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(",\"reason\":\"cut reply\"}"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("\"reason\":\"\""), std::string::npos) << run.out;

  // A strict check has what it reads for before the cut.
  std::vector<std::string> strict = base;
  strict.insert(strict.end(), {"--expect", "345", "--reasons"});
  lines = LinesByAddress(RunChecker(strict, Address("cut") + "\n").out);
  ASSERT_EQ(lines.count(Address("cut")), 1u);
  EXPECT_EQ(lines.at(Address("cut"))[1], "ok");
}

// The judge's own refusals are waited out within the deadline and never blamed on the proxy; a
// 429 or 503 without the judge's mark is the proxy's.
TEST_F(CheckReasonsTest, AJudgesRefusalIsNoVerdictOnTheProxy) {
  tools::FixtureServer& relenting = AddProxy("relenting", JudgeRefusal(429, 1));
  tools::FixtureServer& busy = AddProxy("busy", JudgeRefusal(503, 1));
  tools::Reply own_503;
  own_503.status = 503;
  own_503.reason = "Service Unavailable";
  own_503.headers = {{"Retry-After", "1"}};
  own_503.body = "the proxy cannot reach the site";
  tools::FixtureServer& proxy_503 = AddProxy("proxy 503", own_503);

  std::future<CheckRun> running = std::async(std::launch::async, [this] {
    return RunChecker({"--check-timeout", "3", "--judge", "http://judge.test/", "--my-address",
                       "203.0.113.9", "--json"},
                      list_);
  });
  // The judge relents after its first refusal: the retry, a second later, gets the echo.
  ASSERT_TRUE(relenting.WaitForRequests(1, 10000));
  relenting.SetDefault(JudgeEcho("198.51.100.1"));
  const CheckRun run = running.get();
  ASSERT_EQ(run.status, 0) << run.err;

  std::map<std::string, std::string> lines;
  std::istringstream text(run.out);
  for (std::string line; std::getline(text, line);) {
    for (const auto& [name, address] : addresses_) {
      if (line.find("\"address\":\"" + address + "\"") != std::string::npos) lines[name] = line;
    }
  }
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_NE(lines["relenting"].find("\"verdict\":\"ok\""), std::string::npos) << run.out;
  EXPECT_NE(lines["relenting"].find("\"anonymity\":\"elite\""), std::string::npos) << run.out;
  EXPECT_EQ(relenting.Requests().size(), 2u);
  EXPECT_NE(lines["busy"].find("\"verdict\":\"unknown\""), std::string::npos) << run.out;
  EXPECT_NE(lines["busy"].find("\"reason\":\"judge busy\""), std::string::npos) << run.out;
  EXPECT_GE(busy.Requests().size(), 2u);  // asked again while the deadline lasted
  EXPECT_NE(lines["proxy 503"].find("\"verdict\":\"failed\""), std::string::npos) << run.out;
  EXPECT_NE(lines["proxy 503"].find("\"reason\":\"proxy said 503\""), std::string::npos);
  EXPECT_EQ(proxy_503.Requests().size(), 1u);
  EXPECT_NE(run.err.find("1 proxies have no verdict"), std::string::npos) << run.err;
}

// The direct request that learns the user's own address waits for a busy judge too.
TEST_F(CheckReasonsTest, OwnAddressLookupWaitsForABusyJudge) {
  tools::FixtureServer judge;
  judge.SetDefault(JudgeRefusal(429, 1));
  ASSERT_TRUE(judge.Start());
  http::FetchClient fetcher(nullptr);
  std::future<OwnAddressLookup> lookup = std::async(
      std::launch::async, [&] { return LookUpOwnAddresses(fetcher, judge.BaseUrl() + "/", 10); });
  ASSERT_TRUE(judge.WaitForRequests(1, 10000));
  judge.SetDefault(JudgeEcho("203.0.113.7"));
  const OwnAddressLookup found = lookup.get();
  EXPECT_EQ(found.addresses, std::vector<std::string>{"203.0.113.7"}) << found.error;
  EXPECT_EQ(judge.Requests().size(), 2u);

  // A judge busy past the deadline: the lookup ends with that, after asking more than once.
  judge.SetDefault(JudgeRefusal(503, 1));
  judge.ClearRequests();
  const OwnAddressLookup busy = LookUpOwnAddresses(fetcher, judge.BaseUrl() + "/", 2.5);
  EXPECT_TRUE(busy.addresses.empty());
  EXPECT_NE(busy.error.find("busy"), std::string::npos) << busy.error;
  EXPECT_GE(judge.Requests().size(), 2u);
  fetcher.Close();
}

}  // namespace
}  // namespace lumvex
