#include "config/command_line.h"

#include <string_view>

#include "acquire/source_registry.h"
#include "config/flag_values.h"
#include "platform/data_home.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

// `text` from the command line in quotes, escaped for the terminal.
std::string Quoted(std::string_view text) { return "\"" + text::EscapeControls(text) + "\""; }

// Stores the host of `value` in `slot`, or reports why it cannot.
void SetHost(std::string_view flag, std::string_view value, std::string& slot,
             std::vector<std::string>& errors) {
  const std::optional<std::string> host = HostOfAddress(value);
  if (!host) {
    errors.push_back(std::string(flag) + ": not an http address: " + Quoted(value));
    return;
  }
  slot = *host;
}

// The endpoint a flag of the http-address grammar overrides; null for --manifest-url.
std::string* HostSlot(std::string_view name, Endpoints& e) {
  for (const SourceInfo& source : RegisteredSources()) {
    if (name == SourceFlag(source.name)) return &e.source_hosts[std::string(source.name)];
  }
  if (name == "--validation-host") return &e.validation_host;
  if (name == "--connectivity-host") return &e.connectivity_host;
  return nullptr;
}

void Apply(const OptionSpec& spec, std::string_view value, CommandLineOptions& options) {
  std::vector<std::string>& errors = options.errors;
  switch (spec.grammar) {
    case ValueGrammar::kDirectory:
      if (value.empty()) {
        errors.push_back(std::string(spec.name) + ": the directory is empty");
      } else {
        options.data_dir = std::string(value);
      }
      break;
    case ValueGrammar::kHttpAddress:
      if (std::string* slot = HostSlot(spec.name, options.endpoints)) {
        SetHost(spec.name, value, *slot, errors);
      } else if (HostOfAddress(value)) {
        // The manifest is fetched by its full address, so only check that it has a host.
        options.endpoints.manifest_url = std::string(value);
      } else {
        errors.push_back(std::string(spec.name) + ": not an http address: " + Quoted(value));
      }
      break;
    case ValueGrammar::kSeconds:
      if (const std::optional<double> seconds = ParseSeconds(value); !seconds) {
        errors.push_back(SecondsError(spec.name, text::EscapeControls(value)));
      } else if (spec.name == "--check-timeout") {
        options.check_timeout_seconds = seconds;
      } else {
        options.guard_interval_seconds = seconds;
      }
      break;
    case ValueGrammar::kNone:
    case ValueGrammar::kWholeNumber:
    case ValueGrammar::kText:
    case ValueGrammar::kWord:
      break;  // no program-wide flag has these
  }
}

// A program-wide flag called `name`, or null.
const OptionSpec* FindProgramWide(std::string_view name) {
  const OptionSpec* spec = FindOption(name);
  return spec != nullptr && spec->program_wide ? spec : nullptr;
}

}  // namespace

CommandLineOptions ParseCommandLine(int argc, const char* const* argv) {
  CommandLineOptions options;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.show_help = true;
      continue;
    }
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (const std::size_t eq = arg.find('=');
        arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    const OptionSpec* spec = FindProgramWide(name);
    if (spec == nullptr) {
      options.errors.push_back(arg.starts_with("--")
                                   ? "unknown option " + text::EscapeControls(name)
                                   : "unknown argument " + Quoted(arg));
      continue;
    }
    if (!value) {
      // "--data-dir --demo" is a forgotten value, not a directory named "--demo".
      if (i + 1 >= argc || argv[i + 1] == nullptr ||
          std::string_view(argv[i + 1]).starts_with("--")) {
        options.errors.push_back(std::string(spec->name) + " needs a value (" +
                                 std::string(spec->value_name) + ")");
        continue;
      }
      value = argv[++i];
    }
    Apply(*spec, *value, options);
  }
  return options;
}

std::string CommandLineHelp(const std::string& program_name) {
  std::string help = "Usage: " + program_name + " [options]\n       " + program_name +
                     " SUBCOMMAND [arguments]\n\nOptions:\n";
  for (const OptionSpec& spec : Options()) {
    if (spec.program_wide && Takes(spec, Invocation::kWindow)) help += HelpLine(spec);
  }
  std::string left = "  --help, -h";
  left.resize(28, ' ');
  help += left + "show this text and exit\n";
  return help;
}

DataDir DataDirectoryOf(const CommandLineOptions& options, const std::string& run_directory) {
  if (options.data_dir) return DataDir(*options.data_dir);
  return DataDir(DefaultDataDirectory(run_directory));
}

}  // namespace lumvex
