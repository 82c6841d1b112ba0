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

#include "cli/check_session.h"
#include "cli/check_every.h"
#include "cli/strict_check_options.h"
#include "cli/subcommand_args.h"
#include "config/command_line.h"
#include "config/flag_values.h"
#include "config/endpoints.h"
#include "config/option_table.h"
#include "history/history_store.h"
#include "platform/run_directory.h"
#include "proxylist/check_reason.h"
#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "settings/data_dir.h"
#include "text/text_util.h"
#include "validate/check_protocol.h"
#include "validate/proxy_check.h"
#include "validate/validation_run.h"

namespace lumvex::cli {
namespace {

// A TSV line ends in the check's reason.
constexpr std::string_view kReasonsSwitch = "--reasons";
// Nothing is recorded in the data directory's check history.
constexpr std::string_view kNoHistorySwitch = "--no-history";

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
  // row's own). Verdicts are recorded in `history` when there is one; a JSON line then gives the
  // proxy's success rate and checks, this one counted.
  VerdictPrinter(const std::vector<ProxyEntry>& rows, std::vector<CheckProtocol> protocols,
                 std::ostream& out, std::ostream& err, bool progress, Format format,
                 HistoryStore* history)
      : format_(format),
        history_(history),
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
    const std::string proxy = entry.cells[kColAddress] + ':' + entry.cells[kColPort];
    if (history_ && verdict != Verdict::kUnknown) {
      history_->RecordCheck(proxy, ok, static_cast<int>(state.reason), state.http_status, seconds);
    }
    if (format_.json) {
      std::string line =
          VerdictJsonLine(address, VerdictWord(verdict), seconds, state.http_status, state.bytes);
      if (history_) line.insert(line.size() - 1, HistoryFields(proxy));
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

  // ",\"success_rate\":0.75,\"checks\":4"; empty when the proxy has no history.
  std::string HistoryFields(const std::string& proxy) const {
    history_->WaitUntilLoaded();
    const std::optional<ProxyHealth> health = history_->HealthOf(proxy);
    if (!health) return {};
    char fields[96];
    std::snprintf(fields, sizeof fields, ",\"success_rate\":%.4g,\"checks\":%d",
                  health->SuccessRate(), health->checks);
    return fields;
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
  HistoryStore* const history_;
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
  const int threads = ThreadsOf(parsed, errors);
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
  // parent made); its verdicts go to the check history there.
  const DataDir data_dir = DataDirectoryOf(parsed.common, RunDirectory());
  std::unique_ptr<HistoryStore> history;
  if (parsed.switches.count(std::string(kNoHistorySwitch)) == 0) {
    history = std::make_unique<HistoryStore>(HistoryPath(data_dir));
  }
  // Re-checking forever, the run ends by a signal; no progress line counts towards an end.
  std::optional<EndSignalsBlocked> signals;
  if (every) {
    signals.emplace();
    progress = false;
  }
  VerdictPrinter printer(
      rows, protocols, out, err, progress,
      {strict.json, strict.rule.Judged(), parsed.switches.count(std::string(kReasonsSwitch)) > 0},
      history.get());
  {
    const double timeout_s = parsed.common.check_timeout_seconds.value_or(kDefaultCheckTimeoutS);
    CheckSession checks(
        parsed.common.endpoints, timeout_s, strict.rule, protocols,
        [&printer](int row, std::size_t index, const CheckState& state) {
          printer.Print(row, index, state);
        },
        [&printer](int limit) {
          printer.NoteOnce("too few file descriptors: checking at most " + std::to_string(limit) +
                           " at once");
        });
    if (const std::optional<std::string> error = checks.LearnOwnAddresses()) {
      err << "lumvexip check: cannot learn your own address from the judge: " << *error
          << " (give it with --my-address)" << std::endl;
      checks.Close();
      return 1;
    }
    if (every) {
      CheckForever(checks.Fetcher(), CheckTargetOf(parsed.common.endpoints, timeout_s),
                   checks.Rule(), rows, threads, *every, *signals,
                   [&printer](int row, const CheckState& state) { printer.Print(row, 0, state); });
      checks.Close();
      if (history) history->Close();
      return 0;
    }
    checks.Start(rows, threads);
    printer.WaitForAll();
    if (progress) err << std::endl;
    if (const std::size_t unknown = printer.Unknown(); unknown > 0) {
      err << "lumvexip check: the judge stayed busy until the deadline: " << unknown
          << " proxies have no verdict (\"unknown\")" << std::endl;
    }
    checks.Close();
  }
  if (history) history->Close();
  return 0;
}

int CheckMain(const std::vector<std::string>& args) {
  return RunCheck(args, std::cin, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}

}  // namespace lumvex::cli
