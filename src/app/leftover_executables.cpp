#include "app/leftover_executables.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace lumvex {
namespace {

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

// True when both paths name the same file. Compares device and inode first (hard links, a
// renamed running file), then the resolved paths.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  const std::string ra = RealPath(a);
  return !ra.empty() && ra == RealPath(b);
}

}  // namespace

std::vector<std::string> LeftoverExecutableNames() {
  return {"LumvexIP代理验证" + std::string(kExecutableSuffix),
          "LumvexIP代理验证 V1.2" + std::string(kExecutableSuffix)};
}

int RemoveLeftoverExecutables(const std::string& run_directory,
                              const std::string& running_executable) {
  int removed = 0;
  for (const std::string& name : LeftoverExecutableNames()) {
    const std::string path =
        (run_directory.empty() || run_directory.back() == '/' ? run_directory
                                                              : run_directory + "/") +
        name;
    struct stat st {};
    // Only plain files: a directory of that name is not an old executable.
    if (lstat(path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) continue;
    if (SameFile(path, running_executable)) continue;
    if (unlink(path.c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace lumvex
