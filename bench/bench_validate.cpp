// A validation run over fake-proxy farms: proxies cycling through instant, slow (within the
// deadline), late, refusing, silent, resetting and closing-without-reply proxies, deadline 5 s,
// driven through StartValidation on the headless UI thread. The farms run in child processes so
// that the memory figures are the checker's own. Without arguments it runs T = 200 and T = 2000
// over 2000 proxies, then T = 10000 over 20000; `--threads T --proxies N` runs one of them.
// Prints one figure per line: name value unit, each name ending in _tT (_tT_nN for a run of
// its own that is not one of the three).
//
//   makespan_s        press of "验证代理IP" to the last verdict
//   bound_s           makespan of an ideal pool of T workers taking the same proxies in the same
//                     order, each check holding its worker exactly as long as the proxy's
//                     behaviour implies (its answer delay, or the deadline), with no overhead
//   ratio             makespan_s / bound_s
//   wrong             verdicts that differ from what the behaviour implies
//   overshoot_p99_ms  how far past the deadline the verdicts of deadline-bound checks came
//   last_start_ms     press to the start of the last check
//   peak_mb           peak resident memory of the checking process during the run
//   bytes_per_check   that peak over the resident memory just before the press, divided by
//                     the checks in flight at once (min(T, N))

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/headless_prompts.h"
#include "farm_process.h"
#include "fixture/file_limit.h"
#include "fixture/proxy_farm.h"
#include "platform/headless_ui_thread.h"
#include "proc_status.h"
#include "proxylist/proxy_list_observer.h"

namespace {

using Clock = std::chrono::steady_clock;
using lumvex::tools::ProxyBehaviour;

constexpr int kDeadlineS = 5;
constexpr int kSlowMs = 1500;
constexpr int kLateMs = 8000;
constexpr ProxyBehaviour kMix[] = {ProxyBehaviour::kAnswer,       ProxyBehaviour::kDelay,
                                   ProxyBehaviour::kDelay,        ProxyBehaviour::kRefuse,
                                   ProxyBehaviour::kNeverAnswer,  ProxyBehaviour::kReset,
                                   ProxyBehaviour::kCloseNoAnswer};
constexpr int kMixSize = sizeof(kMix) / sizeof(kMix[0]);

// Behaviour of proxy i; the two kDelay slots are the slow one and the late one.
struct Kind {
  ProxyBehaviour behaviour;
  int delay_ms;
  bool works;
  double hold_s;  // how long an ideal check of it holds its worker
};

Kind KindOf(int i) {
  const int slot = i % kMixSize;
  switch (slot) {
    case 0:
      return {kMix[slot], 0, true, 0};
    case 1:
      return {kMix[slot], kSlowMs, true, kSlowMs / 1000.0};
    case 2:
      return {kMix[slot], kLateMs, false, static_cast<double>(kDeadlineS)};
    case 4:
      return {kMix[slot], 0, false, static_cast<double>(kDeadlineS)};
    default:
      return {kMix[slot], 0, false, 0};
  }
}

double IdealMakespan(int threads, int proxies) {
  std::priority_queue<double, std::vector<double>, std::greater<>> free_at;
  for (int t = 0; t < std::min(threads, proxies); ++t) free_at.push(0);
  double end = 0;
  for (int i = 0; i < proxies; ++i) {
    const double start = free_at.top();
    free_at.pop();
    const double done = start + KindOf(i).hold_s;
    end = std::max(end, done);
    free_at.push(done);
  }
  return end;
}

// Times the verdicts on the UI thread as the list receives them.
class Timing : public lumvex::ProxyListObserver {
 public:
  Timing(lumvex::ProxyList& list, int rows)
      : list_(list), started_(rows), ended_(rows), verdict_(rows) {}
  void CellChanged(int row, int column) override {
    if (column != lumvex::kColType) return;
    const std::string text = list_.GetCell(row, column);
    const auto r = static_cast<size_t>(row);
    if (text == "正在验证...") {
      started_[r] = Clock::now();
      return;
    }
    if (text != "成功" && text != "失败") return;
    ended_[r] = Clock::now();
    verdict_[r] = text;
    std::lock_guard lock(mutex_);
    if (++done_ == static_cast<int>(verdict_.size())) all_.notify_all();
  }
  void WaitAll() {
    std::unique_lock lock(mutex_);
    all_.wait(lock, [&] { return done_ == static_cast<int>(verdict_.size()); });
  }
  void BeginInsertRows(int, int) override {}
  void EndInsertRows() override {}
  void BeginRemoveRows(int, int) override {}
  void EndRemoveRows() override {}
  void BeginReset() override {}
  void EndReset() override {}
  void CurrentOrSelectionChanged() override {}

  lumvex::ProxyList& list_;
  std::vector<Clock::time_point> started_, ended_;
  std::vector<std::string> verdict_;
  std::mutex mutex_;
  std::condition_variable all_;
  int done_ = 0;
};

void RunOnce(const std::vector<std::string>& endpoints, int threads, const std::string& suffix) {
  lumvex::HeadlessUiThread ui;
  lumvex::cli::HeadlessPrompts prompts;
  lumvex::ApplicationOptions options;
  options.shell.data_dir = lumvex::DataDir("/nonexistent-bench-data");
  options.endpoints.validation_host = "check.test";
  options.check_timeout_seconds = kDeadlineS;
  lumvex::Application app(ui, prompts, options);
  std::vector<lumvex::ProxyEntry> rows;
  for (const std::string& e : endpoints) {
    const size_t colon = e.rfind(':');
    rows.push_back(
        lumvex::ProxyEntry{{e.substr(0, colon), e.substr(colon + 1), "HTTP", "", "", ""}});
  }
  Timing timing(app.List(), static_cast<int>(rows.size()));
  ui.RunSync([&] {
    app.List().AddObserver(&timing);
    app.List().AddRows(rows);
    app.State().SetCount(lumvex::Counter::kList, static_cast<std::int64_t>(rows.size()));
    app.Session().Change([&](lumvex::SessionValues& values) { values.checks_at_once = threads; });
  });
  const double idle_mb = lumvex::bench::ResidentMb();
  lumvex::bench::ResetPeakResident();
  const Clock::time_point pressed = Clock::now();
  ui.RunSync([&] { app.Shell().OnCommand(lumvex::Command::kValidate); });
  timing.WaitAll();
  const double peak_mb = lumvex::bench::PeakResidentMb();
  Clock::time_point last = pressed;
  Clock::time_point last_start = pressed;
  for (const auto& t : timing.started_) last_start = std::max(last_start, t);
  int wrong = 0;
  std::vector<double> overshoot;
  for (size_t i = 0; i < rows.size(); ++i) {
    last = std::max(last, timing.ended_[i]);
    const Kind kind = KindOf(static_cast<int>(i));
    if ((timing.verdict_[i] == "成功") != kind.works) ++wrong;
    if (kind.hold_s == kDeadlineS) {
      overshoot.push_back(
          std::chrono::duration<double, std::milli>(timing.ended_[i] - timing.started_[i]).count() -
          kDeadlineS * 1000.0);
    }
  }
  ui.RunSync([&] {
    app.Validation().StopValidation();
    app.List().RemoveObserver(&timing);
  });
  std::sort(overshoot.begin(), overshoot.end());
  const double makespan = std::chrono::duration<double>(last - pressed).count();
  const int proxies = static_cast<int>(rows.size());
  const double bound = IdealMakespan(threads, proxies);
  std::printf("makespan_s%s %.3f s\n", suffix.c_str(), makespan);
  std::printf("bound_s%s %.3f s\n", suffix.c_str(), bound);
  std::printf("ratio%s %.4f x\n", suffix.c_str(), makespan / bound);
  std::printf("wrong%s %d verdicts\n", suffix.c_str(), wrong);
  std::printf("overshoot_p99_ms%s %.1f ms\n", suffix.c_str(),
              overshoot.empty() ? 0.0 : overshoot[overshoot.size() * 99 / 100]);
  std::printf("overshoot_max_ms%s %.1f ms\n", suffix.c_str(),
              overshoot.empty() ? 0.0 : overshoot.back());
  std::printf("last_start_ms%s %.1f ms\n", suffix.c_str(),
              std::chrono::duration<double, std::milli>(last_start - pressed).count());
  std::printf("peak_mb%s %.1f MB\n", suffix.c_str(), peak_mb);
  std::printf("bytes_per_check%s %.0f B\n", suffix.c_str(),
              (peak_mb - idle_mb) * 1024 * 1024 / std::min(threads, proxies));
  std::fflush(stdout);
  ui.Close();
  app.Shutdown();
}

// The endpoints of a farm of `proxies` in the mix, spread over child processes.
std::vector<lumvex::tools::ProxySpec> MixSpecs(int proxies) {
  std::vector<lumvex::tools::ProxySpec> specs;
  for (int i = 0; i < proxies; ++i) {
    lumvex::tools::ProxySpec spec;
    spec.behaviour = KindOf(i).behaviour;
    spec.delay_ms = KindOf(i).delay_ms;
    specs.push_back(spec);
  }
  return specs;
}

struct Run {
  int threads;
  int proxies;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<Run> runs = {{200, 2000}, {2000, 2000}, {10000, 20000}};
  Run chosen{0, 0};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--threads") chosen.threads = std::atoi(argv[i + 1]);
    if (flag == "--proxies") chosen.proxies = std::atoi(argv[i + 1]);
  }
  if (argc > 1) {
    if (chosen.threads <= 0 || chosen.proxies <= 0) {
      std::fprintf(stderr, "usage: bench_validate [--threads T --proxies N]\n");
      return 2;
    }
    runs = {chosen};
  }
  // The checker holds a socket per check in flight.
  lumvex::tools::RaiseFileLimit();
  int farm_size = 0;
  std::unique_ptr<lumvex::bench::FarmProcesses> farm;
  for (const Run& run : runs) {
    if (run.proxies != farm_size) {
      farm.reset();
      farm = std::make_unique<lumvex::bench::FarmProcesses>(MixSpecs(run.proxies));
      farm_size = run.proxies;
      if (farm->Endpoints().size() != static_cast<size_t>(run.proxies)) {
        std::fprintf(stderr, "bench_validate: the farm did not start (%zu proxies)\n",
                     farm->Endpoints().size());
        return 1;
      }
    }
    const bool named = run.proxies == 2000 || (run.threads == 10000 && run.proxies == 20000);
    std::string suffix = "_t" + std::to_string(run.threads);
    if (!named) suffix += "_n" + std::to_string(run.proxies);
    RunOnce(farm->Endpoints(), run.threads, suffix);
  }
  return 0;
}
