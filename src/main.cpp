// LumvexIP: harvests free HTTP proxies, checks them and switches the system proxy.
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "cli/subcommands.h"
#include "config/command_line.h"
#include "http/curl_global.h"
#include "platform/open_file_limit.h"
#include "platform/run_directory.h"
#include "proxylist/agent_file.h"
#include "ui/desktop_front_end.h"
#include "ui/display_check.h"
#include "ui/icon_set.h"

namespace {

bool WantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

// Whether an argument has Qt's single-dash form ("-platform", "-style"): QApplication takes
// those out itself, so before it runs they cannot be judged.
bool HasQtStyleArgument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-' && argv[i][1] != '-' && argv[i][1] != '\0') return true;
  }
  return false;
}

int ReportArgumentErrors(const std::vector<std::string>& errors, const std::string& program) {
  for (const std::string& error : errors) std::fprintf(stderr, "%s\n", error.c_str());
  std::fprintf(stderr, "Try '%s --help'.\n", program.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 0 ? argv[0] : "lumvexip";
  // Thousands of checks at once each hold a socket; the soft limit (often 1024) would cut them.
  lumvex::RaiseOpenFileLimit();
  // The headless subcommands need no display and never touch Qt.
  if (const std::optional<int> status = lumvex::cli::RunSubcommand(argc, argv)) return *status;
  if (WantsHelp(argc, argv)) {
    std::fputs((lumvex::CommandLineHelp(program) + lumvex::cli::SubcommandHelp(program)).c_str(),
               stdout);
    return 0;
  }
  const std::string missing = lumvex::MissingDisplayMessage(
      [](const char* name) { return static_cast<const char*>(std::getenv(name)); });
  if (!missing.empty()) {
    // A mistyped flag is the thing to say even without a display: the window would refuse it too.
    const lumvex::CommandLineOptions early = lumvex::ParseCommandLine(argc, argv);
    if (!early.errors.empty() && !HasQtStyleArgument(argc, argv)) {
      return ReportArgumentErrors(early.errors, program);
    }
    std::fputs(missing.c_str(), stderr);
    return 3;
  }
  lumvex::http::EnsureCurlGlobalInit();
  // The X library writes to its socket without MSG_NOSIGNAL: when the display goes away while
  // the window is drawing, SIGPIPE would end the program on the spot, past the exit handler that
  // switches the proxy off and saves the list. Ignored, the write fails and Qt leaves through
  // exit(), which that handler catches. (The subcommands keep SIGPIPE: `check | head` ends.)
  std::signal(SIGPIPE, SIG_IGN);

  // The command line is read once, after Qt took out the arguments it understands (single-dash
  // words such as "-platform", which would otherwise count as unknown). The data directory is
  // worked out from it and handed on; the list file is read and decoded while the window is
  // built, and only the final step of putting the rows into the list waits for it.
  QApplication app(argc, argv);
  const lumvex::CommandLineOptions options = lumvex::ParseCommandLine(argc, argv);
  if (!options.errors.empty()) return ReportArgumentErrors(options.errors, program);
  const std::string run_directory = lumvex::RunDirectory();
  const lumvex::DataDir data_dir = lumvex::DataDirectoryOf(options, run_directory);
  lumvex::ListReadAhead ahead = std::async(std::launch::async, lumvex::ReadAgentFile, data_dir);
  lumvex::InitIconResources();
  return lumvex::RunDesktop(app, options, run_directory, data_dir, std::move(ahead));
}
