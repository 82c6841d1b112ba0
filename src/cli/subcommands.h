// The headless subcommands (`lumvexip check | harvest | proxy`): they drive the same controllers
// as the window, with the headless UiThread, and need no display.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumvex::cli {

// When argv[1] names a subcommand, runs it and returns its exit status (0 success, 1 the work
// failed, 2 bad usage); otherwise nullopt and the caller starts the window.
std::optional<int> RunSubcommand(int argc, const char* const* argv);

// Names of the subcommands, for the help text.
std::vector<std::string> SubcommandNames();

}  // namespace lumvex::cli
