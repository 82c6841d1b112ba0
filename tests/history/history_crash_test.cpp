// A program recording into the history, killed with SIGKILL at random moments many times over,
// leaves a database that passes SQLite's integrity check and holds every record handed in more
// than a second before the kill.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "history/history_record.h"

extern char** environ;

namespace lumvex {
namespace {

constexpr int kKills = 12;
// Records may wait this long in memory before they are written.
constexpr std::int64_t kMostLostMs = 1000;

std::string IntegrityOf(sqlite3* db) {
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &check, nullptr);
  std::string said;
  while (sqlite3_step(check) == SQLITE_ROW) {
    said += reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
  }
  sqlite3_finalize(check);
  return said;
}

std::set<long long> NumbersIn(sqlite3* db) {
  sqlite3_stmt* query = nullptr;
  sqlite3_prepare_v2(db, "SELECT ms FROM records;", -1, &query, nullptr);
  std::set<long long> numbers;
  while (sqlite3_step(query) == SQLITE_ROW) numbers.insert(sqlite3_column_int64(query, 0));
  sqlite3_finalize(query);
  return numbers;
}

TEST(HistoryCrashTest, KilledAtAnyMomentTheDatabaseIsWholeAndLosesAtMostTheLastSecond) {
  char pattern[] = "/tmp/lumvex-history-crash-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  // A fixed seed: the same kill moments are aimed at on every run.
  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> run_ms(1100, 1900);
  long long next = 0;
  int checked = 0;
  std::set<long long> written;
  for (int kill_number = 1; kill_number <= kKills; ++kill_number) {
    std::string first = std::to_string(next);
    std::vector<char*> argv = {const_cast<char*>(HISTORY_CRASH_WRITER),
                               const_cast<char*>(dir.c_str()), first.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, HISTORY_CRASH_WRITER, nullptr, nullptr, argv.data(), environ), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(run_ms(random)));
    const std::int64_t killed_at = HistoryNowMs();
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself: " << status;

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "/history.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(IntegrityOf(db), "ok") << "after kill " << kill_number;
    const std::set<long long> stored = NumbersIn(db);
    sqlite3_close(db);
    // This run's records: those handed in more than a second before the kill are there.
    std::ifstream handed(dir + "/handed");
    long long number = 0;
    std::int64_t at = 0;
    const long long run_first = next;
    while (handed >> number >> at) {
      if (number < run_first) continue;
      next = std::max(next, number + 1);
      if (at >= killed_at - kMostLostMs) continue;
      ++checked;
      ASSERT_EQ(stored.count(number), 1u)
          << "record " << number << " handed in " << killed_at - at << " ms before kill "
          << kill_number << " is missing";
    }
    // What an earlier run wrote stays.
    for (const long long kept : written) {
      ASSERT_EQ(stored.count(kept), 1u) << "record " << kept << " is gone after kill " << kill_number;
    }
    written = stored;
  }
  EXPECT_GT(checked, 0) << "no kill came after a record was a second old";
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lumvex
