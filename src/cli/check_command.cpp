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

#include "app/application.h"
#include "app/option_table.h"
#include "cli/headless_prompts.h"
#include "cli/strict_check_options.h"
#include "cli/subcommand_args.h"
#include "platform/headless_ui_thread.h"
#include "platform/run_directory.h"
#include "proxylist/check_state.h"
#include "proxylist/proxy_list_observer.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex::cli {
namespace {

// Prints each verdict as the list receives it and counts them; runs on the UI thread.
class VerdictPrinter : public ProxyListObserver {
 public:
  // With `json`, lines are JSON and show each check's status and size as well.
  VerdictPrinter(ProxyList& list, std::size_t total, std::ostream& out, std::ostream& err,
                 bool progress, bool json = false)
      : json_(json),
        list_(list),
        decided_(total, false),
        out_(out),
        err_(err),
        progress_(progress) {}

  void CellChanged(int row, int column) override {
    if (column != kColType || row < 0 || static_cast<std::size_t>(row) >= decided_.size()) return;
    const auto index = static_cast<std::size_t>(row);
    const CheckState state = list_.GetCheckState(row);
    if (!state.Decided() || decided_[index]) return;
    decided_[index] = true;
    const bool ok = state.Ok();
    const double seconds = state.seconds;
    char took[32];
    std::snprintf(took, sizeof took, "%.3f", seconds);
    // The address came from a file or the web: nothing in it may steer the terminal.
    const std::string address =
        text::EscapeControls(list_.GetCell(row, kColAddress) + ':' + list_.GetCell(row, kColPort));
    if (json_) {
      out_ << VerdictJsonLine(address, ok, seconds, state.http_status, state.bytes) << std::endl;
    } else {
      out_ << address << '\t' << (ok ? "ok" : "failed") << '\t' << took << std::endl;
    }
    ++(ok ? ok_ : failed_);
    if (progress_) {
      err_ << "\r" << ok_ + failed_ << "/" << decided_.size() << " done, " << ok_ << " ok, "
           << failed_ << " failed" << std::flush;
    }
    std::lock_guard lock(mutex_);
    ++done_;
    if (done_ == decided_.size()) all_done_.notify_all();
  }

  // Waits (off the UI thread) until every row has its verdict.
  void WaitForAll() {
    std::unique_lock lock(mutex_);
    all_done_.wait(lock, [this] { return done_ == decided_.size(); });
  }

  void BeginInsertRows(int, int) override {}
  void EndInsertRows() override {}
  void BeginRemoveRows(int, int) override {}
  void EndRemoveRows() override {}
  void BeginReset() override {}
  void EndReset() override {}
  void CurrentOrSelectionChanged() override {}

 private:
  const bool json_;
  ProxyList& list_;
  std::vector<bool> decided_;
  std::ostream& out_;
  std::ostream& err_;
  const bool progress_;
  std::size_t ok_ = 0;
  std::size_t failed_ = 0;
  std::mutex mutex_;
  std::condition_variable all_done_;
  std::size_t done_ = 0;
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
  int threads = ValidationController::kDefaultThreads;
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

  HeadlessUiThread ui;
  HeadlessPrompts prompts;
  ApplicationOptions options = ApplicationOptionsOf(parsed.common, RunDirectory());
  Application app(ui, prompts, options);
  // A check from a script leaves the desktop's proxy setting alone.
  app.Validation().SetSystemProxyOff(nullptr);
  app.Checker().SetStrictRule(strict.rule);
  VerdictPrinter printer(app.List(), rows.size(), out, err, progress, strict.json);
  const std::int64_t total = static_cast<std::int64_t>(rows.size());
  ui.RunSync([&] {
    app.List().AddObserver(&printer);
    app.List().AddRows(std::move(rows));
    app.State().SetCount(Counter::kList, total);
    app.State().SetText(Field::kThreadCount, std::to_string(threads));
    app.Validation().StartValidation();
  });
  printer.WaitForAll();
  if (progress) err << std::endl;
  ui.RunSync([&] {
    app.Validation().StopValidation();
    app.List().RemoveObserver(&printer);
  });
  ui.Close();
  app.Shutdown();
  return 0;
}

int CheckMain(const std::vector<std::string>& args) {
  return RunCheck(args, std::cin, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}

}  // namespace lumvex::cli
