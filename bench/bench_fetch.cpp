// Load rig for FetchPage: as many calls at once as a validation run makes, each from its own
// small-stack thread, through fake proxies of which half answer at once and half never answer.
// Prints one figure per line: name value unit.
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fixture/fixture_server.h"
#include "http/fetch_client.h"
#include "proc_status.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kCalls = 2000;
constexpr double kDeadlineS = 5.0;
constexpr std::size_t kStackBytes = 256 * 1024;

struct Call {
  lumvex::http::FetchClient* client;
  std::string proxy;
  std::atomic<int>* ready;
  std::mutex* mutex;
  std::condition_variable* go;
  bool* started;
  double elapsed_ms = 0;
  bool timed_out = false;
  bool answered = false;
};

void* RunCall(void* arg) {
  auto* call = static_cast<Call*>(arg);
  {
    std::unique_lock<std::mutex> lock(*call->mutex);
    call->ready->fetch_add(1);
    call->go->wait(lock, [call] { return *call->started; });
  }
  lumvex::http::FetchOptions options;
  options.proxy = call->proxy;
  options.timeout_s = kDeadlineS;
  std::string url = "http://validation.test/check";
  Clock::time_point start = Clock::now();
  lumvex::http::FetchResult result = call->client->FetchPage(url, options);
  call->elapsed_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  call->timed_out = result.timed_out;
  call->answered = result.body == "ok";
  return nullptr;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

}  // namespace

int main() {
  lumvex::tools::RaiseFileLimit();
  std::vector<lumvex::tools::ProxySpec> specs(kCalls);
  for (std::size_t i = 0; i < kCalls; ++i) {
    specs[i].address = lumvex::tools::LoopbackAddress(i);
    specs[i].behaviour = i % 2 == 0 ? lumvex::tools::ProxyBehaviour::kAnswer
                                    : lumvex::tools::ProxyBehaviour::kNeverAnswer;
  }
  lumvex::tools::ProxyFarm farm;
  std::vector<lumvex::tools::ProxyEndpoint> endpoints = farm.Start(specs);
  if (endpoints.size() != kCalls) {
    std::fprintf(stderr, "could not start %zu proxies\n", kCalls);
    return 1;
  }

  std::atomic<bool> sampling{true};
  std::atomic<long> peak_threads{0};
  std::thread sampler([&] {
    while (sampling.load()) {
      long threads = lumvex::bench::ProcStatusField("Threads");
      long seen = peak_threads.load();
      while (threads > seen && !peak_threads.compare_exchange_weak(seen, threads)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });

  int exit_code = 0;
  {
    lumvex::http::FetchClient client(nullptr);
    std::atomic<int> ready{0};
    std::mutex mutex;
    std::condition_variable go;
    bool started = false;
    std::vector<Call> calls(kCalls);
    std::vector<pthread_t> threads(kCalls);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kStackBytes);
    for (std::size_t i = 0; i < kCalls; ++i) {
      calls[i] = Call{&client, endpoints[i].address + ":" + std::to_string(endpoints[i].port),
                      &ready,  &mutex,
                      &go,     &started};
      if (pthread_create(&threads[i], &attr, &RunCall, &calls[i]) != 0) {
        std::fprintf(stderr, "thread %zu could not start\n", i);
        std::exit(1);
      }
    }
    pthread_attr_destroy(&attr);
    while (ready.load() < static_cast<int>(kCalls))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Clock::time_point start = Clock::now();
    {
      std::lock_guard<std::mutex> lock(mutex);
      started = true;
    }
    go.notify_all();
    for (pthread_t thread : threads) pthread_join(thread, nullptr);
    double wall_s = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> overshoot;
    std::size_t answered = 0;
    std::size_t timed_out = 0;
    std::size_t late = 0;
    for (const Call& call : calls) {
      if (call.answered) ++answered;
      if (call.timed_out) {
        ++timed_out;
        overshoot.push_back(std::max(0.0, call.elapsed_ms - kDeadlineS * 1000));
      }
      if (call.elapsed_ms > kDeadlineS * 1000 + 100) ++late;
    }
    std::printf("calls %zu count\n", kCalls);
    std::printf("answered %zu count\n", answered);
    std::printf("timed_out %zu count\n", timed_out);
    std::printf("late_calls %zu count\n", late);
    std::printf("wall_s %.3f s\n", wall_s);
    std::printf("overshoot_p50_ms %.1f ms\n", Percentile(overshoot, 0.50));
    std::printf("overshoot_p99_ms %.1f ms\n", Percentile(overshoot, 0.99));
    std::printf("overshoot_max_ms %.1f ms\n", Percentile(overshoot, 1.0));
    if (late > 0) exit_code = 2;
  }
  sampling = false;
  sampler.join();
  std::printf("peak_mb %.1f MB\n", lumvex::bench::PeakResidentMb());
  std::printf("peak_threads %ld count\n", peak_threads.load());
  // Sockets torn down at the deadline reach the proxies' event loop a moment later.
  for (int i = 0; i < 100 && farm.OpenConnections() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::printf("proxy_connections_left %zu count\n", farm.OpenConnections());
  return exit_code;
}
