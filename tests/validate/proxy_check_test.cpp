#include "validate/proxy_check.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "http/fetch_request.h"
#include "validate/strict_check.h"
#include "validate/validation_task_table.h"

namespace lumvex {
namespace {

TEST(ProxyCheckTest, ValidationUrlIsAssembledInOrder) {
  CheckTarget target;
  target.validation_host = "check.test:8080";
  target.validation_account = "123456789";
  target.validation_token = "4321";
  // By default the host's home page, which answers 2xx.
  EXPECT_EQ(ValidationUrl(target, 100), "http://check.test:8080/?s=100");
  target.validation_path = ValidationPath::kEmotionList;
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

// The verdict by what came back through the proxy: its own refusals are failures.
TEST(ProxyCheckTest, VerdictByStatusAndBody) {
  struct Case {
    int status;
    std::string body;
    bool timed_out;
    bool relayed;
  };
  const Case cases[] = {
      {200, "<html>page</html>", false, true},
      {204, "x", false, true},
      {200, "", false, false},                       // 2xx without a body
      {200, std::string("\0rest", 5), false, true},  // bytes after a zero byte are a body
      {301, "", false, true},                        // a redirect counts by its status
      {302, "moved", false, true},
      {399, "", false, true},
      {199, "early", false, false},
      {403, "<html>Access denied by the proxy's rules</html>", false, false},
      {404, "not found", false, false},
      {407, "<html>Proxy login required</html>", false, false},
      {500, "error", false, false},
      {502, "<html>Bad gateway</html>", false, false},
      {503, "unavailable", false, false},
      {504, "gateway timeout", false, false},
      {0, "HTTP? no, garbage", false, false},  // no status line
      {0, "", false, false},                   // nothing came
      {200, std::string(http::kFetchTimeoutMessage), true, false},
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
    EXPECT_EQ(outcome.status, c.timed_out ? 0 : c.status);
    EXPECT_EQ(outcome.bytes, c.timed_out ? 0 : c.body.size());
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
