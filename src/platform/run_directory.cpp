#include "platform/run_directory.h"

#include <unistd.h>

namespace lumvex {
namespace {

// The kernel's link target of /proc/self/exe, grown until it fits.
std::string ReadExeLink() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      return buffer;
    }
    if (buffer.size() >= (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string ExecutableDirectoryOf(const std::string& executable_path) {
  // A replaced executable shows as "<path> (deleted)"; the mark sits in the last component and
  // so never changes the directory.
  const std::string& path = executable_path;
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string RunDirectory() {
  const std::string exe = ReadExeLink();
  if (exe.empty() || exe.front() != '/') return ".";
  return ExecutableDirectoryOf(exe);
}

}  // namespace lumvex
