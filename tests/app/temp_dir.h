// A fresh directory under the system's temporary directory, removed with everything in it.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace lumvex::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto candidate = std::filesystem::temp_directory_path() /
                             ("lumvex-app-" + std::to_string(seed()) + std::to_string(attempt));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) {
        path_ = candidate.string();
        return;
      }
    }
  }
  ~TempDir() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace lumvex::testing
