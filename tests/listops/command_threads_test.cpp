// The list commands' threads at program exit.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "list_rig.h"

namespace lumvex {
namespace {

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
