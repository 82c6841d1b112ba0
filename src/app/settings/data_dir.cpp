#include "app/settings/data_dir.h"

#include <utility>

#include "platform/file_io.h"

namespace lumvex {

namespace {

// Keeps "/" itself and drops any other trailing slash so file names join with exactly one; an
// empty directory means the current one.
std::string Normalised(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  if (directory.empty()) directory.push_back('.');
  return directory;
}

}  // namespace

DataDir::DataDir(std::string directory) : directory_(Normalised(std::move(directory))) {}

DataDir DataDir::BesideRunDirectory(const std::string& run_directory) {
  if (run_directory.empty()) return DataDir("data");
  if (!run_directory.empty() && run_directory.back() == '/') return DataDir(run_directory + "data");
  return DataDir(run_directory + "/data");
}

void DataDir::EnsureDataDir() const {
  if (!DirectoryExists(directory_)) EnsureDirectory(directory_);
}

std::string DataDir::FilePath(const std::string& name) const {
  if (directory_ == "/") return "/" + name;
  return directory_ + "/" + name;
}

}  // namespace lumvex
