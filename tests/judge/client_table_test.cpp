// The judge's per-client bookkeeping, with times given by the test, and its log lines.
#include "judge/client_table.h"

#include <gtest/gtest.h>

#include "judge/request_log.h"

namespace lumvex::judge {
namespace {

using std::chrono::milliseconds;

TEST(ClientTableTest, TokenBucketRefillsAtTheRate) {
  const struct {
    int at_ms;
    const char* client;
    int wait_s;  // what TakeRequest answers
  } kSteps[] = {
      {0, "a", 0},    {0, "a", 0},    {0, "a", 1},     // burst of 2, then empty
      {0, "b", 0},                                     // another client: its own bucket
      {499, "a", 1},  {500, "a", 0},  {500, "a", 1},   // one token a half second
      {5000, "a", 0}, {5000, "a", 0}, {5000, "a", 1},  // refilled to the burst only
  };
  ClientTable table(2, 32, 100);
  const ClientTable::Clock::time_point start{};
  for (const auto& step : kSteps) {
    SCOPED_TRACE(std::to_string(step.at_ms) + " ms, " + step.client);
    EXPECT_EQ(table.TakeRequest(step.client, start + milliseconds(step.at_ms)), step.wait_s);
  }
  ClientTable slow(1, 32, 100);
  EXPECT_EQ(slow.TakeRequest("a", start), 0);
  EXPECT_EQ(slow.TakeRequest("a", start + milliseconds(10)), 1);
}

TEST(ClientTableTest, BoundedByEvictingTheLongestIdle) {
  ClientTable table(20, 1, 3);
  const ClientTable::Clock::time_point start{};
  ASSERT_TRUE(table.Open("busy", start));
  EXPECT_FALSE(table.Open("busy", start));  // its one connection is open
  // A flood of new addresses: the table stays at its capacity, and the client with an open
  // connection is never the one evicted.
  for (int i = 0; i < 1000; ++i) table.TakeRequest("flood" + std::to_string(i), start);
  EXPECT_EQ(table.size(), 3u);
  EXPECT_FALSE(table.Open("busy", start));
  table.Close("busy");
  EXPECT_TRUE(table.Open("busy", start));
}

TEST(RequestLogTest, LineEscapesAndCutsWhatTheClientChose) {
  const struct {
    std::string method;
    std::string target;
    std::string shown;  // the target as logged
  } kCases[] = {
      {"GET", "/get?a=1", "/get?a=1"},
      {"", "", "-"},
      {"GET", "/\x1b[2J\\", "/\\x1B[2J\\\\"},
      {"GET", "/\xff\xe4\xb8\xad", "/\\xFF\xe4\xb8\xad"},
      {"GET", "/\x7f\x09\r\n", "/\\x7F\\x09\\x0D\\x0A"},
      // C1 controls (CSI is U+009B) and the bidirectional controls, first and last of each
      // range; their neighbours outside the ranges are kept.
      {"GET", "/\xc2\x80\xc2\x9b\xc2\x9f\xc2\xa0", "/\\u0080\\u009B\\u009F\xc2\xa0"},
      {"GET", "/\xe2\x80\xa9\xe2\x80\xaa\xe2\x80\xae\xe2\x80\xaf",
       "/\xe2\x80\xa9\\u202A\\u202E\xe2\x80\xaf"},
      {"GET", "/\xe2\x81\xa5\xe2\x81\xa6\xe2\x81\xa9\xe2\x81\xaa",
       "/\xe2\x81\xa5\\u2066\\u2069\xe2\x81\xaa"},
      {"GET", "/" + std::string(300, 'a'), "/" + std::string(199, 'a')},
      // An escape or a character that would cross 200 bytes is left out whole.
      {"GET", std::string(198, 'a') + "\x01", std::string(198, 'a')},
      {"GET", std::string(198, 'a') + "\xe4\xb8\xad", std::string(198, 'a')},
  };
  const auto when = std::chrono::system_clock::from_time_t(1796735109);  // 2026-12-08T13:05:09Z
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(LogLine(when, "127.0.0.1", c.method, c.target, 200, 5),
              "2026-12-08T13:05:09Z 127.0.0.1 " + (c.method.empty() ? "-" : c.method) + " " +
                  c.shown + " 200 5\n");
  }
}

}  // namespace
}  // namespace lumvex::judge
