#include "app/settings/data_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/file_io.h"
#include "scratch_dir.h"

namespace lumvex {
namespace {

using testing_support::ScratchDir;

TEST(DataDirTest, FilesAreLiteralNamesInsideTheDirectory) {
  const DataDir data = DataDir::BesideRunDirectory("/opt/lumvex");
  EXPECT_EQ(data.Path(), "/opt/lumvex/data");
  EXPECT_EQ(data.AgentListFile(), "/opt/lumvex/data/The agent");
  EXPECT_EQ(data.AgentNumberFile(), "/opt/lumvex/data/agent number");
  EXPECT_EQ(data.ThreadFile(), "/opt/lumvex/data/thread");
  EXPECT_EQ(data.TrayFile(), "/opt/lumvex/data/tray");
  EXPECT_EQ(data.PoweredUpFile(), "/opt/lumvex/data/Powered up");
  EXPECT_EQ(data.IeAgentFile(), "/opt/lumvex/data/IE Agent");
}

TEST(DataDirTest, OverrideAndOddDirectoriesJoinWithOneSlash) {
  EXPECT_EQ(DataDir("/srv/my data/").ThreadFile(), "/srv/my data/thread");
  EXPECT_EQ(DataDir("/").ThreadFile(), "/thread");
  EXPECT_EQ(DataDir("").ThreadFile(), "./thread");
  EXPECT_EQ(DataDir::BesideRunDirectory("/").Path(), "/data");
  EXPECT_EQ(DataDir::BesideRunDirectory("").Path(), "data");
}

TEST(DataDirTest, EnsureCreatesOneLevelSilently) {
  ScratchDir dir;
  const DataDir data = DataDir::BesideRunDirectory(dir.path());
  data.EnsureDataDir();
  EXPECT_TRUE(DirectoryExists(data.Path()));
  std::ofstream(data.ThreadFile()) << "20";
  data.EnsureDataDir();  // existing directory and its files stay
  EXPECT_EQ(ReadWholeFile(data.ThreadFile()), "20");

  const DataDir deep(dir.File("missing") + "/data");
  deep.EnsureDataDir();
  EXPECT_FALSE(DirectoryExists(dir.File("missing")));
}

}  // namespace
}  // namespace lumvex
