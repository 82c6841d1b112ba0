// The check history at the size of a large list: 1,000,000 recorded checks over 20,000 proxies,
// written by the store's writer in its batches; the database's size once pruned (the last 50
// per proxy, 64 MB at most); health reads as a table column makes them; and the time a new
// store takes to load the summary of that database.
// Usage: bench_history [RECORDS [PROXIES]]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Address(int proxy) {
  return std::to_string(10 + proxy / 65536) + "." + std::to_string(proxy / 256 % 256) + "." +
         std::to_string(proxy % 256) + ".1:" + std::to_string(1024 + proxy % 50000);
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int proxies = argc > 2 ? std::atoi(argv[2]) : 20000;
  char pattern[] = "/tmp/lumvex-bench-history-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;
  const std::string path = dir + "/history.db";
  std::vector<std::string> addresses;
  for (int p = 0; p < proxies; ++p) addresses.push_back(Address(p));

  const std::int64_t t0 = lumvex::HistoryNowMs() - std::int64_t{records} * 10;
  {
    lumvex::HistoryStore store(path);
    store.WaitUntilLoaded();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < records; ++i) {
      const bool ok = (i * 7919) % 10 < 6;
      store.Record(addresses[static_cast<std::size_t>(i % proxies)],
                   {t0 + i * 10, lumvex::HistoryKind::kCheck, ok, ok ? 0 : 2, ok ? 200 : 0,
                    0.2 + (i % 97) / 10.0});
    }
    store.Flush();
    const double took = SecondsSince(start);
    std::printf("history_insert_rate %.0f records/s\n", records / took);

    // A table column: every row's health once, as a paint of all rows would ask.
    const Clock::time_point reads = Clock::now();
    int found = 0;
    constexpr int kReadRounds = 5;
    for (int round = 0; round < kReadRounds; ++round) {
      for (const std::string& address : addresses) found += store.HealthOf(address) ? 1 : 0;
    }
    const double read_took = SecondsSince(reads);
    std::printf("history_health_reads %.0f reads/s\n", kReadRounds * proxies / read_took);
    if (found != kReadRounds * proxies) std::printf("history_health_missing %d proxies\n", kReadRounds * proxies - found);
    store.Close();
  }
  std::uintmax_t bytes = std::filesystem::file_size(path);
  std::error_code ignored;
  const std::uintmax_t wal = std::filesystem::file_size(path + "-wal", ignored);
  if (!ignored) bytes += wal;
  std::printf("history_database_size %.1f MB\n", static_cast<double>(bytes) / (1 << 20));

  const Clock::time_point load = Clock::now();
  {
    lumvex::HistoryStore store(path);
    store.WaitUntilLoaded();
    std::printf("history_summary_load %.3f s\n", SecondsSince(load));
    std::printf("history_proxies_loaded %zu proxies\n", store.AllHealth().size());
  }
  std::filesystem::remove_all(dir);
  return 0;
}
