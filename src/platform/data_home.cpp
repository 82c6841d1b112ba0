#include "platform/data_home.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_io.h"

namespace lumvex {
namespace {

std::string Beside(const std::string& run_directory) {
  if (run_directory.empty() || run_directory.back() == '/') return run_directory + "data";
  return run_directory + "/data";
}

}  // namespace

std::string ChooseDataDirectory(const std::string& run_directory,
                                const std::function<const char*(const char*)>& getenv,
                                const std::function<bool(const std::string&)>& writable) {
  const auto Writable = [&writable](const std::string& directory) {
    return writable ? writable(directory) : access(directory.c_str(), W_OK | X_OK) == 0;
  };
  const std::string beside = Beside(run_directory);
  if (DirectoryExists(beside)) {
    if (Writable(beside)) return beside;
  } else if (!DirectoryExists(run_directory.empty() ? "." : run_directory) ||
             Writable(run_directory.empty() ? "." : run_directory)) {
    return beside;
  }
  std::string base;
  const char* data_home = getenv("XDG_DATA_HOME");
  const char* home = getenv("HOME");
  if (data_home != nullptr && data_home[0] == '/') {
    base = data_home;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    return beside;
  }
  // The data directory itself is made by its first write; its parents must exist for that.
  std::error_code error;
  std::filesystem::create_directories(base, error);
  return base + "/lumvexip";
}

std::string DefaultDataDirectory(const std::string& run_directory) {
  return ChooseDataDirectory(
      run_directory, [](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}

}  // namespace lumvex
