#include "platform/run_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/file_io.h"

namespace lumvex {
namespace {

TEST(RunDirectoryTest, IsTheDirectoryHoldingThisTestProgram) {
  const std::string dir = RunDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_NE(dir.back(), '/');
  EXPECT_TRUE(DirectoryExists(dir));
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  const std::string exe_path(exe, static_cast<std::size_t>(n));
  EXPECT_EQ(exe_path.substr(0, dir.size() + 1), dir + "/");
  EXPECT_EQ(exe_path.find('/', dir.size() + 1), std::string::npos);
}

TEST(ExecutableDirectoryOfTest, CutsAtTheLastSlash) {
  EXPECT_EQ(ExecutableDirectoryOf("/opt/lumvex ip/bin/lumvexip"), "/opt/lumvex ip/bin");
  EXPECT_EQ(ExecutableDirectoryOf("/lumvexip"), "/");
  EXPECT_EQ(ExecutableDirectoryOf("lumvexip"), ".");
  EXPECT_EQ(ExecutableDirectoryOf("/opt/app/lumvexip (deleted)"), "/opt/app");
}

}  // namespace
}  // namespace lumvex
