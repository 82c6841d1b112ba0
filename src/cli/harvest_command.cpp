#include "cli/harvest_command.h"

#include <unistd.h>

#include <condition_variable>
#include <iostream>
#include <mutex>
#include <optional>

#include "acquire/harvester.h"
#include "acquire/source_registry.h"
#include "cli/skipped_lines.h"
#include "cli/subcommand_args.h"
#include "config/endpoints.h"
#include "config/option_table.h"
#include "config/url_list_fetch.h"
#include "http/cookie_store.h"
#include "http/curl_global.h"
#include "proxylist/seen_addresses.h"
#include "text/text_util.h"
#include "validate/validation_run.h"

namespace lumvex::cli {
namespace {

// "address:port" of a row taken from the web, safe to print on a terminal.
std::string RowAddress(const ProxyEntry& row) {
  return text::EscapeControls(row.cells[kColAddress] + ':' + row.cells[kColPort]);
}

// The output as a harvest's sink: prints rows as the harvest hands them over and waits for its
// end. The rows printed stand for the list the requested number is measured against.
class RowPrinter : public HarvestSink {
 public:
  RowPrinter(std::ostream& out, std::ostream& err, bool progress)
      : out_(out), err_(err), progress_(progress) {}

  void Running() override {}
  int Append(std::vector<ProxyEntry> rows) override {
    std::lock_guard lock(mutex_);
    for (const ProxyEntry& row : rows) out_ << RowAddress(row) << '\n';
    out_.flush();
    printed_ += rows.size();
    if (progress_ && !rows.empty()) err_ << "\r" << printed_ << " proxies" << std::flush;
    return static_cast<int>(printed_);
  }
  void Progress(int /*count*/) override {}
  void Finished(bool reached) override {
    std::lock_guard lock(mutex_);
    if (!finished_) reached_ = reached;
    finished_ = true;
    done_.notify_all();
  }

  // True when the source could be reached.
  bool WaitFinished() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return finished_; });
    if (progress_) err_ << std::endl;
    return reached_;
  }

 private:
  std::ostream& out_;
  std::ostream& err_;
  const bool progress_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::size_t printed_ = 0;
  bool finished_ = false;
  bool reached_ = false;
};

// "a, b or c": the names of the registered sources.
std::string SourceNames() {
  const std::vector<SourceInfo>& sources = RegisteredSources();
  std::string names;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (i > 0) names += i + 1 == sources.size() ? " or " : ", ";
    names += sources[i].name;
  }
  return names;
}

// `harvest --url`: the list's rows printed as they are read, each proxy once; 0 when rows came,
// 2 for a list that is no text.
int HarvestUrl(const std::string& url, std::ostream& out, std::ostream& err) {
  http::CookieStore cookies;
  http::FetchClient fetcher(&cookies);
  const UrlListFetch list = FetchUrlList(fetcher, url, kUrlListTimeoutS);
  fetcher.Close();
  const std::string shown = text::EscapeControls(url);
  if (!list.fetched) {
    err << shown << ": " << list.error << std::endl;
    return 1;
  }
  // Binary data is refused before anything is printed, as `check` refuses it.
  if (const std::size_t nul = list.bytes.find('\0'); nul != std::string::npos) {
    const AddressReadSummary before = ReadUrlListRows(
        std::string_view(list.bytes).substr(0, nul + 1), [](auto&&) { return true; });
    err << shown << ": NUL byte in line " << before.lines + 1 << ": not a text list" << std::endl;
    return 2;
  }
  SeenAddresses seen;
  SkippedLines skipped(err);
  std::size_t printed = 0;
  const AddressReadSummary summary = ReadUrlListRows(
      list.bytes,
      [&](std::vector<ProxyEntry>&& rows) {
        // `@type;location` lines give a second row for the same proxy.
        if (!seen.FirstTime(rows.front())) {
          skipped.Repeated();
        } else {
          out << RowAddress(rows.front()) << '\n';
          ++printed;
        }
        return true;
      },
      skipped.Sink());
  out.flush();
  skipped.Finish(summary);
  if (list.cut) err << shown << ": the list was cut at 32 MiB; the rest was not read" << std::endl;
  if (printed == 0) {
    err << shown << ": no address:port line" << std::endl;
    return 1;
  }
  return 0;
}

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
    out << HelpOf(Invocation::kHarvest);
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
  if (!url && FindSource(source) == nullptr) errors.push_back("--source: " + SourceNames());
  const std::string count = value("--count").value_or(DefaultText("--count"));
  if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos ||
      count.size() > 9) {
    errors.push_back("--count: a whole number: \"" + text::EscapeControls(count) + "\"");
  }
  std::optional<int> category;
  if (const auto text = value("--category")) {
    if (text->empty() || text->find_first_not_of("-0123456789") != std::string::npos) {
      errors.push_back("--category: a category number: \"" + text::EscapeControls(*text) + "\"");
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
        errors.push_back(std::string(flag) + ": a number from 1: \"" + text::EscapeControls(*text) +
                         "\"");
      }
    }
  }
  if (!parsed.positional.empty()) errors.push_back("no positional arguments");
  if (!errors.empty()) return ReportUsageErrors(errors, usage, err);

  http::EnsureCurlGlobalInit();
  if (url) return HarvestUrl(*url, out, err);

  http::CookieStore cookies;
  http::FetchClient fetcher(&cookies);
  const Endpoints& endpoints = parsed.common.endpoints;
  Harvester harvester(fetcher, &cookies, tuning,
                      [&endpoints](std::string_view name) { return SourceHost(endpoints, name); });
  Source& site = *harvester.Find(source);
  auto printer = std::make_shared<RowPrinter>(out, err, progress);
  const auto finish = [&](int status) {
    // Pacing, waits and threads end at once; then the transfers end.
    harvester.Shutdown();
    fetcher.Close();
    return status;
  };

  HarvestOrder order;
  order.count_text = [count] { return count; };
  order.workers = ValidationRun::kDefaultThreads;
  if (source == "a") {
    if (category) {
      order.choice.data = *category;
    } else {
      const std::optional<std::vector<HarvestChoice>> categories = site.LoadChoices();
      if (!categories || categories->empty() || categories->front().data < 0) {
        err << "source A could not be reached (no category list)" << std::endl;
        return finish(1);
      }
      order.choice = categories->front();
    }
  } else if (source == "b") {
    const std::optional<std::vector<HarvestChoice>> databases = site.LoadChoices();
    if (!databases) {
      err << "source B could not be reached (no database list)" << std::endl;
      return finish(1);
    }
    if (database > static_cast<int>(databases->size())) {
      err << "source B has " << databases->size() << " databases; no database " << database
          << std::endl;
      return finish(1);
    }
    const std::optional<ChoicePages> pages =
        site.LoadPages((*databases)[static_cast<std::size_t>(database - 1)].address);
    const int page_count = pages ? static_cast<int>(pages->addresses.size()) : 0;
    if (page > page_count) {
      err << "database " << database << " lists " << page_count << " pages; no page " << page
          << std::endl;
      return finish(1);
    }
    order.choice.address = pages->addresses[static_cast<std::size_t>(page - 1)];
  }
  site.Start(std::move(order), printer);
  const bool reached = printer->WaitFinished();
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
