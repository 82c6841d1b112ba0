// The headless subcommands (`lumvexip check | harvest | proxy`): they drive the same controllers
// as the window, with the headless UiThread, and need no display.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumvex::cli {

// When argv[1] names a subcommand, runs it and returns its exit status (0 success, 1 the work
// failed, 2 bad usage). A first argument that is a word but no subcommand's name is reported as
// an unknown subcommand (exit status 2). Otherwise nullopt: the caller starts the window.
std::optional<int> RunSubcommand(int argc, const char* const* argv);

// Names of the subcommands.
std::vector<std::string> SubcommandNames();

// The part of the top-level help that lists the subcommands, one line each.
std::string SubcommandHelp(const std::string& program_name);

}  // namespace lumvex::cli
