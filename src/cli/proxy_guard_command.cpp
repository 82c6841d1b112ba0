#include "cli/proxy_guard_command.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_set>

#include "cli/proxy_guard_run.h"
#include "cli/subcommand_args.h"
#include "config/command_line.h"
#include "config/flag_values.h"
#include "config/option_table.h"
#include "history/history_store.h"
#include "http/fetch_client.h"
#include "platform/run_directory.h"
#include "proxylist/agent_file.h"
#include "sysproxy/desktop_system_proxy.h"
#include "sysproxy/marked_system_proxy.h"
#include "sysproxy/proxy_address.h"
#include "sysproxy/proxy_apply.h"
#include "text/proxy_host.h"
#include "text/text_util.h"
#include "validate/guard_check.h"
#include "validate/proxy_check.h"

namespace lumvex::cli {
namespace {

// The signals that end the guard. SIGHUP only when it was not ignored at start (nohup).
sigset_t EndSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  struct sigaction current {};
  if (sigaction(SIGHUP, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
    sigaddset(&set, SIGHUP);
  }
  return set;
}

// For each address, whether the window's list file in `data_dir` has a row of it that says "成功".
// No list file: none.
std::vector<bool> WorkingInListFile(const DataDir& data_dir,
                                    const std::vector<std::string>& addresses) {
  std::vector<bool> working(addresses.size(), false);
  std::ifstream file(AgentFilePath(data_dir), std::ios::binary);
  if (!file) return working;
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::unordered_set<std::string> ok;
  for (const CompactRow& row : ParseAgentFile(bytes).rows) {
    if (row.Status() != CheckStatus::kOk) continue;
    ok.insert(std::string(row.Cell(kColAddress)) + ":" + std::string(row.Cell(kColPort)));
  }
  for (std::size_t i = 0; i < addresses.size(); ++i) working[i] = ok.contains(addresses[i]);
  return working;
}

}  // namespace

int RunProxyGuardCommand(const std::vector<std::string>& args, std::istream& in) {
  SubcommandArgs parsed = ParseSubcommandArgs(args, Invocation::kProxyGuard);
  const std::string usage = UsageOf(Invocation::kProxyGuard);
  if (parsed.common.show_help) {
    std::cout << HelpOf(Invocation::kProxyGuard);
    return 0;
  }
  std::vector<std::string> errors = parsed.errors;
  if (parsed.positional.size() > 1) errors.push_back("proxy guard: at most one FILE");
  // The window's deadline and interval unless the command line gives them.
  const double timeout_s = parsed.common.check_timeout_seconds.value_or(kDefaultCheckTimeoutS);
  double interval_s = std::chrono::duration<double>(ProxyGuard::kDefaultInterval).count();
  if (auto it = parsed.values.find("--interval"); it != parsed.values.end()) {
    if (std::optional<double> value = ParseSeconds(it->second)) {
      interval_s = *value;
    } else {
      errors.push_back(SecondsError("--interval", text::EscapeControls(it->second)));
    }
  }
  if (!errors.empty()) return ReportUsageErrors(errors, usage);

  const std::optional<std::vector<ProxyEntry>> rows = ReadListRows(parsed, in, std::cerr);
  if (!rows) return 2;
  std::vector<std::string> addresses;
  for (const ProxyEntry& row : *rows) {
    const std::string address = row.cells[kColAddress] + ":" + row.cells[kColPort];
    // Standard error is read over shoulders and kept in logs: the password stays out of it.
    const std::string shown = text::EscapeControls(text::MaskPassword(address));
    const std::optional<ProxyAddress> parsed = ParseProxyAddress(address);
    if (!parsed) {
      // Not host:port behind an optional scheme the desktop's proxy setting knows.
      std::cerr << "not a proxy address for the system proxy, skipped: " << shown << std::endl;
    } else if (!DesktopCanTake(*parsed)) {
      std::cerr << "the desktop's proxy setting keeps no login for a SOCKS proxy, skipped: "
                << shown << std::endl;
    } else {
      addresses.push_back(address);
    }
  }
  if (addresses.empty()) return ReportUsageErrors({"no proxy address in the list"}, usage);

  // The ending signals are taken by a thread of their own; every thread started from here on
  // inherits the blocked set, so none of them is interrupted by one.
  const sigset_t end_signals = EndSignals();
  sigset_t waited = end_signals;
  sigaddset(&waited, SIGUSR1);  // "the run is over" from this thread
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &waited, &previous);

  const DataDir data_dir = DataDirectoryOf(parsed.common, RunDirectory());
  MarkedSystemProxy store(MakeDesktopSystemProxy(), ProxyOnMarker(data_dir));
  if (!store.Available()) {
    std::cerr << "no system proxy store: neither the GSettings schema org.gnome.system.proxy nor "
                 "a KDE session"
              << std::endl;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 1;
  }
  int end_code = 1;
  {
    // Read before the addresses move into the run. The history of the data directory ranks the
    // working ones (nothing is recorded: the guard's own checks are not a run's verdicts).
    std::vector<bool> working = WorkingInListFile(data_dir, addresses);
    HistoryStore history(HistoryPath(data_dir));
    history.WaitUntilLoaded();
    http::FetchClient fetcher(nullptr);
    ProxyGuardRun run(
        store, MakeGuardCheck(fetcher, parsed.common.endpoints.connectivity_host, timeout_s),
        std::move(addresses), std::chrono::milliseconds(std::llround(interval_s * 1000)), std::cout,
        std::cerr);
    run.SetRanking(std::move(working), &history);
    run.SetTunnelProbe(
        MakeTunnelProbe(fetcher, parsed.common.endpoints.connectivity_host, timeout_s));
    if (store.Marker().Exists() && store.Read().enabled) {
      std::cerr << "the last run did not switch the system proxy off; this run switches it off "
                   "unless a proxy of the list passes"
                << std::endl;
      run.TakeOverLeftoverProxy();
    }
    std::thread signals([&run, waited] {
      int signal = 0;
      sigwait(&waited, &signal);
      run.RequestStop();
    });
    const ProxyGuardRun::End end = run.Run();
    end_code = end == ProxyGuardRun::End::kStopped ? 0 : 1;
    pthread_kill(signals.native_handle(), SIGUSR1);
    signals.join();
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return end_code;
}

}  // namespace lumvex::cli
