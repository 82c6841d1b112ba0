#include "update/detached_process.h"

#include <spawn.h>
#include <sys/types.h>

#include <fstream>
#include <iterator>

extern char** environ;

namespace lumvex::update {

bool StartDetached(const std::string& path, const std::vector<std::string>& arguments) {
  std::vector<std::string> all;
  all.push_back(path);
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return false;
  // A session of its own: ending this program (or its terminal) leaves the new one running.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  const int result = posix_spawn(&pid, path.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  return result == 0;
}

std::vector<std::string> OwnArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    arguments.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

}  // namespace lumvex::update
