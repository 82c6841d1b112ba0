#include "app/settings/data_dir.h"

#include <utility>

#include "platform/file_io.h"

namespace lumvex {

DataDir::DataDir(std::string directory) : directory_(std::move(directory)) {
  // Keep "/" itself; drop any other trailing slash so file names join with exactly one.
  while (directory_.size() > 1 && directory_.back() == '/') directory_.pop_back();
  if (directory_.empty()) directory_ = ".";
}

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
