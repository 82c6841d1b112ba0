#include "app/command_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "list_rig.h"

namespace lumvex {
namespace {

TEST(CommandThreadsTest, WorkRunsOnOtherThreadsAndWaitIdleSeesItEnd) {
  CommandThreads threads;
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

TEST(CommandThreadsTest, ExitDuringALongImportEndsItsThread) {
  testing::ListRig rig;
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "10.0.0.1:" + std::to_string(i) + "\r\n";
  std::atomic<std::size_t> appended{0};
  rig.commands.StartThread([&] {
    // Begins once the UI thread has closed (its hand-overs then return false at once).
    while (rig.ui.RunSync([] {})) std::this_thread::yield();
    appended = rig.commands.AppendLines(text);
  });
  // The program ends: the UI thread closes first, then the command threads are joined; the
  // import stops at its next batch instead of parsing everything.
  rig.ui.Close();
  rig.commands.Shutdown();
  EXPECT_LT(appended.load(), 200000u);
}

}  // namespace
}  // namespace lumvex
