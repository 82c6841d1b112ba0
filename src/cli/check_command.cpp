#include "cli/check_command.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>

#include "cli/check_every.h"
#include "cli/strict_check_options.h"
#include "cli/subcommand_args.h"
#include "config/command_line.h"
#include "config/flag_values.h"
#include "config/endpoints.h"
#include "config/option_table.h"
#include "http/cookie_store.h"
#include "http/fetch_client.h"
#include "platform/run_directory.h"
#include "proxylist/check_reason.h"
#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "text/text_util.h"
#include "validate/check_protocol.h"
#include "validate/own_address.h"
#include "validate/proxy_check.h"
#include "validate/validation_run.h"

namespace lumvex::cli {
namespace {

// A TSV line ends in the check's reason.
constexpr std::string_view kReasonsSwitch = "--reasons";

// What a printed line says of its proxy.
enum class Verdict { kOk, kFailed, kUnknown };

std::string_view VerdictWord(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk:
      return "ok";
    case Verdict::kFailed:
      return "failed";
    case Verdict::kUnknown:
      break;
  }
  return "unknown";
}

// Prints each verdict as it arrives and counts them; called on the runs' workers. With
// protocols chosen (--protocol), a row is printed once every protocol has its verdict: it passes
// when any worked, and a fourth field (JSON: "protocols") names those that did.
class VerdictPrinter {
 public:
  struct Format {
    bool json = false;     // JSON lines, with each check's status, size and reason as well
    bool judged = false;   // each line ends in the proxy's anonymity (JSON: "anonymity")
    bool reasons = false;  // a TSV line ends in the reason, "-" when none
  };

  // `rows` are the checked rows, in the runs' order; `protocols` those tried on each (empty: the
  // row's own).
  VerdictPrinter(const std::vector<ProxyEntry>& rows, std::vector<CheckProtocol> protocols,
                 std::ostream& out, std::ostream& err, bool progress, Format format)
      : format_(format),
        rows_(rows),
        protocols_(std::move(protocols)),
        out_(out),
        err_(err),
        progress_(progress),
        pending_(rows.size()) {}

  // The verdict of `row` by the `index`-th protocol (0 without protocols).
  void Print(int row, std::size_t index, const CheckState& state) {
    std::lock_guard lock(mutex_);
    Pending& pending = pending_[static_cast<std::size_t>(row)];
    if (protocols_.empty()) {
      PrintLine(row, state, nullptr);
    } else {
      pending.states.resize(protocols_.size());
      pending.states[index] = state;
      if (++pending.arrived < protocols_.size()) return;
      // The line shows the first protocol that worked; when none did, the first the judge kept
      // from an answer (no verdict can be given then), else the first tried.
      std::vector<CheckProtocol> worked;
      const CheckState* shown = &pending.states.front();
      for (std::size_t i = 0; i < protocols_.size(); ++i) {
        if (pending.states[i].Unclassified() && !shown->Unclassified()) shown = &pending.states[i];
      }
      for (std::size_t i = 0; i < protocols_.size(); ++i) {
        if (!pending.states[i].Ok()) continue;
        if (worked.empty()) shown = &pending.states[i];
        worked.push_back(protocols_[i]);
      }
      PrintLine(row, *shown, &worked);
      pending.states = {};
    }
    if (Printed() == rows_.size()) all_done_.notify_all();
  }

  // A line of its own on standard error, said once however many runs send it.
  void NoteOnce(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (std::exchange(noted_, true)) return;
    if (progress_) err_ << '\n';
    err_ << line << std::endl;
  }

  // Waits until every row has its verdict.
  void WaitForAll() {
    std::unique_lock lock(mutex_);
    all_done_.wait(lock, [this] { return Printed() == rows_.size(); });
  }

  // Rows that got no verdict because the judge was busy.
  std::size_t Unknown() const {
    std::lock_guard lock(mutex_);
    return unknown_;
  }

 private:
  struct Pending {
    std::vector<CheckState> states;
    std::size_t arrived = 0;
  };

  // With the mutex held.
  std::size_t Printed() const { return ok_ + failed_ + unknown_; }

  // With the mutex held. `worked`: the protocols that worked, when protocols were chosen.
  void PrintLine(int row, const CheckState& state, const std::vector<CheckProtocol>* worked) {
    const bool ok = worked ? !worked->empty() : state.Ok();
    const Verdict verdict = ok                     ? Verdict::kOk
                            : state.Unclassified() ? Verdict::kUnknown
                                                   : Verdict::kFailed;
    const double seconds = state.seconds;
    char took[32];
    std::snprintf(took, sizeof took, "%.3f", seconds);
    const ProxyEntry& entry = rows_[static_cast<std::size_t>(row)];
    // The address came from a file or the web: nothing in it may steer the terminal.
    const std::string address =
        text::EscapeControls(entry.cells[kColAddress] + ':' + entry.cells[kColPort]);
    const std::string reason =
        ok ? std::string() : CheckReasonText(state.reason, state.http_status);
    if (format_.json) {
      std::string line =
          VerdictJsonLine(address, VerdictWord(verdict), seconds, state.http_status, state.bytes);
      if (worked) line.insert(line.size() - 1, ",\"protocols\":" + JsonNames(*worked));
      if (format_.judged) line.insert(line.size() - 1, AnonymityField(ok, state));
      if (!reason.empty()) line.insert(line.size() - 1, ",\"reason\":" + JsonString(reason));
      if (!ok && !state.detail.empty()) {
        line.insert(line.size() - 1, ",\"detail\":" + JsonString(state.detail));
      }
      out_ << line << std::endl;
    } else {
      out_ << address << '\t' << VerdictWord(verdict) << '\t' << took;
      if (worked) out_ << '\t' << CheckProtocolList(*worked);
      if (format_.judged) out_ << '\t' << AnonymityName(ok ? state.anonymity : Anonymity::kUnknown);
      if (format_.reasons) out_ << '\t' << (reason.empty() ? "-" : reason);
      out_ << std::endl;
    }
    ++(verdict == Verdict::kOk ? ok_ : verdict == Verdict::kFailed ? failed_ : unknown_);
    if (progress_) {
      err_ << "\r" << Printed() << "/" << rows_.size() << " done, " << ok_ << " ok, " << failed_
           << " failed";
      if (unknown_ > 0) err_ << ", " << unknown_ << " judge busy";
      err_ << std::flush;
    }
  }

  static std::string AnonymityField(bool ok, const CheckState& state) {
    return ",\"anonymity\":\"" +
           std::string(AnonymityName(ok ? state.anonymity : Anonymity::kUnknown)) + '"';
  }

  static std::string JsonNames(const std::vector<CheckProtocol>& protocols) {
    std::string names = "[";
    for (const CheckProtocol protocol : protocols) {
      if (names.size() > 1) names += ',';
      names += '"' + std::string(CheckProtocolName(protocol)) + '"';
    }
    return names + "]";
  }

  const Format format_;
  const std::vector<ProxyEntry>& rows_;
  const std::vector<CheckProtocol> protocols_;
  std::ostream& out_;
  std::ostream& err_;
  const bool progress_;
  mutable std::mutex mutex_;
  std::condition_variable all_done_;
  std::vector<Pending> pending_;
  std::size_t ok_ = 0;
  std::size_t failed_ = 0;
  std::size_t unknown_ = 0;
  bool noted_ = false;
};

// The protocols of --protocol: all for "auto", else the one named; empty without the flag.
std::vector<CheckProtocol> ProtocolsOf(const SubcommandArgs& parsed,
                                       std::vector<std::string>& errors) {
  const auto it = parsed.values.find("--protocol");
  if (it == parsed.values.end()) return {};
  if (it->second == "auto") return {std::begin(kAllCheckProtocols), std::end(kAllCheckProtocols)};
  if (const std::optional<CheckProtocol> one = ParseCheckProtocol(it->second)) return {*one};
  errors.push_back("--protocol: auto, http, connect, socks4 or socks5: \"" +
                   text::EscapeControls(it->second) + "\"");
  return {};
}

}  // namespace

int RunCheck(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err, bool progress) {
  SubcommandArgs parsed = ParseSubcommandArgs(args, Invocation::kCheck);
  const std::string usage = UsageOf(Invocation::kCheck);
  if (parsed.common.show_help) {
    out << HelpOf(Invocation::kCheck);
    return 0;
  }
  std::vector<std::string> errors = parsed.errors;
  StrictCheckOptions strict = StrictCheckOptionsOf(parsed, errors);
  if (parsed.positional.size() > 1) errors.push_back("at most one FILE");
  int threads = ValidationRun::kDefaultThreads;
  if (auto it = parsed.values.find("--threads"); it != parsed.values.end()) {
    const std::string& text = it->second;
    if (const std::optional<int> taken = ParseThreadCount(text)) {
      threads = *taken;
    } else {
      errors.push_back("--threads: a number from 1 to " +
                       std::to_string(ValidationRun::kMaxThreads) + ": \"" +
                       text::EscapeControls(text) + "\"");
    }
  }
  const std::vector<CheckProtocol> protocols = ProtocolsOf(parsed, errors);
  std::optional<std::chrono::milliseconds> every;
  if (auto it = parsed.values.find("--every"); it != parsed.values.end()) {
    every = ParseEveryMinutes(it->second);
    if (!every) {
      errors.push_back("--every: a number of minutes above 0: \"" +
                       text::EscapeControls(it->second) + "\"");
    } else if (!protocols.empty()) {
      errors.push_back("--every does not go with --protocol");
    }
  }
  if (!errors.empty()) return ReportUsageErrors(errors, usage, err);

  // Each proxy is checked once, however often the list names it.
  std::optional<std::vector<ProxyEntry>> read = ReadListRows(parsed, in, err, Repeats::kSkip);
  if (!read) return 2;
  std::vector<ProxyEntry> rows = std::move(*read);
  if (rows.empty()) {
    err << "no address:port line to check" << std::endl;
    return 0;
  }

  // Like every run of the program, a check settles on its data directory (a per-user one gets its
  // parent made), though it writes nothing there.
  DataDirectoryOf(parsed.common, RunDirectory());
  // Re-checking forever, the run ends by a signal; no progress line counts towards an end.
  std::optional<EndSignalsBlocked> signals;
  if (every) {
    signals.emplace();
    progress = false;
  }
  VerdictPrinter printer(
      rows, protocols, out, err, progress,
      {strict.json, strict.rule.Judged(), parsed.switches.count(std::string(kReasonsSwitch)) > 0});
  {
    http::CookieStore cookies;
    http::FetchClient fetcher(&cookies);
    const double timeout_s = parsed.common.check_timeout_seconds.value_or(kDefaultCheckTimeoutS);
    // What a transparent proxy would pass on: the address the judge sees without one.
    if (strict.rule.Judged() && strict.rule.own_addresses.empty()) {
      OwnAddressLookup own = LookUpOwnAddresses(fetcher, strict.rule.judge, timeout_s);
      if (own.addresses.empty()) {
        err << "lumvexip check: cannot learn your own address from the judge: " << own.error
            << " (give it with --my-address)" << std::endl;
        fetcher.Close();
        return 1;
      }
      strict.rule.own_addresses = std::move(own.addresses);
    }
    if (every) {
      CheckForever(fetcher, CheckTargetOf(parsed.common.endpoints, timeout_s), strict.rule, rows,
                   threads, *every, *signals,
                   [&printer](int row, const CheckState& state) { printer.Print(row, 0, state); });
      return 0;
    }
    // One run per protocol tried, all at once; together they keep about `threads` checks in
    // flight.
    const std::size_t run_count = std::max<std::size_t>(1, protocols.size());
    const int run_threads =
        static_cast<int>((static_cast<std::size_t>(threads) + run_count - 1) / run_count);
    std::vector<std::unique_ptr<ValidationRun>> runs;
    for (std::size_t i = 0; i < run_count; ++i) {
      CheckTarget target = CheckTargetOf(parsed.common.endpoints, timeout_s);
      if (!protocols.empty()) target.protocol = protocols[i];
      ValidationRun::Events events;
      events.finished = [&printer, i](int row, const CheckState& state) {
        printer.Print(row, i, state);
      };
      events.limited = [&printer](int limit) {
        printer.NoteOnce("too few file descriptors: checking at most " + std::to_string(limit) +
                         " at once");
      };
      runs.push_back(
          std::make_unique<ValidationRun>(fetcher, std::move(target), std::move(events)));
      runs.back()->SetStrictRule(strict.rule);
    }
    for (auto& run : runs) run->Start(rows, run_threads);
    printer.WaitForAll();
    if (progress) err << std::endl;
    if (const std::size_t unknown = printer.Unknown(); unknown > 0) {
      err << "lumvexip check: the judge stayed busy until the deadline: " << unknown
          << " proxies have no verdict (\"unknown\")" << std::endl;
    }
    for (auto& run : runs) run->Stop();
    // Every check has reported; closing the driver ends it before the runs go.
    fetcher.Close();
  }
  return 0;
}

int CheckMain(const std::vector<std::string>& args) {
  return RunCheck(args, std::cin, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}

}  // namespace lumvex::cli
