#include "cli/subcommands.h"

#include <string_view>

#include "cli/check_command.h"
#include "cli/harvest_command.h"
#include "cli/proxy_command.h"

namespace lumvex::cli {
namespace {

using SubcommandMain = int (*)(const std::vector<std::string>& args);

struct Subcommand {
  std::string_view name;
  SubcommandMain run;
};

// One row per subcommand; each lives in its own file of this folder.
constexpr Subcommand kSubcommands[] = {
    {"check", CheckMain},
    {"harvest", HarvestMain},
    {"proxy", RunProxyCommand},
};

}  // namespace

std::optional<int> RunSubcommand(int argc, const char* const* argv) {
  if (argc < 2 || argv[1] == nullptr) return std::nullopt;
  const std::string_view name = argv[1];
  for (const Subcommand& sub : kSubcommands) {
    if (sub.run != nullptr && sub.name == name) {
      std::vector<std::string> args;
      for (int i = 2; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
      return sub.run(args);
    }
  }
  return std::nullopt;
}

std::vector<std::string> SubcommandNames() {
  std::vector<std::string> names;
  for (const Subcommand& sub : kSubcommands) {
    if (sub.run != nullptr) names.emplace_back(sub.name);
  }
  return names;
}

}  // namespace lumvex::cli
