#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <ctime>
#include <random>

#include "platform/staged_write.h"

namespace lumvex {
namespace {

// Creation mode of new files; the process umask still applies.
constexpr mode_t kNewFileMode = 0644;
constexpr int kStageAttempts = 64;
// As many links as the kernel follows in one path before it gives up with ELOOP.
constexpr int kMaxLinkHops = 40;

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name suffix that differs between processes, threads and calls, so that concurrent writers of
// the same file never share a staging file.
std::string UniqueSuffix() {
  static std::atomic<std::uint64_t> counter{0};
  thread_local std::mt19937_64 engine{std::random_device{}()};
  const std::uint64_t mixed = engine() ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL) ^
                              static_cast<std::uint64_t>(getpid());
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  std::uint64_t rest = mixed;
  for (int i = 0; i < 10; ++i) {
    suffix += kAlphabet[rest % 36];
    rest /= 36;
  }
  return suffix;
}

// The link's text, or nullopt when `path` is not a symbolic link (or cannot be read as one).
std::optional<std::string> LinkText(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::nullopt;
  std::string text(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : PATH_MAX, '\0');
  const ssize_t n = readlink(path.c_str(), text.data(), text.size());
  // A link that changed length between lstat and readlink is read again by the caller's next hop.
  if (n <= 0 || static_cast<std::size_t>(n) >= text.size()) return std::nullopt;
  text.resize(static_cast<std::size_t>(n));
  return text;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;  // no progress; treat as a full device rather than spin
    done += static_cast<std::size_t>(n);
  }
  return true;
}

int OpenNoInterrupt(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool SyncNoInterrupt(int fd) {
  int rc;
  do {
    rc = fsync(fd);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

void SyncDirectory(const std::string& dir) {
  const int fd = OpenNoInterrupt(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // Some file systems refuse fsync on directories; the rename itself has happened either way.
  SyncNoInterrupt(fd);
  close(fd);
}

// The file a write of `path` replaces: `path` itself, or the last name the chain of symbolic links
// starting there leads to. nullopt for a loop of links or a link that cannot be read.
std::optional<std::string> WriteTarget(const std::string& path) {
  std::string target = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat st;
    if (lstat(target.c_str(), &st) != 0) {
      // Nothing there yet (also the end of a dangling link): the file is created under this name.
      return errno == ENOENT ? std::optional<std::string>(target) : std::nullopt;
    }
    if (!S_ISLNK(st.st_mode)) return target;
    const std::optional<std::string> text = LinkText(target);
    if (!text) return std::nullopt;
    // A relative link names its target from the directory that holds the link.
    target = text->front() == '/' ? *text : DirectoryOf(target) + "/" + *text;
  }
  return std::nullopt;  // a loop of links
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const int fd = OpenNoInterrupt(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st;
  // Only regular files: a FIFO or device in place of a data file must not block or stream forever.
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  std::string bytes;
  if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return bytes;
}

std::optional<std::string> StageWrite(const std::string& path, const std::string& bytes) {
  if (path.empty() || path.back() == '/') return std::nullopt;
  const std::string dir = DirectoryOf(path);
  const std::string prefix = dir + "/." + NameOf(path) + ".tmp-";
  std::string staged;
  int fd = -1;
  for (int attempt = 0; attempt < kStageAttempts && fd < 0; ++attempt) {
    staged = prefix + UniqueSuffix();
    fd = OpenNoInterrupt(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (fd < 0 && errno != EEXIST) return std::nullopt;
  }
  if (fd < 0) return std::nullopt;

  bool ok = true;
  struct stat old_st;
  if (stat(path.c_str(), &old_st) == 0 && S_ISREG(old_st.st_mode)) {
    ok = fchmod(fd, old_st.st_mode & 07777) == 0;
  }
  ok = ok && WriteAll(fd, bytes) && SyncNoInterrupt(fd);
  if (close(fd) != 0) ok = false;
  if (!ok) {
    unlink(staged.c_str());
    return std::nullopt;
  }
  return staged;
}

bool CommitStagedWrite(const std::string& staged_path, const std::string& path) {
  if (rename(staged_path.c_str(), path.c_str()) != 0) {
    unlink(staged_path.c_str());
    return false;
  }
  SyncDirectory(DirectoryOf(path));
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  if (path.empty() || path.back() == '/') return false;
  // Replacing the link itself would turn a link kept by a dotfile manager into a plain file.
  const std::optional<std::string> target = WriteTarget(path);
  if (!target) return false;
  const auto staged = StageWrite(*target, bytes);
  return staged && CommitStagedWrite(*staged, *target);
}

int RemoveStaleStagedFiles(const std::string& directory, std::chrono::seconds min_age) {
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return 0;
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    // The names StageWrite gives: "." + the file's name + ".tmp-" + a unique suffix.
    if (name.size() < 2 || name[0] != '.' || name.find(".tmp-", 1) == std::string::npos) continue;
    const std::string path = directory + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - st.st_mtime < min_age.count()) continue;
    if (unlink(path.c_str()) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

bool EnsureDirectory(const std::string& path) {
  if (path.empty()) return false;
  if (mkdir(path.c_str(), 0777) == 0) return true;
  return DirectoryExists(path);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

std::string NormalisedDirectory(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  if (directory.empty()) directory.push_back('.');
  return directory;
}

std::string PathInDirectory(const std::string& directory, const std::string& name) {
  const std::string normalised = NormalisedDirectory(directory);
  if (normalised == "/") return "/" + name;
  return normalised + "/" + name;
}

}  // namespace lumvex
