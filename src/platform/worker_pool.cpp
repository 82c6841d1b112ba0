#include "platform/worker_pool.h"

#include <pthread.h>

#include <chrono>
#include <thread>
#include <utility>

namespace lumvex {

// A generation of the pool. Workers hold a shared reference, so a Create after Stop never hands
// the old workers the new queue, and an old worker may finish its task after the pool moved on.
struct WorkerPool::Run {
  std::mutex mutex;
  std::condition_variable wake;
  std::condition_variable ended;
  std::deque<std::int32_t> queue;
  bool running = true;
  bool starting = true;  // the helper is still starting workers
  int live = 0;
  Routine routine;
  std::vector<pthread_t> threads;
  std::thread starter;  // joined by the pool (under its mutex) once `starting` is false
};

namespace {

struct WorkerStart {
  std::shared_ptr<void> run;
};

}  // namespace

WorkerPool::~WorkerPool() { Shutdown(2000); }

void* WorkerPool::WorkerMain(void* arg) {
  std::shared_ptr<Run> run = std::static_pointer_cast<Run>(static_cast<WorkerStart*>(arg)->run);
  delete static_cast<WorkerStart*>(arg);
  std::unique_lock lock(run->mutex);
  while (run->running) {
    // Re-read "running" at least every 100 ms, as the task queue may stay silent.
    if (!run->wake.wait_for(lock, std::chrono::milliseconds(100),
                            [&run] { return !run->running || !run->queue.empty(); })) {
      continue;
    }
    if (!run->running) break;
    const std::int32_t value = run->queue.front();
    run->queue.pop_front();
    lock.unlock();
    run->routine(value);
    lock.lock();
  }
  --run->live;
  run->ended.notify_all();
  return nullptr;
}

void WorkerPool::StartWorkers(const std::shared_ptr<Run>& run, int count, const StartGate& gate) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kStackBytes);
  for (int i = 1; i <= count; ++i) {
    {
      std::lock_guard lock(run->mutex);
      if (!run->running) break;  // stopped while starting: start no more
      ++run->live;
    }
    auto* start = new WorkerStart{run};
    pthread_t thread;
    const bool allowed = !gate || gate(i);
    if (!allowed || pthread_create(&thread, &attr, &WorkerPool::WorkerMain, start) != 0) {
      delete start;
      std::lock_guard lock(run->mutex);
      --run->live;
      run->ended.notify_all();
      break;  // the system refuses more threads: run with those started
    }
    std::lock_guard lock(run->mutex);
    run->threads.push_back(thread);
  }
  pthread_attr_destroy(&attr);
  std::lock_guard lock(run->mutex);
  run->starting = false;
  run->ended.notify_all();
}

bool WorkerPool::Create(int thread_count, Routine routine) {
  std::lock_guard guard(mutex_);
  if (current_ && current_->running) return false;
  auto run = std::make_shared<Run>();
  run->routine = std::move(routine);
  if (thread_count > kMaxThreads) thread_count = kMaxThreads;
  if (thread_count < 0) thread_count = 0;
  try {
    run->starter =
        std::thread([run, thread_count, gate = gate_] { StartWorkers(run, thread_count, gate); });
  } catch (const std::system_error&) {
    // Not even the helper can start: start the workers here.
    StartWorkers(run, thread_count, gate_);
  }
  current_ = run;
  PruneEndedRuns();
  runs_.push_back(run);
  return true;
}

void WorkerPool::PruneEndedRuns() {
  std::vector<std::shared_ptr<Run>> alive;
  for (auto& old : runs_) {
    std::unique_lock lock(old->mutex);
    if (old->live == 0 && !old->starting) {
      std::vector<pthread_t> threads = std::move(old->threads);
      lock.unlock();
      if (old->starter.joinable()) old->starter.join();
      for (pthread_t t : threads) pthread_join(t, nullptr);
    } else {
      alive.push_back(old);
    }
  }
  runs_ = std::move(alive);
}

bool WorkerPool::Post(std::int32_t value) {
  std::shared_ptr<Run> run;
  {
    std::lock_guard guard(mutex_);
    run = current_;
  }
  if (!run) return false;
  {
    std::lock_guard lock(run->mutex);
    if (!run->running) return false;
    run->queue.push_back(value);
  }
  run->wake.notify_one();
  return true;
}

void WorkerPool::Stop() {
  std::shared_ptr<Run> run;
  {
    std::lock_guard guard(mutex_);
    run = current_;
  }
  if (!run) return;
  {
    std::lock_guard lock(run->mutex);
    if (!run->running) return;
    run->running = false;
    run->queue.clear();
  }
  run->wake.notify_all();
}

bool WorkerPool::Running() const {
  std::lock_guard guard(mutex_);
  if (!current_) return false;
  std::lock_guard lock(current_->mutex);
  return current_->running;
}

int WorkerPool::LiveWorkers() const {
  std::lock_guard guard(mutex_);
  if (!current_) return 0;
  std::lock_guard lock(current_->mutex);
  return current_->live;
}

bool WorkerPool::Starting() const {
  std::lock_guard guard(mutex_);
  if (!current_) return false;
  std::lock_guard lock(current_->mutex);
  return current_->starting;
}

void WorkerPool::Shutdown(int timeout_ms) {
  Stop();
  std::vector<std::shared_ptr<Run>> runs;
  {
    std::lock_guard guard(mutex_);
    runs = std::move(runs_);
    runs_.clear();
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (auto& run : runs) {
    // The helper stops at its next thread once running is false; joining it is quick.
    if (run->starter.joinable()) run->starter.join();
    std::unique_lock lock(run->mutex);
    const bool all_ended = run->ended.wait_until(lock, deadline, [&run] { return run->live == 0; });
    std::vector<pthread_t> threads = std::move(run->threads);
    lock.unlock();
    for (pthread_t t : threads) {
      // Ended workers are joined; one still inside its task keeps the generation alive through
      // its own reference and is let go.
      if (all_ended) {
        pthread_join(t, nullptr);
      } else {
        pthread_detach(t);
      }
    }
  }
}

}  // namespace lumvex
