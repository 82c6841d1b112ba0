#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/staged_write.h"
#include "scratch_dir.h"

namespace lumvex {
namespace {

using testing_support::ScratchDir;
using Names = std::vector<std::string>;

void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

// Sets the umask for one test and puts the old one back.
class UmaskScope {
 public:
  explicit UmaskScope(mode_t mask) : old_(umask(mask)) {}
  ~UmaskScope() { umask(old_); }

 private:
  mode_t old_;
};

// Caps the size of files this process may write, as a full disk would, and lifts it again.
class FileSizeCap {
 public:
  explicit FileSizeCap(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);  // make the write fail with EFBIG instead of a signal
    rlimit cap = old_;
    cap.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &cap);
  }
  ~FileSizeCap() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_{};
  sighandler_t old_handler_;
};

TEST(ReadWholeFileTest, ReadsBytesExactlyIncludingZerosAndHighBytes) {
  ScratchDir dir;
  const std::string bytes("a\0b\r\n\xD2\xBB\xFF", 8);
  PutFile(dir.File("f"), bytes);
  EXPECT_EQ(ReadWholeFile(dir.File("f")), bytes);
}

TEST(ReadWholeFileTest, LargeFileComesBackWhole) {
  ScratchDir dir;
  std::string bytes;
  for (int i = 0; i < 300000; ++i) bytes += static_cast<char>(i * 7);
  PutFile(dir.File("big"), bytes);
  EXPECT_EQ(ReadWholeFile(dir.File("big")), bytes);
}

TEST(ReadWholeFileTest, EmptyFileIsEmptyNotMissing) {
  ScratchDir dir;
  PutFile(dir.File("empty"), "");
  EXPECT_EQ(ReadWholeFile(dir.File("empty")), std::string());
}

TEST(ReadWholeFileTest, MissingDirectoryOrFifoGiveNothing) {
  ScratchDir dir;
  EXPECT_EQ(ReadWholeFile(dir.File("absent")), std::nullopt);
  EXPECT_EQ(ReadWholeFile(dir.path()), std::nullopt);
  // A FIFO with no writer would block a plain read forever.
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadWholeFile(dir.File("fifo")), std::nullopt);
}

TEST(FileExistsTest, TellsFilesFromDirectories) {
  ScratchDir dir;
  PutFile(dir.File("f"), "x");
  EXPECT_TRUE(FileExists(dir.File("f")));
  EXPECT_FALSE(FileExists(dir.path()));
  EXPECT_FALSE(FileExists(dir.File("absent")));
  EXPECT_TRUE(DirectoryExists(dir.path()));
  EXPECT_FALSE(DirectoryExists(dir.File("f")));
}

TEST(WriteWholeFileTest, CreatesAndReplacesLeavingNoStagingFiles) {
  ScratchDir dir;
  const std::string path = dir.File("agent number");
  ASSERT_TRUE(WriteWholeFile(path, "a much longer first content"));
  EXPECT_EQ(ReadWholeFile(path), "a much longer first content");
  ASSERT_TRUE(WriteWholeFile(path, "short"));
  EXPECT_EQ(ReadWholeFile(path), "short");  // no tail of the longer old content
  ASSERT_TRUE(WriteWholeFile(path, ""));
  EXPECT_EQ(ReadWholeFile(path), std::string());
  EXPECT_EQ(dir.Entries(), Names{"agent number"});
}

TEST(WriteWholeFileTest, RelativePathWritesIntoCurrentDirectory) {
  ScratchDir dir;
  char old_cwd[4096];
  ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const bool ok = WriteWholeFile("plain", "text");
  ASSERT_EQ(chdir(old_cwd), 0);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ReadWholeFile(dir.File("plain")), "text");
  EXPECT_EQ(dir.Entries(), Names{"plain"});
}

TEST(WriteWholeFileTest, NewFileModeFollowsUmaskAndExistingModeIsKept) {
  ScratchDir dir;
  {
    UmaskScope mask(022);
    ASSERT_TRUE(WriteWholeFile(dir.File("new"), "x"));
  }
  EXPECT_EQ(ModeOf(dir.File("new")), 0644u);
  {
    UmaskScope mask(077);
    ASSERT_TRUE(WriteWholeFile(dir.File("private"), "x"));
  }
  EXPECT_EQ(ModeOf(dir.File("private")), 0600u);

  ASSERT_EQ(chmod(dir.File("new").c_str(), 0640), 0);
  ASSERT_TRUE(WriteWholeFile(dir.File("new"), "y"));
  EXPECT_EQ(ModeOf(dir.File("new")), 0640u);
}

TEST(WriteWholeFileTest, ImpossiblePathsFailWithoutCreatingAnything) {
  ScratchDir dir;
  PutFile(dir.File("regular"), "keep");
  EXPECT_FALSE(WriteWholeFile(dir.File("regular") + "/child", "x"));  // parent is a file
  EXPECT_FALSE(WriteWholeFile(dir.File("no-such-dir") + "/child", "x"));
  EXPECT_FALSE(WriteWholeFile("", "x"));
  EXPECT_FALSE(WriteWholeFile(dir.path() + "/", "x"));
  EXPECT_EQ(dir.Entries(), Names{"regular"});
  EXPECT_EQ(ReadWholeFile(dir.File("regular")), "keep");
}

TEST(WriteWholeFileTest, RenameFailureKeepsTargetAndRemovesStagingFile) {
  ScratchDir dir;
  // A non-empty directory cannot be replaced by a file.
  ASSERT_EQ(mkdir(dir.File("target").c_str(), 0755), 0);
  PutFile(dir.File("target") + "/inside", "old");
  EXPECT_FALSE(WriteWholeFile(dir.File("target"), "new"));
  EXPECT_EQ(dir.Entries(), Names{"target"});
  EXPECT_EQ(ReadWholeFile(dir.File("target") + "/inside"), "old");
}

TEST(WriteWholeFileTest, FullDeviceMidWriteKeepsOldFileWhole) {
  ScratchDir dir;
  const std::string path = dir.File("The agent");
  const std::string old_content = "1.2.3.4\r\n80\r\n";
  PutFile(path, old_content);
  const std::string big(100000, 'z');
  bool ok = true;
  {
    // The first write lands partly, the next one fails: both paths of the write loop run.
    FileSizeCap cap(4096);
    ok = WriteWholeFile(path, big);
  }
  EXPECT_FALSE(ok);
  EXPECT_EQ(ReadWholeFile(path), old_content);
  EXPECT_EQ(dir.Entries(), Names{"The agent"});
  // Once space is back the same write goes through.
  EXPECT_TRUE(WriteWholeFile(path, big));
  EXPECT_EQ(ReadWholeFile(path), big);
}

TEST(StagedWriteTest, InterruptedBeforeCommitLeavesOldFileUntouched) {
  ScratchDir dir;
  const std::string path = dir.File("IE Agent");
  PutFile(path, "old");
  const auto staged = StageWrite(path, "new content");
  ASSERT_TRUE(staged.has_value());
  // What a process killed at this point leaves behind: the old file whole, a complete staging
  // file in the same directory under another name.
  EXPECT_EQ(ReadWholeFile(path), "old");
  EXPECT_EQ(ReadWholeFile(*staged), "new content");
  EXPECT_EQ(staged->rfind('/'), dir.path().size());
  EXPECT_NE(*staged, path);
  EXPECT_EQ(dir.Entries().size(), 2u);
  ASSERT_TRUE(RemoveFile(*staged));
  EXPECT_EQ(dir.Entries(), Names{"IE Agent"});
}

TEST(StagedWriteTest, CommitReplacesAndFailedCommitCleansUp) {
  ScratchDir dir;
  const std::string path = dir.File("tray");
  PutFile(path, "old");
  const auto first = StageWrite(path, "one");
  const auto second = StageWrite(path, "two");
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);  // concurrent writers never share a staging file
  ASSERT_TRUE(CommitStagedWrite(*first, path));
  EXPECT_EQ(ReadWholeFile(path), "one");
  EXPECT_FALSE(CommitStagedWrite(*second, dir.File("gone") + "/tray"));
  EXPECT_EQ(dir.Entries(), Names{"tray"});
  EXPECT_EQ(ReadWholeFile(path), "one");
}

TEST(StagedWriteTest, StaleStagingFilesOfKilledSavesAreRemovedAtTheirAge) {
  ScratchDir dir;
  PutFile(dir.File("The agent"), "list");
  const auto old_staged = StageWrite(dir.File("The agent"), "cut short");
  const auto fresh_staged = StageWrite(dir.File("tray"), "another process saving");
  ASSERT_TRUE(old_staged && fresh_staged);
  PutFile(dir.File(".hidden note"), "not ours");
  const timespec an_hour_ago[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  for (const std::string& path : {*old_staged, dir.File(".hidden note")}) {
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), an_hour_ago, 0), 0);
  }
  EXPECT_EQ(RemoveStaleStagedFiles(dir.path(), std::chrono::minutes(10)), 1);
  EXPECT_FALSE(FileExists(*old_staged));
  EXPECT_TRUE(FileExists(*fresh_staged));
  EXPECT_EQ(dir.Entries().size(), 3u);  // the list, the fresh staging file, the note
  EXPECT_EQ(RemoveStaleStagedFiles(dir.File("missing"), std::chrono::minutes(10)), 0);
}

TEST(WriteWholeFileTest, ConcurrentWritersLeaveOneWholeContent) {
  ScratchDir dir;
  const std::string path = dir.File("thread");
  const std::string a(5000, 'a');
  const std::string b(7000, 'b');
  std::vector<std::thread> writers;
  for (const std::string* content : {&a, &b}) {
    writers.emplace_back([&path, content] {
      for (int i = 0; i < 40; ++i) EXPECT_TRUE(WriteWholeFile(path, *content));
    });
  }
  for (auto& t : writers) t.join();
  const auto result = ReadWholeFile(path);
  ASSERT_TRUE(result.has_value());
  EXPECT_TRUE(*result == a || *result == b);
  EXPECT_EQ(dir.Entries(), Names{"thread"});
}

TEST(WriteWholeFileTest, SymbolicLinksStayLinksAndTheirTargetIsReplaced) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> links;  // name, text; "@" = the scratch dir
    std::string target;  // the file that receives the write of "a/f"; "" = the write fails
    bool target_exists = true;
  };
  const Case cases[] = {
      {{{"a/f", "real"}}, "a/real"},                            // relative, same directory
      {{{"a/f", "../dot/f"}}, "dot/f"},                         // relative, another directory
      {{{"a/f", "@/dot/f"}}, "dot/f"},                          // absolute
      {{{"dot/hop", "../b/f"}, {"a/f", "../dot/hop"}}, "b/f"},  // a chain
      {{{"a/f", "../b/new"}}, "b/new", false},                  // dangling: created
      {{{"a/f", "g"}, {"a/g", "f"}}, ""},                       // a loop
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    SCOPED_TRACE(c.links.back().second + " -> " + c.target);
    for (const char* sub : {"a", "b", "dot"}) ASSERT_EQ(mkdir(dir.File(sub).c_str(), 0755), 0);
    for (const auto& [name, text] : c.links) {
      const std::string to = text[0] == '@' ? dir.path() + text.substr(1) : text;
      ASSERT_EQ(symlink(to.c_str(), dir.File(name).c_str()), 0);
    }
    if (c.target_exists && !c.target.empty()) PutFile(dir.File(c.target), "old");
    EXPECT_EQ(WriteWholeFile(dir.File("a/f"), "new"), !c.target.empty());
    std::size_t files = 0;  // links and the target only: no staging file left anywhere
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
      if (!entry.is_symlink()) files += !std::filesystem::is_directory(entry.symlink_status());
    }
    EXPECT_EQ(files, c.target.empty() ? 0u : 1u);
    for (const auto& link : c.links) EXPECT_TRUE(std::filesystem::is_symlink(dir.File(link.first)));
    if (c.target.empty()) continue;
    EXPECT_EQ(ReadWholeFile(dir.File(c.target)), "new");
  }
}

TEST(EnsureDirectoryTest, CreatesOneLevelOnly) {
  ScratchDir dir;
  EXPECT_TRUE(EnsureDirectory(dir.File("data")));
  EXPECT_TRUE(DirectoryExists(dir.File("data")));
  EXPECT_TRUE(EnsureDirectory(dir.File("data")));  // already there
  EXPECT_FALSE(EnsureDirectory(dir.File("a") + "/b"));
  EXPECT_FALSE(DirectoryExists(dir.File("a")));
  PutFile(dir.File("file"), "x");
  EXPECT_FALSE(EnsureDirectory(dir.File("file")));
}

TEST(RemoveFileTest, RemovesOnceThenReportsAbsence) {
  ScratchDir dir;
  PutFile(dir.File("f"), "x");
  EXPECT_TRUE(RemoveFile(dir.File("f")));
  EXPECT_FALSE(FileExists(dir.File("f")));
  EXPECT_FALSE(RemoveFile(dir.File("f")));
}

}  // namespace
}  // namespace lumvex
