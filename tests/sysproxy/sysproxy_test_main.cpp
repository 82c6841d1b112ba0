// The tests' own GSettings store: whatever a test does, nothing reaches the desktop's settings.
// GIO reads these variables once, so they are set before any test runs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  std::string dir = (std::filesystem::temp_directory_path() / "lumvex-sysproxy-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 1;
  setenv("GSETTINGS_BACKEND", "keyfile", 1);
  setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  setenv("HOME", dir.c_str(), 1);
  unsetenv("XDG_CURRENT_DESKTOP");
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return status;
}
