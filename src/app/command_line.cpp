#include "app/command_line.h"

#include <algorithm>
#include <string_view>

#include "platform/data_home.h"

namespace lumvex {
namespace {

enum class Flag {
  kDataDir,
  kSourceA,
  kSourceB,
  kSourceC,
  kValidation,
  kConnectivity,
  kManifest,
  kCheckTimeout,
  kGuardInterval,
};

// Longest check deadline the command line accepts: a day.
constexpr int kMaxCheckTimeoutSeconds = 86400;

struct FlagSpec {
  std::string_view name;
  Flag flag;
  std::string_view value_name;
  std::string_view help;
};

constexpr FlagSpec kFlags[] = {
    {"--data-dir", Flag::kDataDir, "DIR", "directory of the list and settings files"},
    {"--source-a", Flag::kSourceA, "URL", "server of proxy-list source A"},
    {"--source-b", Flag::kSourceB, "URL", "server of proxy-list source B"},
    {"--source-c", Flag::kSourceC, "URL", "server of proxy-list source C"},
    {"--validation-host", Flag::kValidation, "URL", "server that proxies are checked against"},
    {"--connectivity-host", Flag::kConnectivity, "URL", "server fetched to test the active proxy"},
    {"--manifest-url", Flag::kManifest, "URL", "address of the update manifest page"},
    {"--check-timeout", Flag::kCheckTimeout, "SECONDS", "deadline of one proxy check (60)"},
    {"--guard-interval", Flag::kGuardInterval, "SECONDS",
     "time between two re-checks of the proxy guard (60)"},
};

const FlagSpec* FindFlag(std::string_view name) {
  for (const FlagSpec& spec : kFlags) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

// Stores the host of `value` in `slot`, or reports why it cannot.
void SetHost(std::string_view flag, std::string_view value, std::string& slot,
             std::vector<std::string>& errors) {
  const std::optional<std::string> host = HostOfAddress(value);
  if (!host) {
    errors.push_back(std::string(flag) + ": not an http address: \"" + std::string(value) + "\"");
    return;
  }
  slot = *host;
}

void Apply(const FlagSpec& spec, std::string_view value, CommandLineOptions& options) {
  Endpoints& e = options.endpoints;
  std::vector<std::string>& errors = options.errors;
  switch (spec.flag) {
    case Flag::kDataDir:
      if (value.empty()) {
        errors.push_back(std::string(spec.name) + ": the directory is empty");
      } else {
        options.data_dir = std::string(value);
      }
      break;
    case Flag::kSourceA:
      SetHost(spec.name, value, e.source_a_host, errors);
      break;
    case Flag::kSourceB:
      SetHost(spec.name, value, e.source_b_host, errors);
      break;
    case Flag::kSourceC:
      SetHost(spec.name, value, e.source_c_host, errors);
      break;
    case Flag::kValidation:
      SetHost(spec.name, value, e.validation_host, errors);
      break;
    case Flag::kConnectivity:
      SetHost(spec.name, value, e.connectivity_host, errors);
      break;
    case Flag::kManifest:
      // The manifest is fetched by its full address, so only check that it has a host.
      if (HostOfAddress(value)) {
        e.manifest_url = std::string(value);
      } else {
        errors.push_back(std::string(spec.name) + ": not an http address: \"" + std::string(value) +
                         "\"");
      }
      break;
    case Flag::kCheckTimeout:
    case Flag::kGuardInterval: {
      const bool digits = !value.empty() && value.size() <= 5 &&
                          std::all_of(value.begin(), value.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
      const int seconds = digits ? std::stoi(std::string(value)) : 0;
      if (seconds < 1 || seconds > kMaxCheckTimeoutSeconds) {
        errors.push_back(std::string(spec.name) + ": not a number of seconds from 1 to " +
                         std::to_string(kMaxCheckTimeoutSeconds) + ": \"" + std::string(value) +
                         "\"");
      } else if (spec.flag == Flag::kCheckTimeout) {
        options.check_timeout_seconds = seconds;
      } else {
        options.guard_interval_seconds = seconds;
      }
      break;
    }
  }
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
    const FlagSpec* spec = FindFlag(name);
    if (spec == nullptr) {
      options.errors.push_back("unknown argument: \"" + std::string(arg) + "\"");
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
  for (const FlagSpec& spec : kFlags) {
    std::string left = "  " + std::string(spec.name) + " " + std::string(spec.value_name);
    left.resize(std::max<std::size_t>(left.size() + 2, 28), ' ');
    help += left + std::string(spec.help) + "\n";
  }
  std::string left = "  --help, -h";
  left.resize(28, ' ');
  help += left + "show this text and exit\n";
  help += "\nURL is http://host[:port][/path] or host[:port].\n";
  return help;
}

std::string DataDirectoryOf(const CommandLineOptions& options, const std::string& run_directory) {
  if (options.data_dir) return *options.data_dir;
  return DefaultDataDirectory(run_directory);
}

}  // namespace lumvex
