#include "acquire/source_a.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

namespace {

// A pool task value: the harvest's serial in the high bits, the page number in the low 20.
constexpr int kPageBits = 20;
constexpr std::uint32_t kPageMask = (1u << kPageBits) - 1;
constexpr std::uint32_t kSerialMask = (1u << (31 - kPageBits)) - 1;

}  // namespace

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
  // Fails while the pool still runs (an earlier harvest): the pages then go to that pool.
  context_.pool.Create(workers, [this](std::int32_t task) { PageTask(task); });
  auto run = std::make_shared<Run>();
  const int pages = source_a::PageCount(order.count_text());
  for (int page = 1; page <= pages; ++page) {
    run->urls.push_back(source_a::TablePageUrl(host_, order.choice.data, page));
  }
  run->count_text = std::move(order.count_text);
  run->sink = std::move(sink);
  {
    std::lock_guard lock(mutex_);
    if (context_.cancel.Raised()) return;
    run->serial = next_serial_ = (next_serial_ + 1) & kSerialMask;
    runs_[run->serial] = run;
  }
  const std::uint32_t serial = run->serial;
  run->schedule = context_.pacer.Add(pages, [this, serial](int page) {
    const std::shared_ptr<Run> paced = FindRun(serial);
    if (!paced || paced->finished.load()) return false;
    const auto task = static_cast<std::int32_t>((serial << kPageBits) |
                                                (static_cast<std::uint32_t>(page) & kPageMask));
    if (!context_.pool.Post(task)) {
      // The pool was stopped (another harvest completed): the rest of this one is dropped.
      paced->finished.store(true);
      ForgetRun(serial);
      return false;
    }
    return true;
  });
}

std::shared_ptr<SourceASite::Run> SourceASite::FindRun(std::uint32_t serial) const {
  std::lock_guard lock(mutex_);
  const auto it = runs_.find(serial);
  return it == runs_.end() ? nullptr : it->second;
}

void SourceASite::ForgetRun(std::uint32_t serial) {
  std::lock_guard lock(mutex_);
  runs_.erase(serial);
}

void SourceASite::PageTask(std::int32_t task) {
  const auto value = static_cast<std::uint32_t>(task);
  const std::shared_ptr<Run> run = FindRun(value >> kPageBits);
  const std::size_t page = value & kPageMask;
  if (!run || page < 1 || page > run->urls.size()) return;
  http::FetchOptions options;
  options.body_encoding = http::kBodyUtf8;
  options.timeout_s = context_.tuning.page_timeout_s;
  const std::optional<http::FetchResult> fetched =
      context_.cancel.FetchPage(context_.fetcher, run->urls[page - 1], options);
  if (!fetched) return;
  if (!fetched->timed_out && !fetched->body.empty()) run->reached.fetch_add(1);
  std::vector<ProxyEntry> rows = source_a::ParseTableRows(fetched->body, context_.Limits());
  if (context_.cancel.Raised()) return;
  const int count = run->sink->Append(std::move(rows));
  run->sink->Progress(count);
  const bool all_processed = run->processed.fetch_add(1) + 1 >= static_cast<int>(run->urls.size());
  // The completion test after every page; a harvest whose pages all ended below the requested
  // number completes as well, so its controls do not stay disabled.
  // Only the first page task to find the harvest complete runs the completion steps: a repeat
  // would re-enable controls (and stop the pool) under a harvest started since.
  if ((source_a::CountReached(count, run->count_text()) || all_processed) &&
      !run->finished.exchange(true)) {
    Finish(*run);
  }
}

void SourceASite::Finish(Run& run) {
  context_.pacer.Cancel(run.schedule);
  ForgetRun(run.serial);
  // The pool stops before the sink hears of the end: a harvest started at once afterwards makes a
  // pool of its own, which a later Stop from here would end with its pages never taken (the new
  // harvest would never finish). Its owner joins this task at exit. Once the sink has heard of
  // the end, the harvest's owner may destroy this source at once: nothing of it is read after.
  context_.pool.Stop();
  run.sink->Finished(run.reached.load() > 0);
}

}  // namespace lumvex
