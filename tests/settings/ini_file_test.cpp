// Settings files on disk: GBK bytes, atomic replacement, unreadable files left alone.
#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "scratch_dir.h"

namespace lumvex {
namespace {

using testing_support::ScratchDir;

void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

TEST(IniFileTest, NewFileHasTheProfileFunctionsBytes) {
  ScratchDir dir;
  const std::string path = dir.File("tray");
  ASSERT_TRUE(WriteSetting(path, "tray", "tray", "yes"));
  EXPECT_EQ(ReadWholeFile(path), "[tray]\r\ntray=yes\r\n");
  EXPECT_EQ(ReadSetting(path, "tray", "tray"), "yes");
}

TEST(IniFileTest, ChineseKeyAndValueAreGbkOnDisk) {
  ScratchDir dir;
  const std::string path = dir.File("IE Agent");
  ASSERT_TRUE(WriteSetting(path, "IE Agent", "IE一", "1.2.3.4:8080 | 北京"));
  // 一 = D2 BB, 北 = B1 B1, 京 = BE A9 in GBK.
  EXPECT_EQ(ReadWholeFile(path), "[IE Agent]\r\nIE\xD2\xBB=1.2.3.4:8080 | \xB1\xB1\xBE\xA9\r\n");
  EXPECT_EQ(ReadSetting(path, "IE Agent", "IE一"), "1.2.3.4:8080 | 北京");
  EXPECT_EQ(ReadSetting(path, "ie agent", "ie一"), "1.2.3.4:8080 | 北京");
}

TEST(IniFileTest, SecondWritesExtendAndReplaceWithoutLosingOthers) {
  ScratchDir dir;
  const std::string path = dir.File("IE Agent");
  ASSERT_TRUE(WriteSetting(path, "run", "run", "yes"));
  ASSERT_TRUE(WriteSetting(path, "IE Agent", "IE一", "5.6.7.8:3128"));
  ASSERT_TRUE(WriteSetting(path, "run", "run", "no"));
  EXPECT_EQ(ReadWholeFile(path), "[run]\r\nrun=no\r\n[IE Agent]\r\nIE\xD2\xBB=5.6.7.8:3128\r\n");
  EXPECT_EQ(ReadSetting(path, "run", "run"), "no");
  EXPECT_EQ(ReadSetting(path, "IE Agent", "IE一"), "5.6.7.8:3128");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"IE Agent"});
}

TEST(IniFileTest, HandEditedFileKeepsItsOtherBytes) {
  ScratchDir dir;
  const std::string path = dir.File("IE Agent");
  // "\n" line ends, a comment, an invalid GBK byte and no final line end.
  const std::string hand = "# mine\n[IE Agent]\nIE\xD2\xBB = 9.9.9.9:1 \n\xFF odd\n[run]\nrun=yes";
  PutFile(path, hand);
  EXPECT_EQ(ReadSetting(path, "IE Agent", "IE一"), "9.9.9.9:1");
  EXPECT_EQ(ReadSetting(path, "run", "run"), "yes");
  ASSERT_TRUE(WriteSetting(path, "IE Agent", "IE一", "1.1.1.1:2"));
  EXPECT_EQ(ReadWholeFile(path),
            "# mine\n[IE Agent]\nIE\xD2\xBB=1.1.1.1:2\r\n\xFF odd\n[run]\nrun=yes");
}

TEST(IniFileTest, MissingFileSectionOrKeyReadsEmpty) {
  ScratchDir dir;
  EXPECT_EQ(ReadSetting(dir.File("absent"), "tray", "tray"), "");
  EXPECT_EQ(ReadSetting(dir.path(), "tray", "tray"), "");  // a directory, not a file
  PutFile(dir.File("tray"), "[tray]\r\ntray=yes\r\n");
  EXPECT_EQ(ReadSetting(dir.File("tray"), "other", "tray"), "");
  EXPECT_EQ(ReadSetting(dir.File("tray"), "tray", "other"), "");
}

TEST(IniFileTest, WriteFailuresLeaveTheOldFile) {
  ScratchDir dir;
  // Parent is a regular file: nothing can be created.
  PutFile(dir.File("plain"), "x");
  EXPECT_FALSE(WriteSetting(dir.File("plain") + "/tray", "tray", "tray", "yes"));
  // A directory in place of the file is neither read nor replaced.
  ASSERT_EQ(mkdir(dir.File("dir").c_str(), 0755), 0);
  EXPECT_FALSE(WriteSetting(dir.File("dir"), "tray", "tray", "yes"));
  EXPECT_TRUE(DirectoryExists(dir.File("dir")));
  // Names a profile line cannot hold are refused before the file is touched.
  PutFile(dir.File("tray"), "[tray]\r\ntray=no\r\n");
  EXPECT_FALSE(WriteSetting(dir.File("tray"), "tray", "a=b", "yes"));
  EXPECT_EQ(ReadWholeFile(dir.File("tray")), "[tray]\r\ntray=no\r\n");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"dir", "plain", "tray"}));
}

}  // namespace
}  // namespace lumvex
