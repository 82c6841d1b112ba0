#include "cli/proxy_command.h"

#include <cstdio>
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/proxy_guard_command.h"
#include "cli/subcommand_args.h"
#include "config/command_line.h"
#include "config/option_table.h"
#include "http/fetch_client.h"
#include "platform/run_directory.h"
#include "sysproxy/desktop_system_proxy.h"
#include "sysproxy/mode_restoring_system_proxy.h"
#include "sysproxy/proxy_address.h"
#include "sysproxy/proxy_apply.h"
#include "text/proxy_host.h"
#include "text/text_util.h"
#include "validate/guard_check.h"
#include "validate/proxy_check.h"

namespace lumvex::cli {
namespace {

constexpr std::string_view kNoProbe = "--no-probe";

void PrintSetting(const SystemProxySetting& setting) {
  if (setting.enabled) {
    std::printf("on %s\n", DesktopProxyText(setting).c_str());
  } else {
    std::printf("off\n");
  }
  std::fflush(stdout);
}

int Report(ProxyApplyResult result, SystemProxy& store) {
  switch (result) {
    case ProxyApplyResult::kApplied:
      PrintSetting(store.Read());
      return 0;
    case ProxyApplyResult::kUnavailable:
      std::fprintf(stderr,
                   "no system proxy store: neither the GSettings schema org.gnome.system.proxy "
                   "nor a KDE session\n");
      return 1;
    case ProxyApplyResult::kInvalid:
      std::fprintf(stderr, "not a proxy address ([SCHEME://]HOST:PORT, port 1-65535)\n");
      return 2;
    case ProxyApplyResult::kSocksLogin:
      std::fprintf(stderr, "the desktop's proxy setting keeps no login for a SOCKS proxy\n");
      return 2;
    case ProxyApplyResult::kFailed:
      break;
  }
  std::fprintf(stderr, "the system proxy store (%s) did not keep the change\n",
               store.Name().c_str());
  return 1;
}

// What is wrong with the address of `proxy set`, or empty. The text echoed comes from the
// command line: escaped, so it cannot steer the terminal, and without its password.
std::string AddressError(const std::string& address) {
  const std::string shown = text::EscapeControls(text::MaskPassword(address));
  const std::optional<ProxyAddress> parsed = ParseProxyAddress(address);
  if (!parsed) {
    return "proxy set: not a proxy address ([SCHEME://][USER:PASSWORD@]HOST:PORT, port "
           "1-65535): " +
           shown;
  }
  if (!DesktopCanTake(*parsed)) {
    // GNOME has no keys for it; set without it, the proxy would refuse every connection.
    return "proxy set: the desktop's proxy setting keeps no login for a SOCKS proxy: " + shown;
  }
  return {};
}

// Whether an HTTP proxy carries a CONNECT tunnel to the connectivity host, asked the way the
// window asks before it gives a proxy the desktop's https.
bool Tunnels(const std::string& address, const CommandLineOptions& common) {
  http::FetchClient fetcher(nullptr);
  std::promise<bool> answer;
  std::future<bool> tunnels = answer.get_future();
  const double timeout_s = common.check_timeout_seconds.value_or(kDefaultCheckTimeoutS);
  MakeTunnelProbe(fetcher, common.endpoints.connectivity_host, timeout_s)(
      address, [&answer](bool relayed) { answer.set_value(relayed); });
  return tunnels.get();
}

}  // namespace

int RunProxyCommand(const std::vector<std::string>& args) {
  // "guard" has a body of its own.
  if (!args.empty() && args[0] == "guard") {
    return RunProxyGuardCommand(std::vector<std::string>(args.begin() + 1, args.end()), std::cin);
  }
  SubcommandArgs parsed = ParseSubcommandArgs(args, Invocation::kProxy);
  const std::string usage = UsageOf(Invocation::kProxy);
  if (parsed.common.show_help) {
    std::fputs(HelpOf(Invocation::kProxy).c_str(), stdout);
    return 0;
  }
  const std::vector<std::string>& words = parsed.positional;
  const bool probe = parsed.switches.count(std::string(kNoProbe)) == 0;
  if (parsed.errors.empty()) {
    if (words.empty()) {
      parsed.errors.push_back("proxy: say set HOST:PORT, off, status or guard");
    } else if (words[0] == "set") {
      if (words.size() != 2) {
        parsed.errors.push_back("proxy set: one HOST:PORT expected");
      } else if (std::string error = AddressError(words[1]); !error.empty()) {
        parsed.errors.push_back(std::move(error));
      }
    } else if ((words[0] == "off" || words[0] == "status") && words.size() == 1) {
      if (!probe) parsed.errors.push_back("proxy " + words[0] + ": --no-probe is for proxy set");
    } else {
      parsed.errors.push_back("proxy: unknown or surplus arguments");
    }
  }
  if (!parsed.errors.empty()) return ReportUsageErrors(parsed.errors, usage);

  // Like every run of the program, it settles on its data directory (a per-user one gets its
  // parent made).
  const DataDir data_dir = DataDirectoryOf(parsed.common, RunDirectory());
  if (words[0] == "status") {
    // Only the store is read: no record is consulted and nothing is written.
    const std::unique_ptr<SystemProxy> store = MakeDesktopSystemProxy();
    PrintSetting(store->Read());
    return store->Available() ? 0 : Report(ProxyApplyResult::kUnavailable, *store);
  }
  // No "proxy on" marker (a proxy set here is meant to stay), but the automatic configuration it
  // replaces is recorded all the same, so that `proxy off` puts it back.
  ModeRestoringSystemProxy store(MakeDesktopSystemProxy(), data_dir);
  if (words[0] != "set") return Report(ApplyProxy(store, std::string(), false), store);
  const std::string& address = words[1];
  // An HTTP proxy gets https too only when it has been seen to tunnel; a SOCKS proxy carries
  // everything anyway. The probe comes first, so the store is written once.
  bool tunnels = false;
  if (probe && !ParseProxyAddress(address)->IsSocks() && store.Available()) {
    tunnels = Tunnels(address, parsed.common);
    std::fprintf(stderr, tunnels ? "the proxy tunnels (CONNECT): https goes through it too\n"
                                 : "no CONNECT tunnel through the proxy: https stays direct\n");
  }
  return Report(ApplyProxy(store, address, true, tunnels), store);
}

}  // namespace lumvex::cli
