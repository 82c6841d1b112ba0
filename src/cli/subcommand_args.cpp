#include "cli/subcommand_args.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace lumvex::cli {
namespace {

bool Contains(const std::vector<std::string_view>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

SubcommandArgs ParseSubcommandArgs(const std::vector<std::string>& args,
                                   const std::vector<std::string_view>& value_flags,
                                   const std::vector<std::string_view>& switch_flags) {
  SubcommandArgs result;
  std::vector<std::string> common = {"lumvexip"};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
      result.positional.push_back(arg);
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    if (Contains(value_flags, name)) {
      if (eq != std::string::npos) {
        result.values[name] = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        result.values[name] = args[++i];
      } else {
        result.errors.push_back(name + " needs a value");
      }
    } else if (Contains(switch_flags, name)) {
      if (eq != std::string::npos) {
        result.errors.push_back(name + " takes no value");
      } else {
        result.switches.insert(name);
      }
    } else {
      common.push_back(arg);
      if (eq == std::string::npos && name != "--help" && name != "-h" && i + 1 < args.size()) {
        common.push_back(args[++i]);
      }
    }
  }
  std::vector<const char*> argv;
  for (const std::string& s : common) argv.push_back(s.c_str());
  result.common = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  result.errors.insert(result.errors.end(), result.common.errors.begin(),
                       result.common.errors.end());
  return result;
}

std::optional<std::string> ReadListArgument(const SubcommandArgs& parsed, std::istream& in,
                                            std::string& source) {
  source = parsed.positional.empty() ? "-" : parsed.positional[0];
  if (source == "-") {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::ifstream file(source, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int ReportUsageErrors(const std::vector<std::string>& errors, std::string_view usage) {
  for (const std::string& error : errors) std::fprintf(stderr, "%s\n", error.c_str());
  std::fprintf(stderr, "Usage: %.*s\n", static_cast<int>(usage.size()), usage.data());
  return 2;
}

}  // namespace lumvex::cli
