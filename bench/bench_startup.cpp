// Launches lumvexip on the offscreen platform and measures the time from process start to the
// first paint of its main window (the program prints a marker when LUMVEX_REPORT_STARTUP is set),
// with a 100,000-row list file and with an empty data directory; also its peak memory. Then once
// more with the list and a check history of 1,000,000 records over 20,000 of its proxies, which
// the program reads on a thread of its own.
// Usage: bench_startup [path-to-lumvexip]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "proc_status.h"

namespace {

struct Run {
  double shown_ms = -1;
  double peak_mb = 0;
};

Run Launch(const std::string& program, const std::string& data_dir) {
  int out[2];
  if (pipe(out) != 0) return {};
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LUMVEX_REPORT_STARTUP", "1", 1);
    // The exit sequence switches the system proxy off: keep it in a store of the run's own.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    execl(program.c_str(), program.c_str(), "--data-dir", data_dir.c_str(), nullptr);
    _exit(127);
  }
  close(out[1]);
  Run run;
  std::string buffer;
  char chunk[256];
  for (;;) {
    const ssize_t n = read(out[0], chunk, sizeof chunk);
    if (n <= 0) break;
    buffer.append(chunk, static_cast<size_t>(n));
    if (buffer.find("LUMVEX_WINDOW_SHOWN") != std::string::npos) {
      run.shown_ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      break;
    }
  }
  run.peak_mb = lumvex::bench::PeakResidentMb(pid);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  close(out[0]);
  return run;
}

Run Median(const std::string& program, const std::string& data_dir, int times) {
  std::vector<Run> runs;
  for (int i = 0; i < times; ++i) runs.push_back(Launch(program, data_dir));
  std::sort(runs.begin(), runs.end(),
            [](const Run& a, const Run& b) { return a.shown_ms < b.shown_ms; });
  return runs[runs.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 1 ? argv[1] : LUMVEX_PROGRAM;
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("bench_startup." + std::to_string(getpid()));
  fs::create_directories(root / "full");
  fs::create_directories(root / "empty");
  {
    std::ofstream list(root / "full" / "The agent", std::ios::binary);
    for (int i = 0; i < 100000; ++i) {
      if (i) list << "\r\n";
      list << "10." << (i >> 16) << '.' << ((i >> 8) & 255) << '.' << (i & 255) << " | "
           << 1000 + i % 60000 << " | HTTP | 0." << i % 10 << " | CN | " << i % 30 << "d";
    }
  }
  Median(program, (root / "empty").string(), 1);  // warm the file cache
  const Run full = Median(program, (root / "full").string(), 5);
  const Run empty = Median(program, (root / "empty").string(), 5);
  std::printf("startup_ms %.1f ms\n", full.shown_ms);
  std::printf("startup_empty_ms %.1f ms\n", empty.shown_ms);
  std::printf("peak_mb %.1f MB\n", full.peak_mb);
  std::printf("peak_empty_mb %.1f MB\n", empty.peak_mb);
  {
    lumvex::HistoryStore history((root / "full" / "history.db").string());
    const std::int64_t t0 = lumvex::HistoryNowMs() - 86400000;
    for (int r = 0; r < 1000000; ++r) {
      const int i = r % 20000;
      const std::string address = "10." + std::to_string(i >> 16) + '.' +
                                  std::to_string((i >> 8) & 255) + '.' + std::to_string(i & 255) +
                                  ':' + std::to_string(1000 + i % 60000);
      history.Record(address, {t0 + r, lumvex::HistoryKind::kCheck, r % 3 != 0, 0, 200, 1.5});
    }
  }
  // Its pages on disk and in the file cache, like the list's, before the runs are timed.
  ::sync();
  Median(program, (root / "full").string(), 1);
  const Run with_history = Median(program, (root / "full").string(), 5);
  std::printf("startup_history_ms %.1f ms\n", with_history.shown_ms);
  std::printf("peak_history_mb %.1f MB\n", with_history.peak_mb);
  fs::remove_all(root);
  return full.shown_ms < 0 || empty.shown_ms < 0 || with_history.shown_ms < 0 ? 1 : 0;
}
