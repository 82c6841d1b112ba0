// Every flag of the program, declared once: its name, the grammar of its value, its default, its
// help text and the commands that take it. The window's command line and every subcommand parse
// through this table, and their help and usage texts are made from it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex {

// The ways the program is run that take flags (the window and each subcommand); a bit set of
// them says which take a flag. (Command is the window's buttons and menus.)
enum class Invocation : unsigned {
  kWindow = 1,       // lumvexip [options]
  kCheck = 2,        // lumvexip check
  kHarvest = 4,      // lumvexip harvest
  kProxy = 8,        // lumvexip proxy set | off | status
  kProxyGuard = 16,  // lumvexip proxy guard
  kJudge = 32,       // lumvexip judge
  kGateway = 64,     // lumvexip gateway
  kHistory = 128,    // lumvexip history
};
inline constexpr unsigned kEveryCommand = 255;

// What a flag's value may be. The value's meaning is checked where the flag is read.
enum class ValueGrammar {
  kNone,         // a switch: no value
  kDirectory,    // a non-empty path
  kHttpAddress,  // http://host[:port][/path] or host[:port]
  kSeconds,      // see ParseSeconds
  kWholeNumber,  // decimal digits
  kText,         // any non-empty text
  kWord,         // one of a few words
};

struct OptionSpec {
  std::string_view name;        // "--check-timeout"
  std::string_view value_name;  // "SECONDS" in help texts; empty for a switch
  ValueGrammar grammar;
  double default_value;  // shown in the window's help when above 0; 0: none or not a number
  std::string_view help;
  unsigned commands;  // bit set of Invocation
  // Read by ParseCommandLine into CommandLineOptions, for the window and every subcommand alike;
  // the others are a subcommand's own, read by the subcommand.
  bool program_wide;
  // The values taken, for the help ("1 to 10000"); empty: those of the grammar (see ValuesText).
  std::string_view values = {};
};

// The table, in the order of the window's help.
std::span<const OptionSpec> Options();

// The flag called `name`, or null.
const OptionSpec* FindOption(std::string_view name);
// The row of the flag called `name` that `command` takes (two commands may give one name two
// meanings, as --listen), else FindOption(name).
const OptionSpec* FindOption(std::string_view name, Invocation command);

bool Takes(const OptionSpec& option, Invocation command);

// The program-wide flag naming the server of the source registered as `source_name`
// ("--source-a"); the table has one for every registered source.
std::string SourceFlag(std::string_view source_name);

// The default of the flag called `name` as it would be typed ("80"); empty when it has none.
std::string DefaultText(std::string_view name);

// The usage of `command` without "Usage: ", its flags written with the table's value names.
std::string UsageOf(Invocation command);

// What the help says a flag's value may be: the row's own text, else its grammar's; empty for a
// switch, for free text and for a value name that lists the words itself ("a|b|c").
std::string ValuesText(const OptionSpec& option);

// One line of a help text, ending with a line end: the flag and its value name, its meaning, then
// in brackets the values and the default ("  --threads T  checks at once (T: 1 to 10000;
// default 20)").
std::string HelpLine(const OptionSpec& option);

// The flags of `command`'s usage in the order the usage names them, then any other own flag of
// the command (and for `proxy`, those of `proxy guard` too).
std::vector<const OptionSpec*> FlagsOf(Invocation command);

// What `SUBCOMMAND --help` prints: the usage, then one HelpLine per flag of FlagsOf, ending with
// a line end.
std::string HelpOf(Invocation command);

}  // namespace lumvex
