#include "settings/data_dir.h"

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
  EXPECT_EQ(data.PathOf(DataFile::kProxyList), "/opt/lumvex/data/The agent");
  EXPECT_EQ(data.PathOf(DataFile::kFetchCount), "/opt/lumvex/data/agent number");
  EXPECT_EQ(data.PathOf(DataFile::kThreadCount), "/opt/lumvex/data/thread");
  EXPECT_EQ(data.PathOf(DataFile::kTray), "/opt/lumvex/data/tray");
  EXPECT_EQ(data.PathOf(DataFile::kPoweredUp), "/opt/lumvex/data/Powered up");
  EXPECT_EQ(data.PathOf(DataFile::kIeAgent), "/opt/lumvex/data/IE Agent");
  EXPECT_EQ(data.PathOf(DataFile::kStrict), "/opt/lumvex/data/strict");
  EXPECT_EQ(data.PathOf(DataFile::kGuard), "/opt/lumvex/data/guard");
  EXPECT_EQ(data.PathOf(DataFile::kListUrl), "/opt/lumvex/data/list url");
  EXPECT_EQ(data.PathOf(DataFile::kProxyOn), "/opt/lumvex/data/proxy on");
  EXPECT_EQ(data.PathOf(DataFile::kProxyMode), "/opt/lumvex/data/proxy mode");
}

TEST(DataDirTest, OverrideAndOddDirectoriesJoinWithOneSlash) {
  EXPECT_EQ(DataDir("/srv/my data/").PathOf(DataFile::kThreadCount), "/srv/my data/thread");
  EXPECT_EQ(DataDir("/").PathOf(DataFile::kThreadCount), "/thread");
  EXPECT_EQ(DataDir("").PathOf(DataFile::kThreadCount), "./thread");
  EXPECT_EQ(DataDir::BesideRunDirectory("/").Path(), "/data");
  EXPECT_EQ(DataDir::BesideRunDirectory("").Path(), "data");
}

TEST(DataDirTest, EnsureCreatesOneLevelSilently) {
  ScratchDir dir;
  const DataDir data = DataDir::BesideRunDirectory(dir.path());
  data.EnsureDataDir();
  EXPECT_TRUE(DirectoryExists(data.Path()));
  std::ofstream(data.PathOf(DataFile::kThreadCount)) << "20";
  data.EnsureDataDir();  // existing directory and its files stay
  EXPECT_EQ(ReadWholeFile(data.PathOf(DataFile::kThreadCount)), "20");

  const DataDir deep(dir.File("missing") + "/data");
  deep.EnsureDataDir();
  EXPECT_FALSE(DirectoryExists(dir.File("missing")));
}

}  // namespace
}  // namespace lumvex
