#include "cli/subcommands.h"

#include <cstdio>
#include <string_view>

#include "cli/check_command.h"
#include "cli/gateway_command.h"
#include "cli/harvest_command.h"
#include "cli/history_command.h"
#include "cli/judge_command.h"
#include "cli/proxy_command.h"
#include "text/text_util.h"

namespace lumvex::cli {
namespace {

using SubcommandMain = int (*)(const std::vector<std::string>& args);

struct Subcommand {
  std::string_view name;
  SubcommandMain run;
  std::string_view summary;  // one line of the top-level help
};

// One row per subcommand; each lives in its own file of this folder.
constexpr Subcommand kSubcommands[] = {
    {"check", CheckMain, "check proxies read from a file or standard input"},
    {"harvest", HarvestMain, "harvest proxies from a proxy-list site or a plain-text list"},
    {"proxy", RunProxyCommand, "set, switch off, show or guard the system proxy"},
    {"judge", JudgeMain, "answer every GET with the request as it arrived, to judge proxies"},
    {"gateway", GatewayMain, "a local proxy port relaying through the list's working proxies"},
    {"history", HistoryMain, "show the check history of a proxy, or the best proxies by it"},
};

std::string JoinedNames() {
  std::string names;
  for (const Subcommand& sub : kSubcommands) {
    if (!names.empty()) names += ", ";
    names += sub.name;
  }
  return names;
}

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
  // The window takes flags only, so a first word that names no subcommand is a mistyped one;
  // saying so beats asking for a display the user never meant to use.
  if (!name.empty() && name[0] != '-') {
    std::fprintf(stderr, "lumvexip: unknown subcommand \"%s\" (the subcommands are %s)\n",
                 text::EscapeControls(name).c_str(), JoinedNames().c_str());
    std::fprintf(stderr, "Try 'lumvexip --help'.\n");
    return 2;
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

std::string SubcommandHelp(const std::string& program_name) {
  std::string help = "\nSubcommands (no display needed; '" + program_name +
                     " SUBCOMMAND --help' shows the usage of one):\n";
  for (const Subcommand& sub : kSubcommands) {
    std::string left = "  " + std::string(sub.name);
    left.resize(12, ' ');
    help += left + std::string(sub.summary) + "\n";
  }
  return help;
}

}  // namespace lumvex::cli
