#include "platform/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "support/wait_until.h"

namespace lumvex {
namespace {

using std::chrono::milliseconds;
using testing::WaitUntil;

// Records every value the routine was called with; a value can be held until released.
class Recorder {
 public:
  void Run(std::int32_t value) {
    std::unique_lock lock(mutex_);
    started_.push_back(value);
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_.count(value); });
    finished_.push_back(value);
    changed_.notify_all();
  }
  void Hold(std::int32_t value) {
    std::lock_guard lock(mutex_);
    held_.insert(value);
  }
  void Release(std::int32_t value) {
    std::lock_guard lock(mutex_);
    held_.erase(value);
    changed_.notify_all();
  }
  bool WaitStarted(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20),
                             [&] { return started_.size() >= count; });
  }
  bool WaitFinished(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20),
                             [&] { return finished_.size() >= count; });
  }
  std::vector<std::int32_t> Finished() {
    std::lock_guard lock(mutex_);
    return finished_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::int32_t> held_;
  std::vector<std::int32_t> started_;
  std::vector<std::int32_t> finished_;
};

TEST(WorkerPoolTest, CreateRefusedWhileRunningAndPostRefusedWhileStopped) {
  WorkerPool pool;
  Recorder recorder;
  EXPECT_FALSE(pool.Running());
  EXPECT_FALSE(pool.Post(1));  // never created
  ASSERT_TRUE(pool.Create(3, [&](std::int32_t v) { recorder.Run(v); }));
  EXPECT_TRUE(pool.Running());
  EXPECT_TRUE(WaitUntil([&] { return pool.LiveWorkers() == 3; }));
  // A second Create changes nothing: still three workers, still the first routine.
  std::atomic<int> second_routine_calls{0};
  EXPECT_FALSE(pool.Create(5, [&](std::int32_t) { ++second_routine_calls; }));
  EXPECT_EQ(pool.LiveWorkers(), 3);
  for (std::int32_t v = 1; v <= 6; ++v) EXPECT_TRUE(pool.Post(v));
  ASSERT_TRUE(recorder.WaitFinished(6));
  EXPECT_EQ(second_routine_calls.load(), 0);

  pool.Stop();
  EXPECT_FALSE(pool.Running());
  EXPECT_FALSE(pool.Post(7));
  pool.Stop();  // stopping a stopped pool does nothing
  // Workers notice within their 100 ms re-read of "running".
  EXPECT_TRUE(WaitUntil([&] { return pool.LiveWorkers() == 0; }));
  // After Stop the pool can be created again, with a fresh queue.
  ASSERT_TRUE(pool.Create(1, [&](std::int32_t v) { recorder.Run(v); }));
  EXPECT_TRUE(pool.Post(8));
  ASSERT_TRUE(recorder.WaitFinished(7));
  EXPECT_EQ(recorder.Finished().back(), 8);
}

TEST(WorkerPoolTest, StopDropsQueuedTasksAndLetsRunningOnesFinish) {
  WorkerPool pool;
  Recorder recorder;
  recorder.Hold(1);
  ASSERT_TRUE(pool.Create(1, [&](std::int32_t v) { recorder.Run(v); }));
  for (std::int32_t v = 1; v <= 10; ++v) ASSERT_TRUE(pool.Post(v));
  ASSERT_TRUE(recorder.WaitStarted(1));
  pool.Stop();  // returns while task 1 is still held
  EXPECT_EQ(pool.LiveWorkers(), 1);
  recorder.Release(1);
  ASSERT_TRUE(WaitUntil([&] { return pool.LiveWorkers() == 0; }));
  EXPECT_EQ(recorder.Finished(), std::vector<std::int32_t>{1});
}

TEST(WorkerPoolTest, TasksAreTakenInPostingOrder) {
  WorkerPool pool;
  Recorder recorder;
  ASSERT_TRUE(pool.Create(1, [&](std::int32_t v) { recorder.Run(v); }));
  for (std::int32_t v = 1; v <= 50; ++v) ASSERT_TRUE(pool.Post(v));
  ASSERT_TRUE(recorder.WaitFinished(50));
  std::vector<std::int32_t> expected;
  for (std::int32_t v = 1; v <= 50; ++v) expected.push_back(v);
  EXPECT_EQ(recorder.Finished(), expected);
  pool.Stop();
}

TEST(WorkerPoolTest, ZeroOrNegativeCountStartsNoWorker) {
  for (int count : {0, -1, -500}) {
    WorkerPool pool;
    std::atomic<int> calls{0};
    ASSERT_TRUE(pool.Create(count, [&](std::int32_t) { ++calls; })) << count;
    EXPECT_TRUE(pool.Running());
    EXPECT_TRUE(WaitUntil([&] { return !pool.Starting(); }));
    EXPECT_EQ(pool.LiveWorkers(), 0);
    // Posting still queues; nothing ever takes the value.
    EXPECT_TRUE(pool.Post(1));
    pool.Stop();
    EXPECT_EQ(calls.load(), 0);
  }
}

TEST(WorkerPoolTest, RefusedThreadsLeaveThePoolRunningWithThoseStarted) {
  // The system refuses the fourth thread and every one after it.
  WorkerPool pool([](int index) { return index <= 3; });
  Recorder recorder;
  ASSERT_TRUE(pool.Create(10, [&](std::int32_t v) { recorder.Run(v); }));
  EXPECT_TRUE(pool.Running());
  EXPECT_TRUE(WaitUntil([&] { return pool.LiveWorkers() == 3; }));
  for (std::int32_t v = 1; v <= 20; ++v) ASSERT_TRUE(pool.Post(v));
  ASSERT_TRUE(recorder.WaitFinished(20));
  pool.Stop();

  // When no thread at all can start, the pool still "runs" with none.
  WorkerPool none([](int) { return false; });
  ASSERT_TRUE(none.Create(5, [](std::int32_t) {}));
  EXPECT_TRUE(WaitUntil([&] { return !none.Starting(); }));
  EXPECT_EQ(none.LiveWorkers(), 0);
  EXPECT_TRUE(none.Post(1));
}

TEST(WorkerPoolTest, CountIsCappedAtTheMaximum) {
  std::atomic<int> highest{0};
  WorkerPool pool([&](int index) {
    highest = index;
    return true;
  });
  ASSERT_TRUE(pool.Create(WorkerPool::kMaxThreads + 500, [](std::int32_t) {}));
  EXPECT_TRUE(WaitUntil([&] { return !pool.Starting(); }));
  EXPECT_EQ(highest.load(), WorkerPool::kMaxThreads);
  EXPECT_TRUE(WaitUntil([&] { return pool.LiveWorkers() == WorkerPool::kMaxThreads; }));
  pool.Shutdown(20000);
  EXPECT_EQ(pool.LiveWorkers(), 0);
}

TEST(WorkerPoolTest, StopWhileStartingStartsNoMoreWorkers) {
  std::mutex gate_mutex;
  std::condition_variable gate_changed;
  int asked = 0;
  bool open = false;
  // The helper is held at the third thread until the test has stopped the pool.
  WorkerPool pool([&](int index) {
    std::unique_lock lock(gate_mutex);
    asked = index;
    gate_changed.notify_all();
    gate_changed.wait(lock, [&] { return open || index < 3; });
    return true;
  });
  ASSERT_TRUE(pool.Create(100, [](std::int32_t) {}));
  {
    std::unique_lock lock(gate_mutex);
    ASSERT_TRUE(gate_changed.wait_for(lock, std::chrono::seconds(20), [&] { return asked == 3; }));
  }
  pool.Stop();
  {
    std::lock_guard lock(gate_mutex);
    open = true;
    gate_changed.notify_all();
  }
  ASSERT_TRUE(WaitUntil([&] { return !pool.Starting() && pool.LiveWorkers() == 0; }));
  std::lock_guard lock(gate_mutex);
  EXPECT_EQ(asked, 3);  // the fourth thread was never asked for
}

TEST(WorkerPoolTest, ShutdownJoinsWorkersOfEveryGeneration) {
  WorkerPool pool;
  Recorder recorder;
  recorder.Hold(1);
  ASSERT_TRUE(pool.Create(2, [&](std::int32_t v) { recorder.Run(v); }));
  ASSERT_TRUE(pool.Post(1));
  ASSERT_TRUE(recorder.WaitStarted(1));
  pool.Stop();
  // A new generation while a worker of the old one is still inside its task.
  ASSERT_TRUE(pool.Create(2, [&](std::int32_t v) { recorder.Run(v); }));
  ASSERT_TRUE(pool.Post(2));
  ASSERT_TRUE(recorder.WaitFinished(1));
  std::thread release([&] { recorder.Release(1); });
  pool.Shutdown(20000);
  release.join();
  EXPECT_FALSE(pool.Running());
  EXPECT_EQ(pool.LiveWorkers(), 0);
  EXPECT_EQ(recorder.Finished().size(), 2u);
}

}  // namespace
}  // namespace lumvex
