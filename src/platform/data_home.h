// Where the data directory goes when none is named on the command line: "data" beside the
// executable when the program may write there (a copy unpacked in the user's own directory), or
// $XDG_DATA_HOME/lumvexip (~/.local/share/lumvexip) for a copy installed under /usr.
#pragma once

#include <functional>
#include <string>

namespace lumvex {

// `run_directory` + "/data" when the run directory is not a system directory (/usr, /bin, /sbin,
// /lib, /etc and below, where root could write but packages install) and that directory is writable, or does not exist and the run
// directory is writable, or the run directory does not exist at all; otherwise the per-user data
// directory of `getenv` ($XDG_DATA_HOME when absolute, else $HOME/.local/share) + "/lumvexip",
// whose parents are created. Falls back to the directory beside the executable when no home is
// known. `writable` tells whether the program may create files in a directory (default: access
// with W_OK).
std::string ChooseDataDirectory(const std::string& run_directory,
                                const std::function<const char*(const char*)>& getenv,
                                const std::function<bool(const std::string&)>& writable = {});

// ChooseDataDirectory with the process environment.
std::string DefaultDataDirectory(const std::string& run_directory);

}  // namespace lumvex
