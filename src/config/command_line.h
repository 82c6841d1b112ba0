// The program's command line: the data directory and endpoint overrides.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/endpoints.h"
#include "config/option_table.h"
#include "settings/data_dir.h"

namespace lumvex {

struct CommandLineOptions {
  std::optional<std::string> data_dir;  // --data-dir DIR
  Endpoints endpoints = DefaultEndpoints();
  std::optional<double> check_timeout_seconds;   // --check-timeout SECONDS
  std::optional<double> guard_interval_seconds;  // --guard-interval SECONDS
  bool show_help = false;                        // --help / -h
  std::vector<std::string> errors;  // one message per bad argument; empty when all were good
};

// The program-wide flags of the option table (--data-dir DIR, the endpoint overrides,
// --check-timeout SECONDS, --guard-interval SECONDS) and --help. Values may also be given as
// --flag=VALUE; a value starting with "--" is taken for a forgotten one.
// Unknown flags, missing values and bad values become messages in `errors`; parsing goes on.
// Arguments the Qt front end consumes itself (-platform ...) must be removed before the call.
CommandLineOptions ParseCommandLine(int argc, const char* const* argv);

// The help text listing the window's flags from the option table, ending with a line end.
std::string CommandLineHelp(const std::string& program_name);

// The data directory to use: the one given, or run_directory + "/data" when the program may write
// there, else the per-user data directory (see DefaultDataDirectory). The window and each
// subcommand work it out once, where they start, and hand the object on.
DataDir DataDirectoryOf(const CommandLineOptions& options, const std::string& run_directory);

}  // namespace lumvex
