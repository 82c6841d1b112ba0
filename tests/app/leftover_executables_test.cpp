#include "app/leftover_executables.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/file_io.h"
#include "temp_dir.h"

namespace lumvex {
namespace {

using lumvex::testing::TempDir;

TEST(LeftoverExecutablesTest, NamesCarryThePlatformSuffix) {
  const auto names = LeftoverExecutableNames();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "LumvexIP代理验证" + std::string(kExecutableSuffix));
  EXPECT_EQ(names[1], "LumvexIP代理验证 V1.2" + std::string(kExecutableSuffix));
}

TEST(LeftoverExecutablesTest, RemovesBothAndNothingElse) {
  TempDir dir;
  for (const std::string& name : LeftoverExecutableNames()) {
    ASSERT_TRUE(WriteWholeFile(dir.File(name), "old"));
  }
  ASSERT_TRUE(WriteWholeFile(dir.File("LumvexIP代理验证 V1.3"), "new"));
  ASSERT_TRUE(WriteWholeFile(dir.File("lumvexip"), "new"));
  EXPECT_EQ(RemoveLeftoverExecutables(dir.path(), "/proc/self/exe"), 2);
  for (const std::string& name : LeftoverExecutableNames()) {
    EXPECT_FALSE(FileExists(dir.File(name))) << name;
  }
  EXPECT_TRUE(FileExists(dir.File("LumvexIP代理验证 V1.3")));
  EXPECT_TRUE(FileExists(dir.File("lumvexip")));
  // Nothing left: a second run removes nothing and does not fail.
  EXPECT_EQ(RemoveLeftoverExecutables(dir.path(), "/proc/self/exe"), 0);
  EXPECT_EQ(RemoveLeftoverExecutables(dir.File("missing"), "/proc/self/exe"), 0);
}

TEST(LeftoverExecutablesTest, NeverRemovesTheRunningExecutable) {
  TempDir dir;
  const std::string running = dir.File("lumvexip");
  ASSERT_TRUE(WriteWholeFile(running, "running"));
  const auto names = LeftoverExecutableNames();
  // The first leftover name is another name of the running file (a hard link), the second is a
  // symbolic link to it: both are the program itself.
  ASSERT_EQ(link(running.c_str(), dir.File(names[0]).c_str()), 0);
  ASSERT_EQ(symlink(running.c_str(), dir.File(names[1]).c_str()), 0);
  EXPECT_EQ(RemoveLeftoverExecutables(dir.path(), running), 0);
  EXPECT_TRUE(FileExists(dir.File(names[0])));
  EXPECT_TRUE(FileExists(dir.File(names[1])));
  // Reached through a different spelling of the same path, too.
  EXPECT_EQ(RemoveLeftoverExecutables(dir.path() + "/", dir.path() + "/./lumvexip"), 0);
  EXPECT_EQ(ReadWholeFile(running), std::optional<std::string>("running"));
}

TEST(LeftoverExecutablesTest, LeavesDirectoriesOfThatName) {
  TempDir dir;
  const auto names = LeftoverExecutableNames();
  ASSERT_EQ(mkdir(dir.File(names[0]).c_str(), 0700), 0);
  EXPECT_EQ(RemoveLeftoverExecutables(dir.path(), "/proc/self/exe"), 0);
  EXPECT_TRUE(DirectoryExists(dir.File(names[0])));
}

}  // namespace
}  // namespace lumvex
