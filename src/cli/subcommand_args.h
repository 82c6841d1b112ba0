// Argument parsing shared by the subcommands: their own flags, positional arguments, and the
// program-wide flags (--data-dir, the endpoint overrides, ...) that CommandLineOptions knows.
#pragma once

#include <istream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"

namespace lumvex::cli {

struct SubcommandArgs {
  std::vector<std::string> positional;        // in order; "-" counts as positional
  std::map<std::string, std::string> values;  // own flags that take a value, by name
  std::set<std::string> switches;             // own flags without a value that were given
  CommandLineOptions common;                  // the program-wide flags
  std::vector<std::string> errors;            // own and common errors together
};

// `args` are the arguments after the subcommand's name. Own flags may be written "--flag VALUE"
// or "--flag=VALUE". Every other "--flag" is handed to ParseCommandLine with its value.
SubcommandArgs ParseSubcommandArgs(const std::vector<std::string>& args,
                                   const std::vector<std::string_view>& value_flags,
                                   const std::vector<std::string_view>& switch_flags);

// The list argument of a subcommand: the first positional argument names a file, "-" (or no
// argument) standard input. Sets `source` to what was read from; nullopt when the file cannot be
// opened.
std::optional<std::string> ReadListArgument(const SubcommandArgs& parsed, std::istream& in,
                                            std::string& source);

// Prints the errors to stderr with a hint to `usage`; returns 2 (bad usage).
int ReportUsageErrors(const std::vector<std::string>& errors, std::string_view usage);

}  // namespace lumvex::cli
