#include "platform/open_file_limit.h"

#include <dirent.h>
#include <sys/resource.h>

#include <cerrno>

namespace lumvex {

std::size_t RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    // An unlimited hard limit is refused above the kernel's nr_open: ask for a large value.
    raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return static_cast<std::size_t>(limit.rlim_cur);
}

std::size_t OpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  return static_cast<std::size_t>(limit.rlim_cur);
}

std::size_t OpenDescriptorCount() {
  DIR* dir = ::opendir("/proc/self/fd");
  // Not even the directory could be opened for want of a descriptor: every one is in use.
  if (dir == nullptr) return errno == EMFILE ? OpenFileLimit() : 0;
  std::size_t count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  // The directory's own descriptor was counted too.
  return count > 0 ? count - 1 : 0;
}

std::size_t DescriptorRoom(std::size_t each, std::size_t reserve) {
  const std::size_t limit = OpenFileLimit();
  const std::size_t used = OpenDescriptorCount() + reserve;
  if (limit <= used || each == 0) return 0;
  return (limit - used) / each;
}

}  // namespace lumvex
