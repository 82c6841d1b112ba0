// The directory that holds the program's settings files and its proxy list. It is worked out
// once where the program starts (the window or a subcommand) and handed on as this object, so no
// consumer joins paths or names files of its own.
#pragma once

#include <string>

#include "settings/stored_files.h"

namespace lumvex {

class DataDir {
 public:
  // `directory` is used as given: "data" inside the run directory by default (see
  // BesideRunDirectory), or the directory named on the command line.
  explicit DataDir(std::string directory);

  // The default place: the "data" directory inside `run_directory`.
  static DataDir BesideRunDirectory(const std::string& run_directory);

  const std::string& Path() const { return directory_; }

  // Creates the directory when it is missing (its parent must exist). True when it exists
  // afterwards; callers may ignore a failure, as the writes that follow simply fail.
  bool EnsureDataDir() const;

  // A file inside the directory.
  std::string FilePath(const std::string& name) const;

  // The path of one of the program's files (named in kStoredFiles).
  std::string PathOf(DataFile file) const;

  bool operator==(const DataDir&) const = default;

 private:
  std::string directory_;
};

}  // namespace lumvex
