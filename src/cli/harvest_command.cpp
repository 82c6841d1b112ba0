#include "cli/harvest_command.h"

#include <unistd.h>

#include <condition_variable>
#include <iostream>
#include <mutex>
#include <optional>

#include "app/application.h"
#include "app/option_table.h"
#include "app/window_events.h"
#include "cli/headless_prompts.h"
#include "cli/subcommand_args.h"
#include "http/curl_global.h"
#include "platform/headless_ui_thread.h"
#include "platform/run_directory.h"
#include "text/text_util.h"

namespace lumvex::cli {
namespace {

// "address:port" of a row taken from the web, safe to print on a terminal.
std::string RowAddress(const ProxyEntry& row) {
  return text::EscapeControls(row.cells[kColAddress] + ':' + row.cells[kColPort]);
}

// Prints rows as the harvest appends them and waits for its end.
class RowPrinter {
 public:
  RowPrinter(std::ostream& out, std::ostream& err, bool progress)
      : out_(out), err_(err), progress_(progress) {}

  HarvestEvents Events() {
    HarvestEvents events;
    events.on_rows = [this](const std::vector<ProxyEntry>& rows) { Print(rows); };
    events.on_finished = [this](bool reached) {
      std::lock_guard lock(mutex_);
      if (!finished_) reached_ = reached;
      finished_ = true;
      done_.notify_all();
    };
    return events;
  }

  // True when the source could be reached.
  bool WaitFinished() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return finished_; });
    if (progress_) err_ << std::endl;
    return reached_;
  }

 private:
  void Print(const std::vector<ProxyEntry>& rows) {
    std::lock_guard lock(mutex_);
    for (const ProxyEntry& row : rows) out_ << RowAddress(row) << '\n';
    out_.flush();
    printed_ += rows.size();
    if (progress_) err_ << "\r" << printed_ << " proxies" << std::flush;
  }

  std::ostream& out_;
  std::ostream& err_;
  const bool progress_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::size_t printed_ = 0;
  bool finished_ = false;
  bool reached_ = false;
};

// A whole positive number as typed, or nullopt.
std::optional<int> PositiveNumber(const std::string& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int value = text::AtoI(text);
  return value >= 1 ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

int RunHarvest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progress, const HarvestTuning& tuning) {
  SubcommandArgs parsed = ParseSubcommandArgs(args, Invocation::kHarvest);
  const std::string usage = UsageOf(Invocation::kHarvest);
  if (parsed.common.show_help) {
    out << "Usage: " << usage << '\n';
    return 0;
  }
  std::vector<std::string> errors = parsed.errors;
  const auto value = [&parsed](const char* name) -> std::optional<std::string> {
    const auto it = parsed.values.find(name);
    return it == parsed.values.end() ? std::nullopt : std::optional<std::string>(it->second);
  };
  const std::string source = value("--source").value_or("");
  // --url ADDRESS: a plain-text list of address:port lines, as the list menu imports it.
  const std::optional<std::string> url = value("--url");
  if (url && url->empty()) errors.push_back("--url: an address");
  if (url && !source.empty()) errors.push_back("--url and --source: one or the other");
  if (!url && source != "a" && source != "b" && source != "c") {
    errors.push_back("--source: a, b or c");
  }
  const std::string count = value("--count").value_or(DefaultText("--count"));
  if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos ||
      count.size() > 9) {
    errors.push_back("--count: a whole number: \"" + count + "\"");
  }
  std::optional<int> category;
  if (const auto text = value("--category")) {
    if (text->empty() || text->find_first_not_of("-0123456789") != std::string::npos) {
      errors.push_back("--category: a category number: \"" + *text + "\"");
    } else {
      category = text::AtoI(*text);
    }
  }
  int database = 1;
  int page = 1;
  for (auto [flag, slot] : {std::pair{"--database", &database}, std::pair{"--page", &page}}) {
    if (const auto text = value(flag)) {
      if (const auto number = PositiveNumber(*text)) {
        *slot = *number;
      } else {
        errors.push_back(std::string(flag) + ": a number from 1: \"" + *text + "\"");
      }
    }
  }
  if (!parsed.positional.empty()) errors.push_back("no positional arguments");
  if (!errors.empty()) return ReportUsageErrors(errors, usage);

  http::EnsureCurlGlobalInit();
  HeadlessUiThread ui;
  HeadlessPrompts prompts;
  ApplicationOptions options = ApplicationOptionsOf(parsed.common, RunDirectory());
  options.harvest = tuning;
  Application app(ui, prompts, options);
  HarvestController& harvest = app.Harvest();
  RowPrinter printer(out, err, progress);
  harvest.SetEvents(printer.Events());
  const auto finish = [&](int status) {
    ui.Close();
    app.Shutdown();
    return status;
  };

  if (url) {
    const UrlImportResult result = app.UrlImport().Import(*url);
    for (const ProxyEntry& row : result.added) out << RowAddress(row) << '\n';
    out.flush();
    const std::string shown = text::EscapeControls(*url);
    if (result.cut) {
      err << shown << ": the list was cut at 32 MiB; the rest was not read" << std::endl;
    }
    if (!result.Worked()) err << shown << ": " << result.error << std::endl;
    return finish(result.Worked() ? 0 : 1);
  }
  if (source == "a") {
    if (category) {
      harvest.SetCurrentCategoryId(*category);
    } else {
      harvest.LoadSourceACategories();
      if (harvest.CurrentCategoryId() < 0) {
        err << "source A could not be reached (no category list)" << std::endl;
        return finish(1);
      }
    }
    ui.RunSync([&] {
      app.State().SetText(Field::kFetchCount, count);
      Announce(app.State(), WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceA});
      harvest.StartHarvest();
    });
  } else if (source == "b") {
    if (!harvest.LoadSourceBDatabases()) {
      err << "source B could not be reached (no database list)" << std::endl;
      return finish(1);
    }
    const int databases = static_cast<int>(app.State().Get(Combo::kSourceBDatabases).items.size());
    if (database > databases) {
      err << "source B has " << databases << " databases; no database " << database << std::endl;
      return finish(1);
    }
    if (database != 1) {
      ui.RunSync([&] {
        app.State().SetChosen(Combo::kSourceBDatabases, database - 1);
        harvest.OnDatabaseChosen();
      });
    }
    harvest.WaitThreadsIdle(std::chrono::hours(1));
    const int pages = static_cast<int>(harvest.SourceBPageTable().size());
    if (page > pages) {
      err << "database " << database << " lists " << pages << " pages; no page " << page
          << std::endl;
      return finish(1);
    }
    ui.RunSync([&] {
      app.State().SetChosen(Combo::kSourceBPages, page - 1);
      Announce(app.State(), WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceB});
      harvest.StartHarvest();
    });
  } else {
    ui.RunSync([&] { harvest.StartAnyCountryHarvest(); });
  }
  const bool reached = printer.WaitFinished();
  if (!reached) err << "source " << source << " could not be reached" << std::endl;
  return finish(reached ? 0 : 1);
}

int HarvestMain(const std::vector<std::string>& args) {
  HarvestTuning tuning;
  // A script gets an answer: the database list is tried a few times, not for ever.
  tuning.database_attempts = 4;
  return RunHarvest(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, tuning);
}

}  // namespace lumvex::cli
