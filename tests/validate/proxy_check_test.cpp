#include "validate/proxy_check.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "http/fetch_request.h"
#include "validate/validation_task_table.h"

namespace lumvex {
namespace {

TEST(ProxyCheckTest, ValidationUrlIsAssembledInOrder) {
  CheckTarget target;
  target.validation_host = "check.test:8080";
  target.validation_account = "123456789";
  target.validation_token = "4321";
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

TEST(ProxyCheckTest, AnyNonEmptyReplyInTimeIsASuccess) {
  http::FetchResult result;
  EXPECT_FALSE(ProxyRelayed(result));  // empty: the request failed
  result.body = "<html>403 Forbidden by the proxy</html>";
  EXPECT_TRUE(ProxyRelayed(result));
  result.body = std::string("\0rest", 5);  // text up to the first zero byte is empty
  EXPECT_FALSE(ProxyRelayed(result));
  result.body = std::string(http::kFetchTimeoutMessage);
  result.timed_out = true;
  EXPECT_FALSE(ProxyRelayed(result));
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
