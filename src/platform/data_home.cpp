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

// Programs installed by a package or `cmake --install` live here; root may write there, but a
// data directory beside them would outlive the package's removal and be shared by every user.
bool IsSystemDirectory(const std::string& directory) {
  for (const char* prefix : {"/usr", "/bin", "/sbin", "/lib", "/lib64", "/etc"}) {
    const std::string p = prefix;
    if (directory == p || directory.starts_with(p + "/")) return true;
  }
  return false;
}

}  // namespace

std::string ChooseDataDirectory(const std::string& run_directory,
                                const std::function<const char*(const char*)>& getenv,
                                const std::function<bool(const std::string&)>& writable) {
  const auto Writable = [&writable](const std::string& directory) {
    return writable ? writable(directory) : access(directory.c_str(), W_OK | X_OK) == 0;
  };
  const std::string beside = Beside(run_directory);
  const std::string run = run_directory.empty() ? "." : run_directory;
  if (!IsSystemDirectory(run_directory)) {
    if (DirectoryExists(beside)) {
      if (Writable(beside)) return beside;
    } else if (!DirectoryExists(run) || Writable(run)) {
      return beside;
    }
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
