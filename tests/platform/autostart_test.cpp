// The autostart entry read back by GLib's own desktop-entry launcher, as the session starts it:
// the program must get exactly the --data-dir it was given, whatever characters the directory
// name holds.
#include "platform/autostart.h"

#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "scratch_dir.h"
#include "support/wait_until.h"

namespace lumvex {
namespace {

using testing_support::ScratchDir;

// A stand-in for the program that records the arguments it was started with, NUL-separated,
// in the file "argv" beside itself (written under another name first, so a reader never sees
// half of it).
std::string WriteRecordingProgram(const ScratchDir& dir) {
  const std::string path = dir.File("lumvexip");
  WriteWholeFile(path,
                 "#!/bin/sh\n"
                 "out=\"$(dirname \"$0\")/argv\"\n"
                 "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$out.part\"\n"
                 "mv \"$out.part\" \"$out\"\n");
  chmod(path.c_str(), 0755);
  return path;
}

// Launches the entry through GDesktopAppInfo; the arguments the program got, or nullopt when
// GLib refused the entry or the program never ran.
std::optional<std::vector<std::string>> LaunchEntry(const std::string& entry,
                                                    const ScratchDir& dir) {
  GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry.c_str());
  if (info == nullptr) return std::nullopt;
  GError* error = nullptr;
  const bool launched = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error);
  if (error != nullptr) {
    ADD_FAILURE() << error->message;
    g_error_free(error);
  }
  g_object_unref(info);
  const std::string out = dir.File("argv");
  if (!launched || !testing::WaitUntil([&] { return FileExists(out); })) return std::nullopt;
  std::vector<std::string> args;
  const std::string text = ReadWholeFile(out).value_or("");
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\0', start);
    args.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

TEST(AutostartTest, SessionStartGetsTheDataDirectoryTheProgramWasGiven) {
  const std::string cwd = std::filesystem::current_path().string();
  struct Case {
    const char* name;
    std::optional<std::string> given;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"default directory", std::nullopt, {}},
      {"plain", "/srv/lumvex", {"--data-dir", "/srv/lumvex"}},
      {"spaces and Chinese", "/home/u/代理 数据", {"--data-dir", "/home/u/代理 数据"}},
      {"shell characters", "/d/$HOME `id` \"q\" \\b", {"--data-dir", "/d/$HOME `id` \"q\" \\b"}},
      {"field codes", "/d/%u %f 100%", {"--data-dir", "/d/%u %f 100%"}},
      {"line break and tab",
       "/d/a\nExec=/bin/false\tb",
       {"--data-dir", "/d/a\nExec=/bin/false\tb"}},
      {"relative", "rel/data", {"--data-dir", cwd + "/rel/data"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string program = WriteRecordingProgram(dir);
    Autostart autostart(dir.File("autostart"), program, AutostartArguments(c.given));
    ASSERT_TRUE(autostart.Enable());
    const std::optional<std::vector<std::string>> args = LaunchEntry(autostart.EntryPath(), dir);
    ASSERT_TRUE(args.has_value());
    EXPECT_EQ(*args, c.expected);
  }
}

}  // namespace
}  // namespace lumvex
