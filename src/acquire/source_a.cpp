#include "acquire/source_a.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

#include "acquire/regex_replace_all.h"
#include "text/text_util.h"

namespace lumvex::source_a {
namespace {

// Every match of either pattern begins with these bytes. The category pattern's "." after
// "proxy_ip" matches any character, so its literal start ends before it.
constexpr std::string_view kCategoryStart = "<li><a href=\"proxy_ip";
constexpr std::string_view kRowStart = "<tr>";

}  // namespace

std::string CategoryListUrl(std::string_view host) {
  return "http://" + std::string(host) + "/proxy_ipList.html?pageid=1";
}

std::string TablePageUrl(std::string_view host, int category_id, int page) {
  return "http://" + std::string(host) + "/proxy_ip.html?id=" + text::FormatInt(category_id) +
         "&pageid=" + text::FormatInt(page);
}

std::vector<Category> ParseCategories(std::string_view page, const ScanLimits& limits) {
  std::vector<Category> categories;
  ScanBounded(kCategoryPattern, kCategoryStart, page, limits,
              [&](const RegexHelper& helper, int i) {
                const double id = text::AtoF(helper.SubMatchText(i, 1));
                Category category;
                // The integer of the number, truncated toward zero, kept inside the int range.
                if (std::isfinite(id) && id < std::numeric_limits<int>::max() &&
                    id > std::numeric_limits<int>::min()) {
                  category.id = static_cast<int>(id);
                }
                category.title = helper.SubMatchText(i, 2);
                categories.push_back(std::move(category));
              });
  return categories;
}

std::vector<ProxyEntry> ParseTableRows(std::string_view page, const ScanLimits& limits,
                                       bool* complete) {
  std::vector<ProxyEntry> rows;
  const bool whole =
      ScanBounded(kRowPattern, kRowStart, page, limits, [&](const RegexHelper& helper, int i) {
        ProxyEntry row;
        row.cells[kColAddress] = helper.SubMatchText(i, 1);
        row.cells[kColPort] = helper.SubMatchText(i, 2);
        row.cells[kColType] = helper.SubMatchText(i, 3);
        row.cells[kColSpeed] = SpeedSeconds(helper.SubMatchText(i, 6));
        row.cells[kColLocation] = helper.SubMatchText(i, 4);
        row.cells[kColSurvival] = helper.SubMatchText(i, 7);
        rows.push_back(std::move(row));
      });
  if (complete != nullptr) *complete = whole;
  return rows;
}

std::string SpeedSeconds(std::string_view cell) {
  std::string speed = RegexReplaceAll(cell, "秒", "");
  speed = RegexReplaceAll(speed, "毫", "");
  speed = RegexReplaceAll(speed, "钟", "");
  return text::FormatReal(text::AtoF(speed) / 1000);
}

std::string CategoryCountCaption(std::string_view entry_text) {
  std::string count;
  const std::size_t left = text::Find(entry_text, "（");
  if (left != std::string_view::npos) {
    const std::size_t from = left + std::string_view("（").size();
    const std::size_t right = text::Find(entry_text, "）", from);
    if (right != std::string_view::npos) count = entry_text.substr(from, right - from);
  }
  return "当前数据库共有IP： " + count + " 个";
}

int PageCount(std::string_view fetch_count_text) {
  const double pages = text::AtoF(fetch_count_text) / kRowsPerPage;
  // Far beyond any real request; keeps the conversion defined for absurd input.
  constexpr double kMostPages = 1000000;
  if (!(pages > 0)) return 1;
  if (pages >= kMostPages) return static_cast<int>(kMostPages) + 1;
  return static_cast<int>(pages) + 1;
}

bool CountReached(int list_count, std::string_view fetch_count_text) {
  return list_count - text::AtoF(fetch_count_text) >= -0.0000001;
}

}  // namespace lumvex::source_a

namespace lumvex {

std::optional<std::vector<HarvestChoice>> SourceASite::LoadChoices() {
  http::FetchOptions options;
  options.body_encoding = http::kBodyUtf8;
  const std::optional<http::FetchResult> page =
      context_.cancel.FetchPage(context_.fetcher, source_a::CategoryListUrl(host_), options);
  if (!page) return std::nullopt;
  std::vector<HarvestChoice> choices;
  for (source_a::Category& category : source_a::ParseCategories(page->body, context_.Limits())) {
    choices.push_back(HarvestChoice{std::move(category.title), category.id, {}});
  }
  if (context_.cancel.Raised()) return std::nullopt;
  return choices;
}

void SourceASite::Start(HarvestOrder order, std::shared_ptr<HarvestSink> sink) {
  const int workers = std::max(1, order.workers);
  auto run = std::make_shared<Run>();
  const int pages = source_a::PageCount(order.count_text());
  for (int page = 1; page <= pages; ++page) {
    run->urls.push_back(source_a::TablePageUrl(host_, order.choice.data, page));
  }
  run->count_text = std::move(order.count_text);
  run->sink = std::move(sink);
  std::shared_ptr<Round> round;
  {
    std::lock_guard lock(mutex_);
    if (context_.cancel.Raised()) return;
    // A harvest started while another runs joins its round and keeps that round's limit.
    if (!round_) {
      round_ = std::make_shared<Round>();
      round_->limit = workers;
    }
    round = round_;
    round->runs.push_back(run);
  }
  const std::uint64_t schedule =
      context_.pacer.Add(pages, [this, round, run](int page) { return Submit(round, run, page); });
  std::lock_guard lock(mutex_);
  run->schedule = schedule;
}

bool SourceASite::Submit(const std::shared_ptr<Round>& round, const std::shared_ptr<Run>& run,
                         int page) {
  {
    std::lock_guard lock(mutex_);
    // Ended (by its own page or by another harvest of its round): the rest is dropped.
    if (run->finished || round->stopped || context_.cancel.Raised()) return false;
    if (round->in_flight >= round->limit) {
      round->waiting.emplace_back(run, page);
      return true;
    }
    ++round->in_flight;
  }
  Send(round, run, page);
  return true;
}

void SourceASite::Send(const std::shared_ptr<Round>& round, const std::shared_ptr<Run>& run,
                       int page) {
  http::FetchOptions options;
  options.body_encoding = http::kBodyUtf8;
  options.timeout_s = context_.tuning.page_timeout_s;
  std::string url = run->urls[static_cast<std::size_t>(page) - 1];
  // The completion holds the round and the harvest it belongs to, and nothing else of this
  // source before the watch lets it begin: one that arrives after a harvest ended, or after a
  // newer one started, can only ever act on its own.
  context_.fetcher.FetchPageAsync(
      url, options,
      [this, round, run, watch = context_.cancel.Watcher()](http::FetchResult fetched) {
        if (!watch.Begin()) return;  // exit: the source may be gone
        PageDone(round, run, fetched);
        watch.End();
      });
}

void SourceASite::PageDone(const std::shared_ptr<Round>& round, const std::shared_ptr<Run>& run,
                           const http::FetchResult& fetched) {
  if (!fetched.timed_out && !fetched.body.empty()) run->reached.fetch_add(1);
  std::vector<ProxyEntry> rows = source_a::ParseTableRows(fetched.body, context_.Limits());
  if (context_.cancel.Raised()) return;
  // A page of an ended harvest still adds its rows, as a page being fetched when it ended.
  const int count = run->sink->Append(std::move(rows));
  run->sink->Progress(count);
  const bool all_processed = run->processed.fetch_add(1) + 1 >= static_cast<int>(run->urls.size());
  // The completion test after every page; a harvest whose pages all ended below the requested
  // number completes as well, so its controls do not stay disabled.
  if ((source_a::CountReached(count, run->count_text()) || all_processed) &&
      EndRound(round, *run)) {
    run->sink->Finished(run->reached.load() > 0);
  }
  // Its place in flight goes to the round's next waiting page (none once the round ended).
  std::shared_ptr<Run> next;
  int page = 0;
  {
    std::lock_guard lock(mutex_);
    --round->in_flight;
    if (round->stopped || context_.cancel.Raised() || round->waiting.empty() ||
        round->in_flight >= round->limit) {
      return;
    }
    std::tie(next, page) = std::move(round->waiting.front());
    round->waiting.pop_front();
    ++round->in_flight;
  }
  Send(round, next, page);
}

bool SourceASite::EndRound(const std::shared_ptr<Round>& round, Run& run) {
  std::vector<std::uint64_t> schedules;
  {
    std::lock_guard lock(mutex_);
    // Only the first page to find its harvest complete ends it, and never once its round has
    // ended: a second end would re-enable the controls under a harvest started since.
    if (run.finished) return false;
    // The end of one harvest ends its round: the others in it stop as well, without an end of
    // their own (their waiting pages dropped), and the next start begins a round afresh.
    round->stopped = true;
    round->waiting.clear();
    for (const std::shared_ptr<Run>& member : round->runs) {
      member->finished = true;
      schedules.push_back(member->schedule);
    }
    round->runs.clear();
    if (round_ == round) round_.reset();
  }
  for (const std::uint64_t schedule : schedules) context_.pacer.Cancel(schedule);
  return true;
}

}  // namespace lumvex
