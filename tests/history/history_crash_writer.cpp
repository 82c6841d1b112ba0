// Records results into the history in DIR without end, one every two milliseconds, each with the
// next number from FIRST (kept as its milliseconds) and the time it was handed in; after each it
// appends "NUMBER TIME_MS" to DIR/handed (unbuffered, so a line read after a kill was written
// before it). The history crash test kills it at random moments.
// Usage: history_crash_writer DIR FIRST
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "history/history_store.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string dir = argv[1];
  const long long first = std::atoll(argv[2]);
  const int log = open((dir + "/handed").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (log < 0) return 1;
  lumvex::HistoryLimits limits;
  limits.per_proxy = 1 << 30;  // nothing is pruned: every record must be found
  lumvex::HistoryStore store(dir + "/history.db", limits);
  for (long long n = first;; ++n) {
    const std::int64_t now = lumvex::HistoryNowMs();
    store.Record("10.0.0." + std::to_string(n % 200) + ":8080",
                 {now, lumvex::HistoryKind::kCheck, n % 3 != 0, 0, 0, static_cast<double>(n) / 1000});
    const std::string line = std::to_string(n) + " " + std::to_string(now) + "\n";
    if (write(log, line.data(), line.size()) < 0) return 3;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}
