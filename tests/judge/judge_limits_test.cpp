// The judge's answers to requests it does not echo, and the bounds that keep it safe on a
// public address: head size, rate, connection caps, the head deadline.
#include <gtest/gtest.h>

#include "judge_rig.h"

namespace lumvex::judge {
namespace {

// A GET whose head, through its empty line, is `size` bytes long.
std::string HeadOfSize(std::size_t size) {
  const std::string start = "GET / HTTP/1.1\r\nX-Pad: ";
  return start + std::string(size - start.size() - 4, 'p') + "\r\n\r\n";
}

TEST(JudgeLimitsTest, StatusOfEachKindOfRequest) {
  const struct {
    const char* name;
    std::string request;
    int status;
  } kCases[] = {
      {"GET", "GET / HTTP/1.1\r\n\r\n", 200},
      {"head at the limit", HeadOfSize(16 * 1024), 200},
      {"a body is not read",
       "GET / HTTP/1.1\r\nContent-Length: 32768\r\n\r\n" + std::string(32768, 'b'), 200},
      {"POST", "POST /p HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", 405},
      {"OPTIONS", "OPTIONS * HTTP/1.0\r\n\r\n", 405},
      {"head past the limit", HeadOfSize(16 * 1024 + 1), 431},
      {"request line past the limit", "GET /" + std::string(20000, 'a'), 431},
      {"HTTP/2.0", "GET / HTTP/2.0\r\n\r\n", 400},
      {"no version", "GET /\r\n\r\n", 400},
      {"two spaces", "GET  / HTTP/1.1\r\n\r\n", 400},
      {"method not a token", "G(T / HTTP/1.1\r\n\r\n", 400},
      {"control byte in the target", "GET /\x1b[2J HTTP/1.1\r\n\r\n", 400},
      {"TLS hello", std::string("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03\n", 12), 400},
      {"no colon", "GET / HTTP/1.1\r\nHost j\r\n\r\n", 400},
      {"blank before the colon", "GET / HTTP/1.1\r\nHost : j\r\n\r\n", 400},
      {"blank in the name", "GET / HTTP/1.1\r\nX Y: j\r\n\r\n", 400},
      {"folded line", "GET / HTTP/1.1\r\nX: a\r\n b\r\n\r\n", 400},
      {"NUL in a value", std::string("GET / HTTP/1.1\r\nX: a\0b\r\n\r\n", 27), 400},
      {"stray CR", "GET / HTTP/1.1\r\nX: a\rb\r\n\r\n", 400},
      {"head that never ends", "GET / HTTP/1.1\r\nHost: j\r\n", 400},
  };
  RunningJudge judge;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::size_t logged = judge.log().size();
    Reply reply = Exchange(judge.port(), c.request);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.fields["connection"], "close");
    EXPECT_EQ(reply.fields["content-length"], std::to_string(reply.body.size()));
    EXPECT_EQ(reply.fields.count("allow") == 1, c.status == 405);
    if (c.status == 405) {
      EXPECT_EQ(reply.fields["allow"], "GET, HEAD");
    }
    const std::vector<std::string> log = judge.log();
    ASSERT_EQ(log.size(), logged + 1);
    EXPECT_NE(log.back().find(" " + std::to_string(c.status) + " "), std::string::npos);
  }
}

TEST(JudgeLimitsTest, RequestsPastTheRateGet429PerClient) {
  JudgeLimits limits;
  limits.rate = 2;  // bursts of 2
  RunningJudge judge(limits);
  const std::string get = "GET / HTTP/1.1\r\n\r\n";
  EXPECT_EQ(Exchange(judge.port(), get).status, 200);
  EXPECT_EQ(Exchange(judge.port(), get).status, 200);
  // Refilled at 2 a second: six more in a row cannot all find a token.
  Reply refused;
  for (int i = 0; i < 6 && refused.status != 429; ++i) refused = Exchange(judge.port(), get);
  ASSERT_EQ(refused.status, 429);
  EXPECT_GE(text::AtoI(refused.fields["retry-after"]), 1);
  EXPECT_EQ(refused.fields["x-judge-refusal"], "busy");
  // Another address has its own bucket.
  EXPECT_EQ(Exchange(judge.port(), get, "127.0.0.2").status, 200);
}

TEST(JudgeLimitsTest, ConnectionsPastACap) {
  const struct {
    const char* name;
    int max_connections;
    int max_per_client;
    std::vector<std::string> held;  // connections opened first, and kept
    bool held_answered;             // the held ones sent a request and read its answer first
    std::string extra;              // the one past the cap
    int extra_status;               // 503: refused as busy
    int pushed_out;                 // the held connection refused for the extra one; -1: none
  } kCases[] = {
      {"per client", 512, 2, {"127.0.0.1", "127.0.0.1"}, false, "127.0.0.1", 503, -1},
      {"per client, another client",
       512,
       2,
       {"127.0.0.1", "127.0.0.1"},
       false,
       "127.0.0.2",
       200,
       -1},
      {"whole server: the oldest half-head makes room",
       2,
       32,
       {"127.0.0.1", "127.0.0.2"},
       false,
       "127.0.0.3",
       200,
       0},
      {"whole server: the oldest answered one makes room",
       2,
       32,
       {"127.0.0.1", "127.0.0.2"},
       true,
       "127.0.0.3",
       200,
       0},
  };
  const std::string get = "GET / HTTP/1.1\r\n\r\n";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    JudgeLimits limits;
    limits.max_connections = c.max_connections;
    limits.max_per_client = c.max_per_client;
    RunningJudge judge(limits);
    std::vector<int> held;
    for (const std::string& source : c.held) {
      held.push_back(ConnectFrom(judge.port(), source));
      // An answered connection stays open (the judge waits for the client to close it).
      if (c.held_answered) {
        SendAll(held.back(), get);
        EXPECT_EQ(ParseReply(ReadAll(held.back())).status, 200);
      }
    }
    // The backlog is served in order, so the held connections were accepted before this one.
    Reply extra = Exchange(judge.port(), get, c.extra);
    EXPECT_EQ(extra.status, c.extra_status);
    // The judge's own refusals say so, and when to come back, so a checker does not blame
    // the proxy they came through.
    EXPECT_EQ(extra.fields["x-judge-refusal"], c.extra_status == 503 ? "busy" : "");
    EXPECT_EQ(extra.fields["retry-after"], c.extra_status == 503 ? "1" : "");
    for (std::size_t i = 0; i < held.size(); ++i) {
      // (An answered connection, pushed out or not, has nothing more to show.)
      if (!c.held_answered) {
        // The one pushed out was refused already; the others still take a request.
        if (static_cast<int>(i) != c.pushed_out) SendAll(held[i], get);
        const Reply reply = ParseReply(ReadAll(held[i]));
        EXPECT_EQ(reply.status, static_cast<int>(i) == c.pushed_out ? 503 : 200);
        EXPECT_EQ(reply.fields.count("x-judge-refusal"), static_cast<int>(i) == c.pushed_out);
      }
      close(held[i]);
    }
  }
}

TEST(JudgeLimitsTest, DefaultsAnswerAThousandProxiesBehindOneAddress) {
  // Proxies of one provider, or many on one host, reach the judge from one address: checked
  // 1,000 at once, they are 1,000 requests at once from one client, and each is answered.
  constexpr int kAtOnce = 1000;
  RunningJudge judge;
  std::vector<int> fds;
  for (int i = 0; i < kAtOnce; ++i) {
    fds.push_back(ConnectFrom(judge.port()));
    ASSERT_GE(fds.back(), 0);
  }
  // Every connection is open before any request is sent.
  for (const int fd : fds) {
    SendAll(fd, "GET /get HTTP/1.1\r\nHost: judge\r\n\r\n");
    shutdown(fd, SHUT_WR);
  }
  std::map<int, int> statuses;
  for (const int fd : fds) {
    ++statuses[ParseReply(ReadAll(fd)).status];
    close(fd);
  }
  EXPECT_EQ(statuses, (std::map<int, int>{{200, kAtOnce}}));
}

TEST(JudgeLimitsTest, HeadsNotSentInTimeEndTheConnection) {
  const struct {
    const char* name;
    std::string sent;
    int status;  // 0: closed without an answer
  } kCases[] = {
      {"nothing sent", "", 0},
      {"half a head (slowloris)", "GET / HTTP/1.1\r\nHost: j\r\nX-A: 1\r\n", 408},
      {"half a request line", "GET /slow", 408},
  };
  JudgeLimits limits;
  limits.head_timeout = std::chrono::milliseconds(200);
  RunningJudge judge(limits);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    // The sending side stays open: only the judge's deadline ends the wait.
    EXPECT_EQ(Exchange(judge.port(), c.sent, "127.0.0.1", true).status, c.status);
  }
  // The connections are gone: a new request is answered.
  EXPECT_EQ(Exchange(judge.port(), "GET / HTTP/1.1\r\n\r\n").status, 200);
}

}  // namespace
}  // namespace lumvex::judge
