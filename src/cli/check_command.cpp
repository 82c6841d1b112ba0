#include "cli/check_command.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string_view>

#include "app/command_line.h"
#include "app/endpoints.h"
#include "app/option_table.h"
#include "cli/strict_check_options.h"
#include "cli/subcommand_args.h"
#include "http/cookie_store.h"
#include "http/fetch_client.h"
#include "platform/run_directory.h"
#include "platform/worker_pool.h"
#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "text/text_util.h"
#include "validate/proxy_check.h"
#include "validate/validation_run.h"

namespace lumvex::cli {
namespace {

// Prints each verdict as it arrives and counts them; called on the run's workers.
class VerdictPrinter {
 public:
  // `rows` are the checked rows, in the run's order. With `json`, lines are JSON and show each
  // check's status and size as well.
  VerdictPrinter(const std::vector<ProxyEntry>& rows, std::ostream& out, std::ostream& err,
                 bool progress, bool json)
      : json_(json), rows_(rows), out_(out), err_(err), progress_(progress) {}

  void Print(int row, const CheckState& state) {
    const bool ok = state.Ok();
    const double seconds = state.seconds;
    char took[32];
    std::snprintf(took, sizeof took, "%.3f", seconds);
    const ProxyEntry& entry = rows_[static_cast<std::size_t>(row)];
    // The address came from a file or the web: nothing in it may steer the terminal.
    const std::string address =
        text::EscapeControls(entry.cells[kColAddress] + ':' + entry.cells[kColPort]);
    std::lock_guard lock(mutex_);
    if (json_) {
      out_ << VerdictJsonLine(address, ok, seconds, state.http_status, state.bytes) << std::endl;
    } else {
      out_ << address << '\t' << (ok ? "ok" : "failed") << '\t' << took << std::endl;
    }
    ++(ok ? ok_ : failed_);
    if (progress_) {
      err_ << "\r" << ok_ + failed_ << "/" << rows_.size() << " done, " << ok_ << " ok, " << failed_
           << " failed" << std::flush;
    }
    if (ok_ + failed_ == rows_.size()) all_done_.notify_all();
  }

  // Waits until every row has its verdict.
  void WaitForAll() {
    std::unique_lock lock(mutex_);
    all_done_.wait(lock, [this] { return ok_ + failed_ == rows_.size(); });
  }

 private:
  const bool json_;
  const std::vector<ProxyEntry>& rows_;
  std::ostream& out_;
  std::ostream& err_;
  const bool progress_;
  std::mutex mutex_;
  std::condition_variable all_done_;
  std::size_t ok_ = 0;
  std::size_t failed_ = 0;
};

}  // namespace

int RunCheck(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err, bool progress) {
  SubcommandArgs parsed = ParseSubcommandArgs(args, Invocation::kCheck);
  const std::string usage = UsageOf(Invocation::kCheck);
  if (parsed.common.show_help) {
    out << "Usage: " << usage << '\n';
    return 0;
  }
  std::vector<std::string> errors = parsed.errors;
  const StrictCheckOptions strict = StrictCheckOptionsOf(parsed, errors);
  if (parsed.positional.size() > 1) errors.push_back("at most one FILE");
  int threads = ValidationRun::kDefaultThreads;
  if (auto it = parsed.values.find("--threads"); it != parsed.values.end()) {
    const std::string& text = it->second;
    threads = text.find_first_not_of("0123456789") == std::string::npos && !text.empty() &&
                      text.size() <= 5
                  ? text::AtoI(text)
                  : 0;
    if (threads < 1 || threads > WorkerPool::kMaxThreads) {
      errors.push_back("--threads: a number from 1 to " + std::to_string(WorkerPool::kMaxThreads) +
                       ": \"" + text + "\"");
    }
  }
  if (!errors.empty()) return ReportUsageErrors(errors, usage);

  std::optional<std::vector<ProxyEntry>> read = ReadListRows(parsed, in, err);
  if (!read) return 2;
  std::vector<ProxyEntry> rows = std::move(*read);
  if (rows.empty()) {
    err << "no address:port line to check" << std::endl;
    return 0;
  }

  // Like every run of the program, a check settles on its data directory (a per-user one gets its
  // parent made), though it writes nothing there.
  DataDirectoryOf(parsed.common, RunDirectory());
  VerdictPrinter printer(rows, out, err, progress, strict.json);
  {
    http::CookieStore cookies;
    http::FetchClient fetcher(&cookies);
    WorkerPool pool;
    const double timeout_s = parsed.common.check_timeout_seconds.value_or(kDefaultCheckTimeoutS);
    ValidationRun::Events events;
    events.finished = [&printer](int row, const CheckState& state) { printer.Print(row, state); };
    ValidationRun run(pool, fetcher, CheckTargetOf(parsed.common.endpoints, timeout_s),
                      std::move(events));
    run.SetStrictRule(strict.rule);
    run.Start(rows, threads);
    printer.WaitForAll();
    if (progress) err << std::endl;
    run.Stop();
    // Every check has reported: the workers are idle and end at once.
    fetcher.Close();
    pool.Shutdown(1000);
  }
  return 0;
}

int CheckMain(const std::vector<std::string>& args) {
  return RunCheck(args, std::cin, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}

}  // namespace lumvex::cli
