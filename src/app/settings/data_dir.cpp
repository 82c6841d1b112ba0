#include "app/settings/data_dir.h"

#include <utility>

#include "platform/file_io.h"

namespace lumvex {

DataDir::DataDir(std::string directory) : directory_(NormalisedDirectory(std::move(directory))) {}

DataDir DataDir::BesideRunDirectory(const std::string& run_directory) {
  if (run_directory.empty()) return DataDir("data");
  if (!run_directory.empty() && run_directory.back() == '/') return DataDir(run_directory + "data");
  return DataDir(run_directory + "/data");
}

void DataDir::EnsureDataDir() const {
  if (!DirectoryExists(directory_)) EnsureDirectory(directory_);
}

std::string DataDir::FilePath(const std::string& name) const {
  return PathInDirectory(directory_, name);
}

}  // namespace lumvex
