#include "cli/proxy_command.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/option_table.h"
#include "cli/proxy_guard_command.h"
#include "cli/subcommand_args.h"
#include "platform/run_directory.h"
#include "sysproxy/desktop_system_proxy.h"
#include "sysproxy/mode_restoring_system_proxy.h"
#include "sysproxy/proxy_address.h"
#include "sysproxy/proxy_apply.h"

namespace lumvex::cli {
namespace {

void PrintSetting(const SystemProxySetting& setting) {
  if (setting.enabled) {
    std::printf("on %s\n", ProxyAddress{setting.host, setting.port, setting.socks}.Text().c_str());
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
    case ProxyApplyResult::kFailed:
      break;
  }
  std::fprintf(stderr, "the system proxy store (%s) did not keep the change\n",
               store.Name().c_str());
  return 1;
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
  if (parsed.errors.empty()) {
    if (words.empty()) {
      parsed.errors.push_back("proxy: say set HOST:PORT, off, status or guard");
    } else if (words[0] == "set") {
      if (words.size() != 2) {
        parsed.errors.push_back("proxy set: one HOST:PORT expected");
      } else if (!ParseProxyAddress(words[1])) {
        parsed.errors.push_back(
            "proxy set: not a proxy address ([SCHEME://]HOST:PORT, port 1-65535): " + words[1]);
      }
    } else if ((words[0] == "off" || words[0] == "status") && words.size() == 1) {
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
  // replaces is recorded all the same, so that `proxy off` puts it back. An HTTP proxy set here is
  // not checked, so it is not known to tunnel: it serves http only.
  ModeRestoringSystemProxy store(MakeDesktopSystemProxy(), data_dir);
  const bool enable = words[0] == "set";
  return Report(ApplyProxy(store, enable ? words[1] : std::string(), enable), store);
}

}  // namespace lumvex::cli
