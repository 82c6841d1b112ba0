// The program's command line: the data directory and endpoint overrides.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/endpoints.h"

namespace lumvex {

struct CommandLineOptions {
  std::optional<std::string> data_dir;  // --data-dir DIR
  Endpoints endpoints = DefaultEndpoints();
  std::optional<int> check_timeout_seconds;  // --check-timeout SECONDS
  std::optional<int> guard_interval_seconds;  // --guard-interval SECONDS
  bool show_help = false;           // --help / -h
  std::vector<std::string> errors;  // one message per bad argument; empty when all were good
};

// Flags: --data-dir DIR, --source-a URL, --source-b URL, --source-c URL, --validation-host URL,
// --connectivity-host URL, --manifest-url URL, --check-timeout SECONDS, --guard-interval SECONDS,
// --help. Values may also be
// given as --flag=VALUE.
// Unknown flags, missing values and bad addresses become messages in `errors`; parsing goes on.
// Arguments the Qt front end consumes itself (-platform ...) must be removed before the call.
CommandLineOptions ParseCommandLine(int argc, const char* const* argv);

// The help text listing the flags, ending with a line end.
std::string CommandLineHelp(const std::string& program_name);

// The data directory to use: the one given, or run_directory + "/data" when the program may write
// there, else the per-user data directory (see DefaultDataDirectory).
std::string DataDirectoryOf(const CommandLineOptions& options, const std::string& run_directory);

}  // namespace lumvex
