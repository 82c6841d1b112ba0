#include "cli/judge_command.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include "cli/subcommand_args.h"
#include "config/flag_values.h"
#include "config/option_table.h"
#include "judge/judge_server.h"
#include "judge/log_output.h"
#include "judge/request_log.h"
#include "judge/socket_address.h"
#include "text/text_util.h"

namespace lumvex::cli {
namespace {

// The running server, for the signal handler (a lock-free atomic is safe to read there); Stop
// only writes to a pipe.
std::atomic<judge::JudgeServer*> g_server{nullptr};

void StopOnSignal(int /*signal*/) {
  if (judge::JudgeServer* server = g_server.load()) server->Stop();
}

// The value of a whole-number flag from 1 to `most`, or the default; an error is added to
// `errors` for anything else.
int WholeNumber(const SubcommandArgs& parsed, const std::string& flag, int fallback, int most,
                std::vector<std::string>& errors) {
  const auto it = parsed.values.find(flag);
  if (it == parsed.values.end()) return fallback;
  const std::string& text = it->second;
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos || text::AtoI(text) < 1 ||
      text::AtoI(text) > most) {
    errors.push_back(flag + ": a whole number from 1 to " + std::to_string(most) + ": \"" +
                     judge::EscapeForTerminal(text) + "\"");
    return fallback;
  }
  return text::AtoI(text);
}

}  // namespace

int JudgeMain(const std::vector<std::string>& args) {
  const SubcommandArgs parsed = ParseSubcommandArgs(args, Invocation::kJudge);
  const std::string usage = UsageOf(Invocation::kJudge);
  if (parsed.common.show_help) {
    std::cout << HelpOf(Invocation::kJudge);
    return 0;
  }
  std::vector<std::string> errors = parsed.errors;
  if (!parsed.positional.empty()) errors.push_back("judge: takes no arguments, only flags");
  judge::JudgeLimits limits;
  limits.max_connections =
      WholeNumber(parsed, "--max-connections", limits.max_connections, 100000, errors);
  limits.max_per_client =
      WholeNumber(parsed, "--max-per-client", limits.max_per_client, 100000, errors);
  limits.rate = WholeNumber(parsed, "--rate", static_cast<int>(limits.rate), 1000000, errors);
  if (auto it = parsed.values.find("--head-timeout"); it != parsed.values.end()) {
    if (std::optional<double> seconds = ParseSeconds(it->second)) {
      limits.head_timeout =
          std::chrono::milliseconds(static_cast<long long>(*seconds * 1000 + 0.5));
      if (limits.head_timeout.count() == 0) limits.head_timeout = std::chrono::milliseconds(1);
    } else {
      errors.push_back(SecondsError("--head-timeout", judge::EscapeForTerminal(it->second)));
    }
  }
  std::optional<judge::SocketAddress> address;
  if (auto it = parsed.values.find("--listen"); it == parsed.values.end()) {
    errors.push_back("judge: --listen ADDRESS:PORT is needed");
  } else if (address = judge::ParseListenAddress(it->second); !address) {
    errors.push_back("--listen: not A.B.C.D:PORT, [IPV6]:PORT, localhost:PORT or PORT: \"" +
                     judge::EscapeForTerminal(it->second) + "\"");
  }
  if (!errors.empty()) return ReportUsageErrors(errors, usage);

  // The log never holds the answers up: a reader of standard error that stops reading costs
  // log lines (counted, and the count said when it reads again), never an answer.
  judge::LogOutput log_output(STDERR_FILENO);
  judge::JudgeServer server(limits, [&log_output](std::string_view line) { log_output.Add(line); });
  server.SetLogOutput(&log_output);
  if (const std::string error = server.Listen(*address); !error.empty()) {
    std::fprintf(stderr, "judge: cannot listen on %s: %s\n",
                 judge::EscapeForTerminal(parsed.values.at("--listen")).c_str(), error.c_str());
    return 1;
  }
  g_server.store(&server);
  struct sigaction action {};
  action.sa_handler = StopOnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  // A log reader that went away (`lumvexip judge 2>&1 | head`) must not end the server: its log
  // lines are lost, the answers go on.
  signal(SIGPIPE, SIG_IGN);
  std::cout << "judge listening on " << server.url() << std::endl;
  server.Run();
  // Back to the default before the server goes, so a late signal finds no dangling pointer.
  action.sa_handler = SIG_DFL;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  g_server.store(nullptr);
  // What waits is written if the reader takes it soon; a stalled one does not hold the exit.
  log_output.FlushWithin(std::chrono::milliseconds(500));
  return 0;
}

}  // namespace lumvex::cli
