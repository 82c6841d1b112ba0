#include "platform/data_home.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "temp_dir.h"

namespace lumvex {
namespace {

struct FakeEnvironment {
  std::map<std::string, std::string> values;
  std::function<const char*(const char*)> Getter() {
    return [this](const char* name) -> const char* {
      auto it = values.find(name);
      return it == values.end() ? nullptr : it->second.c_str();
    };
  }
};

TEST(DataHomeTest, BesideTheExecutableWhenWritable) {
  testing::TempDir dir;
  FakeEnvironment env;
  env.values["XDG_DATA_HOME"] = dir.File("share");
  EXPECT_EQ(ChooseDataDirectory(dir.path(), env.Getter()), dir.File("data"));
  std::filesystem::create_directory(dir.File("data"));
  EXPECT_EQ(ChooseDataDirectory(dir.path(), env.Getter()), dir.File("data"));
}

TEST(DataHomeTest, PerUserDirectoryWhenTheRunDirectoryIsReadOnly) {
  testing::TempDir dir;
  const std::string bin = dir.File("bin");
  std::filesystem::create_directory(bin);
  const auto read_only = [](const std::string&) { return false; };
  FakeEnvironment env;
  env.values["XDG_DATA_HOME"] = dir.File("share");
  env.values["HOME"] = dir.File("home");
  EXPECT_EQ(ChooseDataDirectory(bin, env.Getter(), read_only), dir.File("share") + "/lumvexip");
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("share")));
  // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
  env.values["XDG_DATA_HOME"] = "relative/share";
  EXPECT_EQ(ChooseDataDirectory(bin, env.Getter(), read_only),
            dir.File("home") + "/.local/share/lumvexip");
  // An existing read-only data directory beside the executable is not used either.
  std::filesystem::create_directory(bin + "/data");
  EXPECT_EQ(ChooseDataDirectory(bin, env.Getter(), read_only),
            dir.File("home") + "/.local/share/lumvexip");
  // Without any home the old place is kept.
  EXPECT_EQ(ChooseDataDirectory(bin, FakeEnvironment{}.Getter(), read_only), bin + "/data");
}

TEST(DataHomeTest, InstalledInASystemDirectoryUsesTheDataHomeEvenForRoot) {
  FakeEnvironment env;
  testing::TempDir dir;
  env.values["XDG_DATA_HOME"] = dir.File("share");
  const auto writable = [](const std::string&) { return true; };
  for (const char* run : {"/usr/bin", "/usr/local/bin", "/bin", "/usr/lib/lumvexip"}) {
    EXPECT_EQ(ChooseDataDirectory(run, env.Getter(), writable), dir.File("share") + "/lumvexip")
        << run;
  }
  // A copy unpacked elsewhere, even under a similar name, keeps its data beside it.
  EXPECT_EQ(ChooseDataDirectory(dir.File("usrx"), env.Getter(), writable),
            dir.File("usrx") + "/data");
}

}  // namespace
}  // namespace lumvex
