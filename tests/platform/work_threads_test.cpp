#include "platform/work_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace lumvex {
namespace {

TEST(WorkThreadsTest, WorkRunsOnOtherThreadsAndWaitIdleSeesItEnd) {
  WorkThreads threads({.run_refused_inline = true, .exit_bound = std::nullopt});
  std::atomic<int> done{0};
  std::mutex mutex;
  std::set<std::thread::id> seen;
  for (int i = 0; i < 50; ++i) {
    EXPECT_TRUE(threads.Start([&] {
      {
        std::lock_guard<std::mutex> lock(mutex);
        seen.insert(std::this_thread::get_id());
      }
      ++done;
    }));
  }
  threads.WaitIdle();
  EXPECT_EQ(done.load(), 50);
  EXPECT_EQ(seen.count(std::this_thread::get_id()), 0u);
  threads.JoinAll();
  EXPECT_TRUE(threads.Stopping());
  // Nothing starts once the program is ending.
  EXPECT_FALSE(threads.Start([&] { ++done; }));
  EXPECT_EQ(done.load(), 50);
}

}  // namespace
}  // namespace lumvex
