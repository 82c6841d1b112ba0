// Typed settings as start-up and the settings dialog use them.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/file_io.h"
#include "scratch_dir.h"

namespace lumvex {
namespace {

using testing_support::ScratchDir;

class SettingsTest : public ::testing::Test {
 protected:
  void Put(const std::string& name, const std::string& bytes) {
    std::ofstream(data_.FilePath(name), std::ios::binary) << bytes;
  }

  ScratchDir dir_;
  DataDir data_ = DataDir::BesideRunDirectory(dir_.path());
  Settings settings_{data_};
};

TEST_F(SettingsTest, FirstStartReadsDefaultsAndCreatesNothing) {
  EXPECT_EQ(settings_.ReadAgentNumber(), std::nullopt);
  EXPECT_EQ(settings_.ReadThreadCount(), std::nullopt);
  EXPECT_FALSE(settings_.ReadTray());
  EXPECT_FALSE(settings_.ReadPoweredUp());
  EXPECT_EQ(settings_.ReadRun(), RunChoice::kUnset);
  EXPECT_EQ(settings_.ReadSavedProxy(), "");
  EXPECT_FALSE(DirectoryExists(data_.Path()));
}

TEST_F(SettingsTest, NumbersAreWholeFilesAsTyped) {
  ASSERT_TRUE(settings_.WriteAgentNumber("500"));
  ASSERT_TRUE(settings_.WriteThreadCount(" 2x0 "));
  EXPECT_EQ(ReadWholeFile(data_.PathOf(DataFile::kFetchCount)), "500");
  EXPECT_EQ(ReadWholeFile(data_.PathOf(DataFile::kThreadCount)), " 2x0 ");
  EXPECT_EQ(settings_.ReadAgentNumber(), "500");
  EXPECT_EQ(settings_.ReadThreadCount(), " 2x0 ");
  ASSERT_TRUE(settings_.WriteThreadCount(""));
  EXPECT_EQ(settings_.ReadThreadCount(), "");  // present but empty is not absent
}

TEST_F(SettingsTest, NumberTextIsGbkOnDisk) {
  ASSERT_TRUE(settings_.WriteAgentNumber("一百"));
  EXPECT_EQ(ReadWholeFile(data_.PathOf(DataFile::kFetchCount)), "\xD2\xBB\xB0\xD9");
  EXPECT_EQ(settings_.ReadAgentNumber(), "一百");
}

TEST_F(SettingsTest, FlagsUseTheirOwnFileSectionAndKey) {
  ASSERT_TRUE(settings_.WriteTray(true));
  ASSERT_TRUE(settings_.WritePoweredUp(false));
  ASSERT_TRUE(settings_.WriteRun(true));
  EXPECT_EQ(ReadWholeFile(data_.PathOf(DataFile::kTray)), "[tray]\r\ntray=yes\r\n");
  EXPECT_EQ(ReadWholeFile(data_.PathOf(DataFile::kPoweredUp)), "[Powered up]\r\nPowered up=no\r\n");
  EXPECT_EQ(ReadWholeFile(data_.PathOf(DataFile::kIeAgent)), "[run]\r\nrun=yes\r\n");
  EXPECT_TRUE(settings_.ReadTray());
  EXPECT_FALSE(settings_.ReadPoweredUp());
  EXPECT_EQ(settings_.ReadRun(), RunChoice::kYes);
  ASSERT_TRUE(settings_.WriteTray(false));
  ASSERT_TRUE(settings_.WritePoweredUp(true));
  ASSERT_TRUE(settings_.WriteRun(false));
  EXPECT_FALSE(settings_.ReadTray());
  EXPECT_TRUE(settings_.ReadPoweredUp());
  EXPECT_EQ(settings_.ReadRun(), RunChoice::kNo);
}

TEST_F(SettingsTest, OnlyExactYesCountsAsYes) {
  data_.EnsureDataDir();
  Put("tray", "[tray]\r\ntray=YES\r\n");
  Put("Powered up", "[Powered up]\r\nPowered up = yes \r\n");
  EXPECT_FALSE(settings_.ReadTray());
  EXPECT_TRUE(settings_.ReadPoweredUp());
  Put("IE Agent", "[run]\r\nrun=maybe\r\n");
  EXPECT_EQ(settings_.ReadRun(), RunChoice::kUnset);
  Put("IE Agent", "[run]\r\nrun=\r\n");
  EXPECT_EQ(settings_.ReadRun(), RunChoice::kUnset);
}

TEST_F(SettingsTest, SavedProxySharesItsFileWithRun) {
  ASSERT_TRUE(settings_.WriteRun(true));
  ASSERT_TRUE(settings_.WriteSavedProxy("61.135.1.2:80 | 广东省"));
  ASSERT_TRUE(settings_.WriteRun(false));
  EXPECT_EQ(
      ReadWholeFile(data_.PathOf(DataFile::kIeAgent)),
      "[run]\r\nrun=no\r\n[IE Agent]\r\nIE\xD2\xBB=61.135.1.2:80 | \xB9\xE3\xB6\xAB\xCA\xA1\r\n");
  EXPECT_EQ(settings_.ReadSavedProxy(), "61.135.1.2:80 | 广东省");
  EXPECT_EQ(settings_.ReadRun(), RunChoice::kNo);
}

// Each key of the table lands in its own file, section and key, and reads as its fallback while
// it is missing or empty.
TEST(StoredKeyTest, EveryKeyHasItsFileSectionKeyAndFallback) {
  struct Case {
    SettingKey key;
    std::string file;
    std::string bytes;  // the file after writing "v"
    std::string fallback;
  };
  const Case cases[] = {
      {SettingKey::kTray, "tray", "[tray]\r\ntray=v\r\n", "no"},
      {SettingKey::kPoweredUp, "Powered up", "[Powered up]\r\nPowered up=v\r\n", "no"},
      {SettingKey::kRun, "IE Agent", "[run]\r\nrun=v\r\n", ""},
      {SettingKey::kSavedProxy, "IE Agent", "[IE Agent]\r\nIE\xD2\xBB=v\r\n", ""},
      {SettingKey::kStrictUrl, "strict", "[strict]\r\nurl=v\r\n", ""},
      {SettingKey::kStrictExpect, "strict", "[strict]\r\nexpect=v\r\n", ""},
      {SettingKey::kStrictJudge, "strict", "[strict]\r\njudge=v\r\n", ""},
      {SettingKey::kGuard, "guard", "[guard]\r\nguard=v\r\n", "no"},
      {SettingKey::kListUrl, "list url", "[list url]\r\nlist url=v\r\n",
       "https://raw.githubusercontent.com/TheSpeedX/PROXY-List/master/http.txt"},
      {SettingKey::kWindowGeometry, "window", "[window]\r\ngeometry=v\r\n", ""},
      {SettingKey::kColumnWidths, "window", "[window]\r\ncolumns=v\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.bytes);
    ScratchDir dir;
    const Settings settings{DataDir(dir.path())};
    EXPECT_EQ(settings.Read(c.key), c.fallback);
    ASSERT_TRUE(settings.Write(c.key, ""));
    EXPECT_EQ(settings.Read(c.key), c.fallback);
    ASSERT_TRUE(settings.Write(c.key, "v"));
    EXPECT_EQ(ReadWholeFile(dir.File(c.file)), c.bytes);
    EXPECT_EQ(settings.Read(c.key), "v");
  }
}

TEST_F(SettingsTest, SeveralKeysOfOneFileInOneWrite) {
  using Value = std::pair<SettingKey, std::string_view>;
  const Value together[] = {{SettingKey::kStrictUrl, "http://u/"},
                            {SettingKey::kStrictExpect, "e"}};
  ASSERT_TRUE(settings_.Write(together));
  EXPECT_EQ(ReadWholeFile(data_.FilePath("strict")), "[strict]\r\nurl=http://u/\r\nexpect=e\r\n");
  // Keys of two files cannot be one replacement: nothing is written.
  const Value apart[] = {{SettingKey::kStrictUrl, "http://v/"}, {SettingKey::kTray, "yes"}};
  EXPECT_FALSE(settings_.Write(apart));
  EXPECT_EQ(settings_.Read(SettingKey::kStrictUrl), "http://u/");
  EXPECT_FALSE(FileExists(data_.FilePath("tray")));
}

TEST_F(SettingsTest, WritesCreateTheDataDirectoryButNotItsParents) {
  ASSERT_TRUE(settings_.WriteSavedProxy("1.2.3.4:80"));
  EXPECT_TRUE(DirectoryExists(data_.Path()));

  const Settings nowhere(DataDir(dir_.File("no") + "/data"));
  EXPECT_FALSE(nowhere.WriteThreadCount("10"));
  EXPECT_FALSE(nowhere.WriteTray(true));
  EXPECT_FALSE(DirectoryExists(dir_.File("no")));
}

TEST_F(SettingsTest, UnreadableNumberFileReadsAsAbsent) {
  data_.EnsureDataDir();
  // A directory where the file should be.
  ASSERT_TRUE(EnsureDirectory(data_.PathOf(DataFile::kThreadCount)));
  EXPECT_EQ(settings_.ReadThreadCount(), std::nullopt);
}

}  // namespace
}  // namespace lumvex
