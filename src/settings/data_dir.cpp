#include "settings/data_dir.h"

#include <utility>

#include "platform/file_io.h"

namespace lumvex {

DataDir::DataDir(std::string directory) : directory_(NormalisedDirectory(std::move(directory))) {}

DataDir DataDir::BesideRunDirectory(const std::string& run_directory) {
  if (run_directory.empty()) return DataDir("data");
  if (!run_directory.empty() && run_directory.back() == '/') return DataDir(run_directory + "data");
  return DataDir(run_directory + "/data");
}

bool DataDir::EnsureDataDir() const {
  return DirectoryExists(directory_) || EnsureDirectory(directory_);
}

std::string DataDir::FilePath(const std::string& name) const {
  return PathInDirectory(directory_, name);
}

std::string DataDir::PathOf(DataFile file) const { return FilePath(std::string(FileNameOf(file))); }

}  // namespace lumvex
