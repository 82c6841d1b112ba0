// The directory that holds the program's settings files and its proxy list.
#pragma once

#include <string>

namespace lumvex {

class DataDir {
 public:
  // `directory` is used as given: "data" inside the run directory by default (see
  // BesideRunDirectory), or the directory named on the command line.
  explicit DataDir(std::string directory);

  // The default place: the "data" directory inside `run_directory`.
  static DataDir BesideRunDirectory(const std::string& run_directory);

  const std::string& Path() const { return directory_; }

  // Creates the directory when it is missing (its parent must exist). Failure is silent: the
  // writes that follow simply fail.
  void EnsureDataDir() const;

  // A file inside the directory.
  std::string FilePath(const std::string& name) const;

  // The files the program keeps there.
  std::string AgentListFile() const { return FilePath("The agent"); }
  std::string AgentNumberFile() const { return FilePath("agent number"); }
  std::string ThreadFile() const { return FilePath("thread"); }
  std::string TrayFile() const { return FilePath("tray"); }
  std::string PoweredUpFile() const { return FilePath("Powered up"); }
  std::string IeAgentFile() const { return FilePath("IE Agent"); }

 private:
  std::string directory_;
};

}  // namespace lumvex
