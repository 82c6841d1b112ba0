// A program killed with SIGKILL in the middle of saving leaves every file it was saving as it was
// before that save or as that save meant it to be, whole: never empty, cut short or mixed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/headless_ui_thread.h"
#include "proxylist/agent_file.h"
#include "proxylist/proxy_list.h"
#include "save_versions.h"
#include "settings/data_dir.h"
#include "settings/settings.h"

extern char** environ;

namespace lumvex::crashsave {
namespace {

// Enough list saves to hit every phase of a save many times; the time bound only keeps a slow
// machine from running long (the test then checks fewer kills).
constexpr int kListSaves = 1000;
constexpr auto kTimeBound = std::chrono::seconds(30);

// The writer program, its report lines read from a pipe.
class Writer {
 public:
  Writer(const std::string& dir, int first, int count) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string first_text = std::to_string(first);
    std::string count_text = std::to_string(count);
    std::vector<char*> argv = {const_cast<char*>(SAVE_CRASH_WRITER), const_cast<char*>(dir.c_str()),
                               first_text.data(), count_text.data(), nullptr};
    if (posix_spawn(&pid_, SAVE_CRASH_WRITER, &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    read_fd_ = fds[0];
    last_done_ = first;
  }
  ~Writer() {
    Kill();
    if (read_fd_ >= 0) close(read_fd_);
  }

  // Reads reports until the writer announces the save of `version`; false when it ends first.
  bool WaitForStart(int version) {
    const std::string wanted = "S " + std::to_string(version);
    std::string line;
    while (ReadLine(&line)) {
      if (line == wanted) return true;
    }
    return false;
  }

  // Kills the writer, then takes the reports it wrote before it died.
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    std::string line;
    while (ReadLine(&line)) {
    }
  }

  // The last version whose saves were all reported done.
  int last_done() const { return last_done_; }

 private:
  // One report line; false at the end of the pipe (or when nothing comes for a minute, which
  // only a broken writer causes).
  bool ReadLine(std::string* line) {
    for (;;) {
      std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        *line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (line->starts_with("D ")) last_done_ = std::atoi(line->c_str() + 2);
        return true;
      }
      pollfd p{read_fd_, POLLIN, 0};
      if (read_fd_ < 0 || poll(&p, 1, 60000) <= 0) return false;
      char buffer[256];
      ssize_t got = read(read_fd_, buffer, sizeof buffer);
      if (got <= 0) return false;
      pending_.append(buffer, static_cast<std::size_t>(got));
    }
  }

  pid_t pid_ = -1;
  int read_fd_ = -1;
  int last_done_ = 0;
  std::string pending_;
};

class CrashSafeSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumvex-crash-save-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    dir_ = root_ + "/data";
    reference_dir_ = root_ + "/reference";
    ASSERT_TRUE(EnsureDirectory(dir_));
    ASSERT_TRUE(EnsureDirectory(reference_dir_));
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::string ListBytes(int version) const { return FormatAgentText(ListVersion(version)); }

  // What the settings file holds after a save of `version`, as a save into a fresh directory
  // leaves it.
  std::string SettingsBytes(int version) {
    auto known = settings_bytes_.find(version);
    if (known != settings_bytes_.end()) return known->second;
    Settings reference{DataDir(reference_dir_)};
    RemoveFile(reference.data_dir().PathOf(DataFile::kIeAgent));
    reference.WriteSavedProxy(SavedProxyVersion(version));
    std::string bytes = ReadWholeFile(reference.data_dir().PathOf(DataFile::kIeAgent)).value_or("");
    settings_bytes_.emplace(version, bytes);
    return bytes;
  }

  // Which of the two versions `path` holds, whole; nullopt for anything else.
  static std::optional<int> WhichVersion(const std::string& path, int old_version,
                                         const std::string& old_bytes, int new_version,
                                         const std::string& new_bytes) {
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (bytes == old_bytes) return old_version;
    if (bytes == new_bytes) return new_version;
    return std::nullopt;
  }

  std::string root_;
  std::string dir_;
  std::string reference_dir_;
  std::map<int, std::string> settings_bytes_;
};

TEST_F(CrashSafeSaveTest, KilledSavesLeaveTheOldOrTheNewFileWhole) {
  Settings settings{DataDir(dir_)};
  {
    HeadlessUiThread ui;
    ProxyList list(ui);
    list.ReplaceAll(ListVersion(0));
    ASSERT_TRUE(SaveAgentFile(list, lumvex::DataDir(dir_)));
    ASSERT_TRUE(settings.WriteSavedProxy(SavedProxyVersion(0)));
  }
  const std::string list_path = AgentFilePath(lumvex::DataDir(dir_));
  const std::string settings_path = settings.data_dir().PathOf(DataFile::kIeAgent);
  // A fixed seed: the same kill points are aimed at on every run.
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> steps_before_kill(1, 8);
  std::uniform_int_distribution<int> kill_delay_us(0, 8000);
  int list_version = 0;
  int settings_version = 0;
  int list_saves = 0;
  int kills = 0;
  const auto give_up = std::chrono::steady_clock::now() + kTimeBound;
  while (list_saves < kListSaves && std::chrono::steady_clock::now() < give_up) {
    const int first = list_version;
    const int target = first + steps_before_kill(random);
    Writer writer(dir_, first, target - first + 20);
    ASSERT_TRUE(writer.WaitForStart(target)) << "the writer ended before save " << target;
    // Where inside the save the kill lands: anywhere from formatting to the rename.
    usleep(static_cast<useconds_t>(kill_delay_us(random)));
    writer.Kill();
    ++kills;
    const int done = writer.last_done();
    list_saves += done - first + 1;

    // A file holds the last version reported done (or, when none was, what it held before the
    // writer started) or the version the writer was saving when it died.
    std::optional<int> list_now =
        WhichVersion(list_path, done > first ? done : list_version,
                     ListBytes(done > first ? done : list_version), done + 1, ListBytes(done + 1));
    ASSERT_TRUE(list_now.has_value())
        << "list file after kill " << kills << " in save " << done + 1;
    int settings_old = done > first ? done : settings_version;
    std::optional<int> settings_now =
        WhichVersion(settings_path, settings_old, SettingsBytes(settings_old), done + 1,
                     SettingsBytes(done + 1));
    ASSERT_TRUE(settings_now.has_value())
        << "settings file after kill " << kills << " in save " << done + 1;
    list_version = *list_now;
    settings_version = *settings_now;
  }
  // Saves cut short leave their staged files behind; they never count as the list or settings.
  int staged_left = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    if (entry.path().filename().string().starts_with(".")) ++staged_left;
  }
  std::cout << "kills " << kills << ", list saves " << list_saves << ", staged files left "
            << staged_left << "\n";
}

}  // namespace
}  // namespace lumvex::crashsave
