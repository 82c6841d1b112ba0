// Argument parsing shared by the subcommands: their own flags, positional arguments, and the
// program-wide flags (--data-dir, the endpoint overrides, ...) that CommandLineOptions knows.
#pragma once

#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/command_line.h"
#include "config/option_table.h"
#include "proxylist/proxy_entry.h"

namespace lumvex::cli {

struct SubcommandArgs {
  std::vector<std::string> positional;        // in order; "-" counts as positional
  std::map<std::string, std::string> values;  // own flags that take a value, by name
  std::set<std::string> switches;             // own flags without a value that were given
  CommandLineOptions common;                  // the program-wide flags
  std::vector<std::string> errors;            // own and common errors together
  // Every value of an own flag in the order given, repeats too (values keeps the last).
  std::vector<std::pair<std::string, std::string>> all_values;
};

// `args` are the arguments after the subcommand's name. The own flags of `command` are those of
// the option table that `command` takes and that are not program-wide. They may be written
// "--flag VALUE" or "--flag=VALUE"; a VALUE starting with "--" is refused as missing (write
// "--flag=--x"). The program-wide flags are handed to ParseCommandLine with their values; any
// other "--flag" is an error naming it ("unknown option --flag"), and takes no value with it.
SubcommandArgs ParseSubcommandArgs(const std::vector<std::string>& args, Invocation command);

// Whether a line naming a proxy already read gives a row again.
enum class Repeats { kKeep, kSkip };

// The rows of the list argument of a subcommand: the first positional argument names a file,
// "-" (or no argument) standard input. Read as a stream with the one reader of address lines,
// one row per line; lines that give none, and with kSkip those that repeat a proxy (see
// SeenAddresses), are reported on `err` (SkippedLines). nullopt, after saying why on `err`, when
// the list cannot be read: a directory, a missing or unreadable file, a read error, a NUL byte
// (binary data, /dev/zero).
std::optional<std::vector<ProxyEntry>> ReadListRows(const SubcommandArgs& parsed, std::istream& in,
                                                    std::ostream& err,
                                                    Repeats repeats = Repeats::kKeep);

// Prints the errors to stderr with a hint to `usage`; returns 2 (bad usage).
int ReportUsageErrors(const std::vector<std::string>& errors, std::string_view usage);
// The same on `err`.
int ReportUsageErrors(const std::vector<std::string>& errors, std::string_view usage,
                      std::ostream& err);

}  // namespace lumvex::cli
