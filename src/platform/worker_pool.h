// The program's one pool of worker threads over a queue of 32-bit task values, for the source-A
// harvest's page tasks (checks are transfers on the fetch driver and need no thread).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace lumvex {

class WorkerPool {
 public:
  using Routine = std::function<void(std::int32_t)>;

  // At most this many workers; larger counts are cut to it.
  static constexpr int kMaxThreads = 2000;
  // Stack size of every worker, small so that thousands can run.
  static constexpr std::size_t kStackBytes = 256 * 1024;

  // Asked before each thread is started (1-based index); false acts as the system refusing that
  // thread. Tests use it to take the path of a refused thread without exhausting the system.
  using StartGate = std::function<bool(int index)>;

  WorkerPool() = default;
  explicit WorkerPool(StartGate gate) : gate_(std::move(gate)) {}
  // Stops the pool and joins every worker still alive (see Shutdown).
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // False (and nothing changes) while the pool is running. Otherwise sets running, starts
  // `thread_count` workers that call `routine` with each posted value (none for a count of 0 or
  // less) and returns true. The workers are started by a helper thread, so the caller (the UI
  // thread) does not wait for thousands of thread starts and values may be posted at once; each
  // worker takes tasks as soon as it is up. Threads the system refuses to start are skipped:
  // the pool runs with those it got.
  bool Create(int thread_count, Routine routine);
  // Queues a value; false when the pool is not running.
  bool Post(std::int32_t value);
  // Clears running and drops the queued values; running tasks finish. Does not wait.
  void Stop();
  bool Running() const;
  // Workers of the current run that are alive (started and not yet ended).
  int LiveWorkers() const;
  // Whether the current run's helper is still starting workers.
  bool Starting() const;
  // Program exit: stops the pool, then joins every worker ever started, waiting at most
  // `timeout_ms` in all. Workers still inside a task after that are detached; the caller must
  // have cancelled what they wait on (the fetches) first.
  void Shutdown(int timeout_ms);

 private:
  struct Run;  // one Create..Stop generation: its queue, flag and routine
  static void* WorkerMain(void* arg);
  static void StartWorkers(const std::shared_ptr<Run>& run, int count, const StartGate& gate);
  // Joins the generations whose helper is done and whose workers have all ended.
  void PruneEndedRuns();

  StartGate gate_;
  mutable std::mutex mutex_;
  std::shared_ptr<Run> current_;
  std::vector<std::shared_ptr<Run>> runs_;  // every generation with workers possibly alive
};

}  // namespace lumvex
