// The history store: the health a known sequence of results gives, before and after the store is
// opened again; pruning per proxy and by size; a damaged database moved aside; a database another
// connection holds locked.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "history/history_db.h"
#include "history/history_store.h"
#include "platform/scratch_dir.h"

namespace lumvex {
namespace {

using testing_support::ScratchDir;

constexpr std::int64_t kT0 = 1'800'000'000'000;  // ms

HistoryRecord Result(std::int64_t time_ms, bool ok, double seconds) {
  return {time_ms, HistoryKind::kCheck, ok, ok ? 0 : 1, 0, seconds};
}

std::vector<HistoryRecord> RecordsIn(const std::string& path, const std::string& key) {
  HistoryDb::Result result = HistoryDb::Result::kOk;
  std::string error;
  auto db = HistoryDb::Open(path, false, result, error);
  std::vector<HistoryRecord> records;
  if (!db) {
    ADD_FAILURE() << "cannot open " << path << ": " << error;
    return records;
  }
  EXPECT_EQ(db->RecordsOf(key, 1'000'000, records), HistoryDb::Result::kOk);
  return records;
}

TEST(HistoryStoreTest, HealthOfTheLastResultsKeptAndReadBack) {
  ScratchDir dir;
  const std::string path = dir.File("history.db");
  HistoryLimits limits;
  limits.per_proxy = 5;
  // The first success falls out of the last five; the gateway's uses count like checks.
  const std::vector<HistoryRecord> sequence = {
      Result(kT0, true, 1.0),          Result(kT0 + 1000, false, 4.0),
      Result(kT0 + 2000, true, 3.0),   {kT0 + 3000, HistoryKind::kGateway, true, 0, 0, 2.0},
      Result(kT0 + 4000, false, 0.5),  Result(kT0 + 5000, true, 5.0)};
  ProxyHealth expected;
  expected.checks = 5;
  expected.successes = 3;
  expected.median_seconds = 3.0;
  expected.last_success = (kT0 + 5000) / 1000;
  const auto check = [&](const HistoryStore& store) {
    for (const char* address : {"1.2.3.4:80", "HTTP://1.2.3.4:080", "u:p@1.2.3.4:80"}) {
      const std::optional<ProxyHealth> health = store.HealthOf(address);
      ASSERT_TRUE(health.has_value()) << address;
      EXPECT_EQ(health->checks, expected.checks);
      EXPECT_EQ(health->successes, expected.successes);
      EXPECT_DOUBLE_EQ(health->median_seconds, expected.median_seconds);
      EXPECT_EQ(health->last_success, expected.last_success);
    }
    EXPECT_FALSE(store.HealthOf("1.2.3.4:81").has_value());
    EXPECT_FALSE(store.HealthOf("socks5://1.2.3.4:80").has_value());
  };
  {
    HistoryStore store(path, limits);
    store.WaitUntilLoaded();
    for (const HistoryRecord& record : sequence) store.Record("1.2.3.4:80", record);
    check(store);  // at once, before anything is written
    store.Close();
  }
  HistoryStore again(path, limits);
  again.WaitUntilLoaded();
  check(again);
  // 60 for the rate, 7 for the median of 3 s, 5 for a success within the hour.
  EXPECT_DOUBLE_EQ(HealthScore(*again.HealthOf("1.2.3.4:80"), expected.last_success + 60), 72.0);
  // A day after, the freshness is gone.
  EXPECT_DOUBLE_EQ(HealthScore(*again.HealthOf("1.2.3.4:80"), expected.last_success + 90000), 67.0);
}

TEST(HistoryStoreTest, OldRecordsArePrunedPerProxyAndBySize) {
  ScratchDir dir;
  const std::string path = dir.File("history.db");
  HistoryLimits limits;
  limits.per_proxy = 10;
  limits.max_bytes = 256 * 1024;
  {
    HistoryStore store(path, limits);
    // Per proxy: of 35 results the newest 10 stay (a few more may wait for the next pruning).
    for (int i = 0; i < 35; ++i) {
      store.Record("9.9.9.9:80", Result(kT0 + i, i % 2 == 0, i));
      if (i % 7 == 6) store.Flush();
    }
    store.Flush();
    const std::vector<HistoryRecord> kept = RecordsIn(path, "9.9.9.9:80");
    ASSERT_GE(kept.size(), 10u);
    EXPECT_LE(kept.size(), 12u);
    for (std::size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i].time_ms, kT0 + 34 - i);
    EXPECT_EQ(store.HealthOf("9.9.9.9:80")->checks, 10);

    // By size: many proxies, older first; the oldest go, the newest stay.
    for (int proxy = 0; proxy < 4000; ++proxy) {
      const std::string address = "10.0." + std::to_string(proxy / 250) + "." +
                                  std::to_string(proxy % 250) + ":8080";
      for (int i = 0; i < 5; ++i) store.Record(address, Result(kT0 + 100000 + proxy, true, 1));
      if (proxy % 500 == 499) store.Flush();
    }
    store.Flush();
    EXPECT_FALSE(store.HealthOf("9.9.9.9:80").has_value());
    EXPECT_FALSE(store.HealthOf("10.0.0.0:8080").has_value());
    ASSERT_TRUE(store.HealthOf("10.0.15.249:8080").has_value());
    EXPECT_EQ(store.HealthOf("10.0.15.249:8080")->checks, 5);
  }
  HistoryDb::Result result = HistoryDb::Result::kOk;
  std::string error;
  auto db = HistoryDb::Open(path, false, result, error);
  ASSERT_TRUE(db) << error;
  EXPECT_LE(db->UsedBytes(), limits.max_bytes);
  EXPECT_LE(std::filesystem::file_size(path), static_cast<std::uintmax_t>(limits.max_bytes) * 5 / 4);
  EXPECT_TRUE(RecordsIn(path, "9.9.9.9:80").empty());
  EXPECT_EQ(RecordsIn(path, "10.0.15.249:8080").size(), 5u);
}

TEST(HistoryStoreTest, ADamagedDatabaseIsMovedAsideAndANewOneBegun) {
  ScratchDir dir;
  const std::string path = dir.File("history.db");
  std::string junk(20000, '\0');
  std::mt19937 random(7);
  for (char& c : junk) c = static_cast<char>(random());
  std::ofstream(path, std::ios::binary) << junk;
  ::testing::internal::CaptureStderr();
  {
    HistoryStore store(path);
    store.WaitUntilLoaded();
    store.RecordCheck("1.2.3.4:80", true, 0, 200, 0.25);
    store.Flush();
    EXPECT_EQ(store.HealthOf("1.2.3.4:80")->checks, 1);
  }
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("moved to " + path + ".damaged"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  std::ifstream aside(path + ".damaged", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), junk);
  ASSERT_EQ(RecordsIn(path, "1.2.3.4:80").size(), 1u);
  EXPECT_EQ(RecordsIn(path, "1.2.3.4:80")[0].http_status, 200);
}

TEST(HistoryStoreTest, ALockedDatabaseDelaysRecordsWithoutHanging) {
  ScratchDir dir;
  const std::string path = dir.File("history.db");
  HistoryStore store(path);
  store.RecordCheck("1.2.3.4:80", true, 0, 200, 0.5);
  store.Flush();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
  store.RecordCheck("1.2.3.4:80", false, 1, 0, 2.0);
  store.Flush();  // returns: the batch waits for the next
  EXPECT_EQ(store.HealthOf("1.2.3.4:80")->checks, 2);
  ASSERT_EQ(sqlite3_exec(other, "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  store.RecordCheck("1.2.3.4:80", true, 0, 200, 1.0);
  store.Close();
  EXPECT_EQ(RecordsIn(path, "1.2.3.4:80").size(), 3u);
}

}  // namespace
}  // namespace lumvex
