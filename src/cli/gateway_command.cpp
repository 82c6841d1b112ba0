#include "cli/gateway_command.h"

#include <signal.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "cli/check_session.h"
#include "cli/strict_check_options.h"
#include "cli/subcommand_args.h"
#include "config/command_line.h"
#include "config/option_table.h"
#include "gateway/address_rules.h"
#include "gateway/gateway.h"
#include "history/history_store.h"
#include "net/proxy_address.h"
#include "platform/open_file_limit.h"
#include "platform/run_directory.h"
#include "proxylist/check_reason.h"
#include "text/text_util.h"

namespace lumvex::cli {
namespace {

using gateway::UpstreamFailure;
using Clock = std::chrono::steady_clock;

// Upstreams marked down are checked again this often.
constexpr std::chrono::seconds kRecheckEvery{30};

std::string FailureText(UpstreamFailure failure, int status) {
  switch (failure) {
    case UpstreamFailure::kRefused:
      return "connection refused";
    case UpstreamFailure::kTimeout:
      return "timed out";
    case UpstreamFailure::kHandshakeFailed:
      return "handshake failed";
    case UpstreamFailure::kProxySaid:
      break;
  }
  return "proxy said " + std::to_string(status);
}

std::string AddressOf(const ProxyEntry& row) {
  return row.cells[kColAddress] + ':' + row.cells[kColPort];
}

// "127.0.0.1:8080" with the port actually bound.
std::string ListenShown(const std::string& asked, int port) {
  return asked.substr(0, asked.rfind(':') + 1) + std::to_string(port);
}

// The command's lines on stderr, from every thread, whole; addresses and reasons only (nothing
// of what clients send).
void Say(const std::string& line) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::cerr << "gateway: " << text::EscapeControls(line) << std::endl;
}

// What the checks and the gateway's events tell the command, across their threads.
struct Watch {
  std::mutex mutex;
  std::map<std::string, ProxyEntry> rows;  // every row of the list, by upstream address
  std::set<std::string> down;              // waiting for a re-check
  std::size_t verdicts = 0;                // of the first check of every row
  std::size_t passed = 0;
  std::size_t rechecked = 0;  // verdicts of the re-check under way
};

// Ranked by the proxy's check history when it has one (this check counted), else by the seconds
// of this check.
gateway::Upstream UpstreamOf(const ProxyEntry& row, const CheckState& state,
                             const HistoryStore& history) {
  const std::string address = AddressOf(row);
  const std::optional<ProxyAddress> proxy = ParseProxyAddress(address);
  const std::optional<ProxyHealth> health = history.HealthOf(address);
  const double score = health ? HealthScore(*health, static_cast<std::int64_t>(std::time(nullptr)))
                              : -state.seconds;
  // An HTTP row was seen to relay a request, not to tunnel; a SOCKS row tunnels by nature.
  return {address, proxy && proxy->IsSocks(), score};
}

// The flags read into gateway options; a bad one adds a message to `errors`.
gateway::GatewayOptions OptionsOf(const SubcommandArgs& parsed, std::vector<std::string>& errors) {
  gateway::GatewayOptions options;
  std::vector<std::string> listens;
  for (const char* flag : {"--listen", "--socks-listen"}) {
    const auto it = parsed.values.find(flag);
    if (it == parsed.values.end()) continue;
    if (!gateway::ParseListenAddress(it->second)) {
      errors.push_back(std::string(flag) + ": not A.B.C.D:PORT or [IPV6]:PORT: \"" +
                       text::EscapeControls(it->second) + "\"");
      continue;
    }
    (std::string_view(flag) == "--listen" ? options.http_listen : options.socks_listen) =
        it->second;
    listens.push_back(it->second);
  }
  if (parsed.values.count("--listen") == 0) errors.push_back("gateway: --listen HOST:PORT is needed");
  for (const auto& [flag, value] : parsed.all_values) {
    if (flag != "--allow") continue;
    if (std::optional<gateway::AllowRange> range = gateway::ParseAllowRange(value)) {
      options.allow.push_back(*range);
    } else {
      errors.push_back("--allow: not ADDRESS/BITS: \"" + text::EscapeControls(value) + "\"");
    }
  }
  for (const std::string& listen : listens) {
    if (!gateway::IsLoopback(gateway::ParseListenAddress(listen)->address()) &&
        options.allow.empty()) {
      errors.push_back("gateway: " + text::EscapeControls(listen) +
                       " is not a loopback address: name the clients allowed with --allow");
    }
  }
  if (const auto it = parsed.values.find("--rotate"); it != parsed.values.end()) {
    if (it->second == "best") {
      options.rotation = gateway::Rotation::kBest;
    } else if (it->second == "each") {
      options.rotation = gateway::Rotation::kEach;
    } else if (it->second == "sticky") {
      options.rotation = gateway::Rotation::kSticky;
    } else {
      errors.push_back("--rotate: best, each or sticky: \"" + text::EscapeControls(it->second) +
                       "\"");
    }
  }
  return options;
}

// Blocks SIGINT and SIGTERM in this thread and every thread started after, so that the command
// takes them with sigtimedwait; the old mask is put back when it goes.
class SignalWait {
 public:
  SignalWait() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
  }
  ~SignalWait() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  // True when a signal came within a second.
  bool Within1s() {
    const timespec second{1, 0};
    return sigtimedwait(&set_, nullptr, &second) > 0;
  }

 private:
  sigset_t set_;
  sigset_t old_;
};

}  // namespace

int GatewayMain(const std::vector<std::string>& args) {
  const SubcommandArgs parsed = ParseSubcommandArgs(args, Invocation::kGateway);
  const std::string usage = UsageOf(Invocation::kGateway);
  if (parsed.common.show_help) {
    std::cout << HelpOf(Invocation::kGateway);
    return 0;
  }
  std::vector<std::string> errors = parsed.errors;
  if (parsed.positional.size() > 1) errors.push_back("at most one LIST");
  const int threads = ThreadsOf(parsed, errors);
  const StrictCheckOptions strict = StrictCheckOptionsOf(parsed, errors);
  gateway::GatewayOptions options = OptionsOf(parsed, errors);
  if (!errors.empty()) return ReportUsageErrors(errors, usage);

  std::optional<std::vector<ProxyEntry>> read =
      ReadListRows(parsed, std::cin, std::cerr, Repeats::kSkip);
  if (!read) return 2;
  const std::vector<ProxyEntry> rows = std::move(*read);
  if (rows.empty()) {
    Say("no address:port line in the list");
    return 1;
  }
  // Every check and every relayed connection goes to the check history of the data directory.
  const DataDir data_dir = DataDirectoryOf(parsed.common, RunDirectory());
  // Two descriptors for each relayed connection.
  RaiseOpenFileLimit();
  signal(SIGPIPE, SIG_IGN);
  SignalWait signals;  // before any thread starts
  HistoryStore history(HistoryPath(data_dir));
  history.WaitUntilLoaded();
  const auto record = [&history](const std::string& address, const CheckState& state) {
    if (state.Decided()) {
      history.RecordCheck(address, state.Ok(), static_cast<int>(state.reason), state.http_status,
                          state.seconds);
    }
  };

  Watch watch;
  for (const ProxyEntry& row : rows) watch.rows.emplace(AddressOf(row), row);
  gateway::GatewayEvents events;
  events.down = [&watch](const std::string& address, UpstreamFailure failure, int status) {
    Say("upstream down " + address + ": " + FailureText(failure, status));
    std::lock_guard lock(watch.mutex);
    watch.down.insert(address);
  };
  events.used = [&history](const std::string& address, bool ok, double seconds) {
    history.RecordGatewayUse(address, ok, seconds);
  };
  gateway::Gateway relay(options, events);
  if (const std::optional<std::string> error = relay.Start()) {
    Say(*error);
    return 1;
  }
  if (relay.HttpPort() != 0) {
    Say("HTTP proxy listening on " + ListenShown(options.http_listen, relay.HttpPort()));
  }
  if (relay.SocksPort() != 0) {
    Say("SOCKS5 proxy listening on " + ListenShown(options.socks_listen, relay.SocksPort()));
  }

  const double timeout_s = parsed.common.check_timeout_seconds.value_or(kDefaultCheckTimeoutS);
  const auto session = [&](CheckSession::Finished finished) {
    return std::make_unique<CheckSession>(parsed.common.endpoints, timeout_s, strict.rule,
                                          std::vector<CheckProtocol>{}, std::move(finished),
                                          CheckSession::Limited{});
  };
  // Every row, once; relaying starts with the first that passes.
  std::unique_ptr<CheckSession> first = session([&](int row, std::size_t, const CheckState& state) {
    const ProxyEntry& entry = rows[static_cast<std::size_t>(row)];
    record(AddressOf(entry), state);
    if (state.Ok()) {
      relay.AddUpstream(UpstreamOf(entry, state, history));
      char took[32];
      std::snprintf(took, sizeof took, "%.3f", state.seconds);
      Say("upstream up " + AddressOf(entry) + " (checked in " + took + " s)");
    }
    std::lock_guard lock(watch.mutex);
    ++watch.verdicts;
    if (state.Ok()) ++watch.passed;
  });
  if (const std::optional<std::string> error = first->LearnOwnAddresses()) {
    Say("cannot learn your own address from the judge: " + *error + " (give it with --my-address)");
    return 1;
  }
  first->Start(rows, threads);

  int status = 0;
  bool first_done = false;
  std::unique_ptr<CheckSession> recheck;
  std::vector<ProxyEntry> recheck_rows;
  Clock::time_point next_recheck = Clock::now() + kRecheckEvery;
  while (!signals.Within1s()) {
    std::unique_lock lock(watch.mutex);
    if (!first_done && watch.verdicts == rows.size()) {
      first_done = true;
      Say(std::to_string(watch.passed) + " of " + std::to_string(rows.size()) +
          " rows passed their check");
      if (watch.passed == 0) {
        status = 1;
        break;
      }
    }
    if (recheck && watch.rechecked == recheck_rows.size()) {
      lock.unlock();
      recheck.reset();
      lock.lock();
      next_recheck = Clock::now() + kRecheckEvery;
    }
    if (recheck || watch.down.empty() || Clock::now() < next_recheck) continue;
    // The upstreams marked down are checked again as they were at first; one that passes is up.
    recheck_rows.clear();
    for (const std::string& address : watch.down) recheck_rows.push_back(watch.rows.at(address));
    watch.rechecked = 0;
    lock.unlock();
    recheck = session([&](int row, std::size_t, const CheckState& state) {
      const ProxyEntry& entry = recheck_rows[static_cast<std::size_t>(row)];
      record(AddressOf(entry), state);
      if (state.Ok()) {
        relay.AddUpstream(UpstreamOf(entry, state, history));
        relay.MarkUp(AddressOf(entry));
        Say("upstream up again " + AddressOf(entry));
      }
      std::lock_guard guard(watch.mutex);
      if (state.Ok()) watch.down.erase(AddressOf(entry));
      ++watch.rechecked;
    });
    recheck->LearnOwnAddresses();
    recheck->Start(recheck_rows, threads);
  }
  recheck.reset();
  first.reset();
  relay.Stop();
  history.Close();
  if (status == 0) Say("stopped");
  return status;
}

}  // namespace lumvex::cli
