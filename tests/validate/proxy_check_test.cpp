#include "validate/proxy_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "http/fetch_request.h"
#include "support/emotion_list_path.h"
#include "validate/check_attempt.h"
#include "validate/strict_check.h"
#include "validate/validation_task_table.h"

namespace lumvex {
namespace {

TEST(ProxyCheckTest, ValidationUrlIsAssembledInOrder) {
  CheckTarget target;
  target.validation_host = "check.test:8080";
  // By default the host's home page, which answers 2xx.
  EXPECT_EQ(ValidationUrl(target, 100), "http://check.test:8080/?s=100");
  target.validation_path = testing::EmotionListPath("123456789", "4321");
  EXPECT_EQ(ValidationUrl(target, 100),
            "http://check.test:8080/fcg-bin/cgi_emotion_list.fcg?uin=123456789&loginUin=0&s=100"
            "&num=3&noflower=1&g_tk=4321");
  EXPECT_NE(ValidationUrl(target, 9999999).find("&s=9999999&"), std::string::npos);
}

TEST(ProxyCheckTest, SaltsStayInRangeAndVaryAcrossThreads) {
  std::vector<std::set<int>> seen(4);
  std::vector<std::thread> threads;
  for (auto& values : seen) {
    threads.emplace_back([&values] {
      for (int i = 0; i < 2000; ++i) values.insert(DrawSalt());
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& values : seen) {
    EXPECT_GE(*values.begin(), kSaltMin);
    EXPECT_LE(*values.rbegin(), kSaltMax);
    EXPECT_GT(values.size(), 1900u);  // collisions in 10^7 values are rare
  }
  // Threads do not share one sequence.
  EXPECT_NE(seen[0], seen[1]);
}

// The verdict by what came back through the proxy, and the reason of a failure: its own refusals,
// a redirect it could not follow and an unfinished reply are failures.
TEST(ProxyCheckTest, VerdictAndReasonByStatusAndBody) {
  struct Case {
    int status;
    std::string body;
    bool timed_out;
    bool relayed;
    CheckReason reason;
  };
  const Case cases[] = {
      {200, "<html>page</html>", false, true, CheckReason::kNone},
      {204, "x", false, true, CheckReason::kNone},
      {200, "", false, false, CheckReason::kContentMissing},             // 2xx without a body
      {200, std::string("\0rest", 5), false, true, CheckReason::kNone},  // bytes after a zero
      // A redirect left over after following is one that could not be followed.
      {301, "", false, false, CheckReason::kRedirect},
      {302, "moved", false, false, CheckReason::kRedirect},
      {399, "", false, false, CheckReason::kRedirect},
      {199, "early", false, false, CheckReason::kProxySaid},
      {403, "<html>Access denied by the proxy's rules</html>", false, false,
       CheckReason::kProxySaid},
      {404, "not found", false, false, CheckReason::kProxySaid},
      {407, "<html>Proxy login required</html>", false, false, CheckReason::kProxySaid},
      {500, "error", false, false, CheckReason::kProxySaid},
      {502, "<html>Bad gateway</html>", false, false, CheckReason::kProxySaid},
      {503, "unavailable", false, false, CheckReason::kProxySaid},
      {504, "gateway timeout", false, false, CheckReason::kProxySaid},
      {0, "HTTP? no, garbage", false, false, CheckReason::kContentMissing},  // no status line
      {0, "", false, false, CheckReason::kContentMissing},                   // nothing came
      {200, std::string(http::kFetchTimeoutMessage), true, false, CheckReason::kTimeoutWaiting},
  };
  for (const Case& c : cases) {
    http::FetchResult result;
    result.status = c.status;
    result.body = c.body;
    result.timed_out = c.timed_out;
    EXPECT_EQ(ProxyRelayed(result), c.relayed) << c.status << " " << c.body;
    // The usual rule of a run and of `lumvexip check` is the same one.
    const CheckOutcome outcome = JudgeReply(result, StrictRule{});
    EXPECT_EQ(outcome.ok, c.relayed) << c.status << " " << c.body;
    EXPECT_EQ(outcome.reason, c.reason) << c.status << " " << c.body;
    EXPECT_EQ(outcome.status, c.timed_out ? 0 : c.status);
    EXPECT_EQ(outcome.bytes, c.timed_out ? 0 : c.body.size());
  }
}

// How far the exchange got decides the reason, whatever status and body came before the end.
TEST(ProxyCheckTest, TransferFailuresFailWithTheirReason) {
  using http::FetchFailure;
  struct Case {
    FetchFailure failure;
    int status;
    int proxy_status;
    CheckReason reason;
    std::string text;
  };
  const Case cases[] = {
      {FetchFailure::kRefused, 0, 0, CheckReason::kRefused, "refused"},
      {FetchFailure::kNameNotFound, 0, 0, CheckReason::kNameNotFound, "name not found"},
      {FetchFailure::kConnectTimeout, 0, 0, CheckReason::kTimeoutConnecting, "timeout connecting"},
      {FetchFailure::kWaitTimeout, 0, 0, CheckReason::kTimeoutWaiting, "timeout waiting"},
      {FetchFailure::kHandshake, 0, 0, CheckReason::kHandshakeFailed, "handshake failed"},
      // A CONNECT the proxy answered with its own refusal.
      {FetchFailure::kHandshake, 0, 407, CheckReason::kProxySaid, "proxy said 407"},
      // 10 bytes of an announced 100000: the status and the bytes do not save it.
      {FetchFailure::kCutReply, 200, 0, CheckReason::kCutReply, "cut reply"},
      {FetchFailure::kRedirect, 302, 0, CheckReason::kRedirect, "redirect"},
      {FetchFailure::kOther, 0, 0, CheckReason::kContentMissing, "content missing"},
  };
  for (const Case& c : cases) {
    http::FetchResult result;
    result.failure = c.failure;
    result.status = c.status;
    result.proxy_status = c.proxy_status;
    result.body = "0123456789";
    EXPECT_FALSE(ProxyRelayed(result)) << c.text;
    const CheckOutcome outcome = JudgeReply(result, StrictRule{});
    EXPECT_FALSE(outcome.ok) << c.text;
    EXPECT_EQ(outcome.reason, c.reason) << c.text;
    EXPECT_EQ(CheckReasonText(outcome.reason, outcome.status), c.text);
    // A check through a judge fails the same way before its reply is read.
    StrictRule judged;
    judged.judge = "http://judge.test/";
    EXPECT_EQ(JudgeReply(result, judged).reason, c.reason) << c.text;
  }
}

// The strict check reads for its text: a reply cut after the text has given what was needed.
TEST(ProxyCheckTest, StrictCheckPassesACutReplyThatHoldsItsText) {
  StrictRule rule;
  rule.expect = "needle";
  struct Case {
    std::string body;
    bool ok;
    CheckReason reason;
  };
  const Case cases[] = {
      {"hay needle hay", true, CheckReason::kNone},
      {"hay hay", false, CheckReason::kCutReply},
  };
  for (const Case& c : cases) {
    http::FetchResult result;
    result.status = 200;
    result.failure = http::FetchFailure::kCutReply;
    result.body = c.body;
    const CheckOutcome outcome = JudgeReply(result, rule);
    EXPECT_EQ(outcome.ok, c.ok) << c.body;
    EXPECT_EQ(outcome.reason, c.reason) << c.body;
  }
}

// A judge's own refusal is told by its mark on a 429 or 503, and its Retry-After read as seconds.
TEST(ProxyCheckTest, JudgeRefusalIsToldByItsMark) {
  struct Case {
    int status;
    std::string headers;
    std::optional<double> retry_s;
  };
  const Case cases[] = {
      {429, "HTTP/1.1 429 Too Many\r\nX-Judge-Refusal: busy\r\nRetry-After: 3\r\n", 3.0},
      {503, "HTTP/1.1 503 Busy\r\nx-judge-refusal:  BUSY \r\nRetry-After: 0\r\n", 0.0},
      // A date, or no value at all: the usual short wait.
      {503, "HTTP/1.1 503 Busy\r\nX-Judge-Refusal: busy\r\nRetry-After: Wed, 21 Oct\r\n",
       kDefaultRetryAfterS},
      {429, "HTTP/1.1 429 Too Many\r\nX-Judge-Refusal: busy\r\n", kDefaultRetryAfterS},
      {429, "HTTP/1.1 429 Too Many\r\nX-Judge-Refusal: busy\r\nRetry-After: 99999999\r\n", 3600.0},
      // The proxy's own 503 carries no mark; another status is no refusal of the judge's.
      {503, "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 5\r\n", std::nullopt},
      {503, "HTTP/1.1 503 Busy\r\nX-Judge-Refusal: later\r\n", std::nullopt},
      {403, "HTTP/1.1 403 No\r\nX-Judge-Refusal: busy\r\nRetry-After: 1\r\n", std::nullopt},
  };
  for (const Case& c : cases) {
    http::FetchResult result;
    result.status = c.status;
    result.response_headers = c.headers;
    EXPECT_EQ(JudgeRefusalRetryS(result), c.retry_s) << c.headers;
  }
  http::FetchResult without_headers;
  without_headers.status = 429;
  EXPECT_EQ(JudgeRefusalRetryS(without_headers), std::nullopt);
}

// A protocol probe waits for the handshake a short part of the deadline; a row's own protocol
// waits the whole deadline.
TEST(ProxyCheckTest, ProbesGetAShortHandshakeDeadline) {
  struct Case {
    double timeout_s;
    std::optional<CheckProtocol> protocol;
    std::optional<double> handshake_s;
  };
  const Case cases[] = {
      {60, CheckProtocol::kSocks5, 3.0},    {10, CheckProtocol::kSocks4, kMinHandshakeS},
      {1, CheckProtocol::kHttp, 1.0},  // never past the deadline itself
      {600, CheckProtocol::kConnect, 30.0}, {60, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const http::FetchOptions options =
        CheckFetchOptions("127.0.0.1:8080", c.timeout_s, kCheckBodyBytes, c.protocol);
    EXPECT_EQ(options.connect_timeout_s, c.handshake_s) << c.timeout_s;
    EXPECT_EQ(options.timeout_s, c.timeout_s);
  }
}

// A probe reaches the row by the protocol tried: the row's own scheme goes, its login stays, and
// "://" inside a password is not taken for a scheme.
TEST(ProxyCheckTest, ProbesReplaceOnlyTheRowsOwnScheme) {
  struct Case {
    std::string row;
    CheckProtocol protocol;
    std::string proxy;
  };
  const Case cases[] = {
      {"1.2.3.4:80", CheckProtocol::kSocks5, "socks5h://1.2.3.4:80"},
      {"socks5://1.2.3.4:1080", CheckProtocol::kHttp, "http://1.2.3.4:1080"},
      {"SOCKS4a://bob:pw@1.2.3.4:1080", CheckProtocol::kSocks4, "socks4://bob:pw@1.2.3.4:1080"},
      {"bob:a://b@1.2.3.4:80", CheckProtocol::kConnect, "http://bob:a://b@1.2.3.4:80"},
      {"socks5://bob:a://b@1.2.3.4:80", CheckProtocol::kSocks5, "socks5h://bob:a://b@1.2.3.4:80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckFetchOptions(c.row, 60, kCheckBodyBytes, c.protocol).proxy, c.proxy) << c.row;
  }
}

TEST(ValidationTaskTableTest, RecordsOfARebuiltTableStayValidForTheirHolders) {
  ValidationTaskTable table;
  EXPECT_EQ(table.Current(), nullptr);
  EXPECT_EQ(ValidationTaskTable::Record(nullptr, 1), nullptr);
  table.Rebuild({"1.1.1.1:80", "2.2.2.2:8080"});
  auto held = table.Current();  // a check of the first run holds its table
  const std::string* record = ValidationTaskTable::Record(held.get(), 2);
  ASSERT_NE(record, nullptr);
  table.Rebuild({"3.3.3.3:3128"});     // the second press rebuilds with fewer rows
  EXPECT_EQ(*record, "2.2.2.2:8080");  // still readable
  auto now = table.Current();
  EXPECT_EQ(ValidationTaskTable::Record(now.get(), 2), nullptr);
  EXPECT_EQ(*ValidationTaskTable::Record(now.get(), 1), "3.3.3.3:3128");
  EXPECT_EQ(ValidationTaskTable::Record(now.get(), 0), nullptr);
  EXPECT_EQ(ValidationTaskTable::Record(now.get(), -7), nullptr);
}

}  // namespace
}  // namespace lumvex
