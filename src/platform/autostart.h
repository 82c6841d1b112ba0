// Starting the program with the desktop session: an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/lumvexip.desktop, ~/.config when the variable is unset) that runs
// this executable. The name is fixed, so writing it again replaces it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumvex {

inline constexpr const char* kAutostartEntryName = "lumvexip.desktop";

class Autostart {
 public:
  // `autostart_dir` is the directory of autostart entries; `executable` the absolute path of the
  // program to start, `arguments` what it gets after it (the running program's --data-dir, so the
  // session start opens the same data directory).
  Autostart(std::string autostart_dir, std::string executable,
            std::vector<std::string> arguments = {});

  // The autostart directory of the environment: $XDG_CONFIG_HOME/autostart when that is an
  // absolute path, else $HOME/.config/autostart; empty when neither is known.
  static std::string DirectoryFromEnvironment(
      const std::function<const char*(const char*)>& getenv);

  // The entry's text for `executable` and its arguments, each quoted as desktop entries require.
  static std::string EntryText(const std::string& executable,
                               const std::vector<std::string>& arguments = {});

  std::string EntryPath() const;
  // Writes (or replaces) the entry, creating the directory; false on failure.
  bool Enable() const;
  // Removes the entry; true when none is left.
  bool Disable() const;
  bool IsEnabled() const;

 private:
  std::string dir_;
  std::string executable_;
  std::vector<std::string> arguments_;
};

// The absolute path of the running executable; `run_directory` + "/lumvexip" when the system
// does not tell.
std::string CurrentExecutablePath(const std::string& run_directory);

// The arguments the autostart entry repeats: "--data-dir" and the directory made absolute (the
// session starts programs from the home directory) when one was given, else none.
std::vector<std::string> AutostartArguments(const std::optional<std::string>& data_dir_given);

}  // namespace lumvex
