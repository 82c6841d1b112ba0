#include "cli/history_command.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "cli/subcommand_args.h"
#include "config/option_table.h"
#include "history/history_db.h"
#include "history/history_key.h"
#include "history/history_store.h"
#include "history/recent_results.h"
#include "platform/run_directory.h"
#include "proxylist/check_reason.h"
#include "settings/data_dir.h"
#include "text/text_util.h"

namespace lumvex::cli {
namespace {

constexpr int kMostTop = 1000000;

// Unix seconds as local time, "2026-12-10T15:04:05"; "-" for 0 (never).
std::string LocalTime(std::int64_t seconds) {
  if (seconds <= 0) return "-";
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&time, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

std::string Fixed(double value, int digits) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

std::string ReasonOf(const HistoryRecord& record) {
  if (record.ok) return "-";
  const std::optional<CheckReason> reason = CheckReasonOf(record.reason);
  const std::string words = reason ? CheckReasonText(*reason, record.http_status) : std::string();
  return words.empty() ? "-" : words;
}

int ShowOne(HistoryDb& db, const std::string& address, std::ostream& out, std::ostream& err) {
  std::vector<HistoryRecord> records;
  const HistoryDb::Result result =
      db.RecordsOf(HistoryKey(address), HistoryLimits{}.per_proxy, records);
  if (result != HistoryDb::Result::kOk) {
    err << "lumvexip history: the check history cannot be read: " << db.LastError() << std::endl;
    return 1;
  }
  if (records.empty()) {
    err << "lumvexip history: no record of " << text::EscapeControls(address) << std::endl;
    return 1;
  }
  RecentResults recent;
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    recent.Add(it->ok, it->seconds, it->time_ms / 1000, HistoryLimits{}.per_proxy);
  }
  for (const HistoryRecord& record : records) {
    out << LocalTime(record.time_ms / 1000) << '\t' << HistoryKindName(record.kind) << '\t'
        << (record.ok ? "ok" : "failed") << '\t' << ReasonOf(record) << '\t'
        << Fixed(record.seconds, 3) << '\n';
  }
  const ProxyHealth health = recent.Health();
  out << health.checks << " checks, success rate " << Fixed(100 * health.SuccessRate(), 1)
      << "%, median " << Fixed(health.median_seconds, 3) << " s, last success "
      << LocalTime(health.last_success) << ", score "
      << Fixed(HealthScore(health, HistoryNowMs() / 1000), 2) << std::endl;
  return 0;
}

int ShowTop(HistoryDb& db, int count, std::ostream& out, std::ostream& err) {
  std::map<std::string, RecentResults> all;
  const HistoryDb::Result result = db.ForEach([&](const std::string& key, const HistoryRecord& r) {
    all[key].Add(r.ok, r.seconds, r.time_ms / 1000, HistoryLimits{}.per_proxy);
  });
  if (result != HistoryDb::Result::kOk) {
    err << "lumvexip history: the check history cannot be read: " << db.LastError() << std::endl;
    return 1;
  }
  if (all.empty()) {
    err << "lumvexip history: the check history is empty" << std::endl;
    return 1;
  }
  const std::int64_t now = HistoryNowMs() / 1000;
  struct Ranked {
    const std::string* address;
    ProxyHealth health;
    double score;
  };
  std::vector<Ranked> ranked;
  for (const auto& [key, recent] : all) {
    const ProxyHealth health = recent.Health();
    ranked.push_back({&key, health, HealthScore(health, now)});
  }
  // The best first; equal scores in the order of their addresses.
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const Ranked& a, const Ranked& b) { return a.score > b.score; });
  if (ranked.size() > static_cast<std::size_t>(count)) ranked.resize(static_cast<std::size_t>(count));
  for (const Ranked& one : ranked) {
    out << text::EscapeControls(*one.address) << '\t' << Fixed(one.score, 2) << '\t'
        << Fixed(one.health.SuccessRate(), 3) << '\t' << one.health.checks << '\t'
        << Fixed(one.health.median_seconds, 3) << '\t' << LocalTime(one.health.last_success)
        << '\n';
  }
  out << std::flush;
  return 0;
}

}  // namespace

int RunHistory(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const SubcommandArgs parsed = ParseSubcommandArgs(args, Invocation::kHistory);
  const std::string usage = UsageOf(Invocation::kHistory);
  if (parsed.common.show_help) {
    out << HelpOf(Invocation::kHistory);
    return 0;
  }
  std::vector<std::string> errors = parsed.errors;
  std::optional<int> top;
  if (const auto it = parsed.values.find("--top"); it != parsed.values.end()) {
    const std::string& text = it->second;
    const bool digits = !text.empty() && text.size() <= 7 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    if (digits && text::AtoI(text) >= 1 && text::AtoI(text) <= kMostTop) {
      top = text::AtoI(text);
    } else {
      errors.push_back("--top: a whole number from 1 to " + std::to_string(kMostTop) + ": \"" +
                       text::EscapeControls(text) + "\"");
    }
  }
  if (top && !parsed.positional.empty()) errors.push_back("either ADDRESS or --top, not both");
  if (!top && parsed.values.count("--top") == 0 && parsed.positional.size() != 1) {
    errors.push_back("one ADDRESS, or --top N");
  }
  if (!errors.empty()) return ReportUsageErrors(errors, usage, err);

  const DataDir data_dir = DataDirectoryOf(parsed.common, RunDirectory());
  HistoryDb::Result result = HistoryDb::Result::kOk;
  std::string error;
  const std::unique_ptr<HistoryDb> db = HistoryDb::Open(HistoryPath(data_dir), false, result, error);
  if (!db) {
    if (result == HistoryDb::Result::kMissing) {
      err << "lumvexip history: no check history in " << data_dir.Path() << std::endl;
    } else {
      err << "lumvexip history: the check history cannot be read: " << error << std::endl;
    }
    return 1;
  }
  return top ? ShowTop(*db, *top, out, err) : ShowOne(*db, parsed.positional.front(), out, err);
}

int HistoryMain(const std::vector<std::string>& args) {
  return RunHistory(args, std::cout, std::cerr);
}

}  // namespace lumvex::cli
