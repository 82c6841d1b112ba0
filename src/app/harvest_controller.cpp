#include "app/harvest_controller.h"

#include <algorithm>
#include <utility>

#include "acquire/source_a.h"
#include "acquire/source_b.h"
#include "acquire/source_c.h"
#include "app/window_events.h"
#include "http/raw_request.h"
#include "text/codec.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

constexpr std::string_view kHarvestRunning = "正在获取代理IP....";
constexpr std::string_view kCountReset = "0";

// A pool task value: the harvest's serial in the high bits, the page number in the low 20.
constexpr int kPageBits = 20;
constexpr std::uint32_t kPageMask = (1u << kPageBits) - 1;
constexpr std::uint32_t kSerialMask = (1u << (31 - kPageBits)) - 1;

std::string DoneStatus(int count) {
  return "代理IP获取完毕！ 获取代理IP：" + text::FormatInt(count) + "个";
}

}  // namespace

HarvestController::HarvestController(UiThread& ui, MainWindowState& state, ProxyList& list,
                                     WorkerPool& pool, http::FetchClient& fetcher,
                                     http::CookieStore* cookies, const Endpoints& endpoints,
                                     HarvestTuning tuning)
    : ui_(ui),
      state_(state),
      list_(list),
      pool_(pool),
      fetcher_(fetcher),
      cookies_(cookies),
      endpoints_(endpoints),
      tuning_(std::move(tuning)),
      pacer_(tuning_.page_interval) {}

HarvestController::~HarvestController() { Shutdown(); }

void HarvestController::SetEvents(HarvestEvents events) {
  std::lock_guard lock(mutex_);
  events_ = std::move(events);
}

ScanLimits HarvestController::Limits() const {
  ScanLimits limits = tuning_.scan;
  limits.cancel = cancel_.Flag();
  return limits;
}

void HarvestController::StartThread(std::function<void()> work) { threads_.Start(std::move(work)); }

void HarvestController::StartSourceLoaders() {
  StartThread([this] { LoadSourceACategories(); });
  StartThread([this] { LoadSourceBDatabases(); });
}

// ---- Source A ------------------------------------------------------------------------------

void HarvestController::LoadSourceACategories() {
  http::FetchOptions options;
  options.body_encoding = http::kBodyUtf8;
  const std::optional<http::FetchResult> page =
      cancel_.FetchPage(fetcher_, source_a::CategoryListUrl(endpoints_.source_a_host), options);
  if (!page) return;
  std::vector<ComboItem> items;
  for (source_a::Category& category : source_a::ParseCategories(page->body, Limits())) {
    items.push_back(ComboItem{std::move(category.title), category.id});
  }
  if (cancel_.Raised()) return;
  ui_.RunSync([&] {
    state_.SetItems(Combo::kSourceACategories, items);
    state_.SetChosen(Combo::kSourceACategories, 0);
  });
  current_category_id_.store(items.empty() ? -1 : items.front().data);
  ui_.RunSync([&] {
    state_.SetText(Label::kCategoryCount,
                   source_a::CategoryCountCaption(state_.Text(Combo::kSourceACategories)));
  });
  ui_.RunSync([&] {
    const bool has_text = !text::Trim(state_.Text(Combo::kSourceACategories)).empty();
    Announce(state_, WindowEvent::kSourceChosen,
             {.source = has_text ? SourceChoice::kSourceA : SourceChoice::kSourceB});
  });
}

void HarvestController::OnCategoryChosen() {
  const ControlState combo = state_.Get(Combo::kSourceACategories);
  if (combo.chosen >= 0 && combo.chosen < static_cast<int>(combo.items.size())) {
    current_category_id_.store(combo.items[static_cast<std::size_t>(combo.chosen)].data);
  }
  state_.SetText(Label::kCategoryCount,
                 source_a::CategoryCountCaption(state_.Text(Combo::kSourceACategories)));
  state_.SetText(control::kStatusLine, "");
  Announce(state_, WindowEvent::kHarvestChoiceChanged);
  for (Counter counter : {Counter::kList, Counter::kSuccess, Counter::kFailure}) {
    state_.SetText(counter, std::string(kCountReset));
  }
}

void HarvestController::DisableForHarvest() { Announce(state_, WindowEvent::kHarvestStarted); }

void HarvestController::StartHarvest() {
  const SourceChoice source = state_.ChosenSource();
  if (source == SourceChoice::kSourceA) {
    for (Counter counter : {Counter::kList, Counter::kSuccess, Counter::kFailure}) {
      state_.SetText(counter, std::string(kCountReset));
    }
    state_.SetText(control::kStatusLine, std::string(kHarvestRunning));
    DisableForHarvest();
    int workers = text::AtoI(state_.Text(Field::kThreadCount));
    if (workers == 0) workers = source_a::kDefaultWorkers;
    // Fails while the pool still runs (an earlier harvest): the pages then go to that pool.
    pool_.Create(workers, [this](std::int32_t task) { SourceAPageTask(task); });
    auto run = std::make_shared<SourceARun>();
    const int pages = source_a::PageCount(state_.Text(Field::kFetchCount));
    const int category = current_category_id_.load();
    for (int page = 1; page <= pages; ++page) {
      run->urls.push_back(source_a::TablePageUrl(endpoints_.source_a_host, category, page));
    }
    {
      std::lock_guard lock(mutex_);
      if (shut_down_) return;
      run->serial = next_serial_ = (next_serial_ + 1) & kSerialMask;
      runs_[run->serial] = run;
    }
    const std::uint32_t serial = run->serial;
    run->schedule = pacer_.Add(pages, [this, serial](int page) {
      const std::shared_ptr<SourceARun> paced = FindRun(serial);
      if (!paced || paced->finished.load()) return false;
      const auto task = static_cast<std::int32_t>((serial << kPageBits) |
                                                  (static_cast<std::uint32_t>(page) & kPageMask));
      if (!pool_.Post(task)) {
        // The pool was stopped (another harvest completed): the rest of this one is dropped.
        paced->finished.store(true);
        ForgetRun(serial);
        return false;
      }
      return true;
    });
  } else if (source == SourceChoice::kSourceB) {
    DisableForHarvest();
    StartThread([this] { SourceBHarvest(); });
  }
}

std::shared_ptr<HarvestController::SourceARun> HarvestController::FindRun(
    std::uint32_t serial) const {
  std::lock_guard lock(mutex_);
  const auto it = runs_.find(serial);
  return it == runs_.end() ? nullptr : it->second;
}

void HarvestController::ForgetRun(std::uint32_t serial) {
  std::lock_guard lock(mutex_);
  runs_.erase(serial);
}

void HarvestController::SourceAPageTask(std::int32_t task) {
  const auto value = static_cast<std::uint32_t>(task);
  const std::shared_ptr<SourceARun> run = FindRun(value >> kPageBits);
  const std::size_t page = value & kPageMask;
  if (!run || page < 1 || page > run->urls.size()) return;
  http::FetchOptions options;
  options.body_encoding = http::kBodyUtf8;
  options.timeout_s = tuning_.page_timeout_s;
  const std::optional<http::FetchResult> fetched =
      cancel_.FetchPage(fetcher_, run->urls[page - 1], options);
  if (!fetched) return;
  if (!fetched->timed_out && !fetched->body.empty()) run->reached.fetch_add(1);
  std::vector<ProxyEntry> rows = source_a::ParseTableRows(fetched->body, Limits());
  if (cancel_.Raised()) return;
  AppendRows(std::move(rows));
  const int count = list_.ListCount();
  state_.SetCount(Counter::kList, count);
  const bool all_processed = run->processed.fetch_add(1) + 1 >= static_cast<int>(run->urls.size());
  // The completion test after every page; a harvest whose pages all ended below the requested
  // number completes as well, so its controls do not stay disabled.
  // Only the first page task to find the harvest complete runs the completion steps: a repeat
  // would re-enable controls (and stop the pool) under a harvest started since.
  if ((source_a::CountReached(count, state_.Text(Field::kFetchCount)) || all_processed) &&
      !run->finished.exchange(true)) {
    FinishSourceA(*run);
  }
}

void HarvestController::FinishSourceA(SourceARun& run) {
  pacer_.Cancel(run.schedule);
  ForgetRun(run.serial);
  ui_.RunSync([&] {
    state_.SetText(control::kStatusLine, DoneStatus(list_.ListCount()));
    Announce(state_, WindowEvent::kHarvestEnded);
  });
  pool_.Stop();
  std::function<void(bool)> finished;
  {
    std::lock_guard lock(mutex_);
    finished = events_.on_finished;
  }
  if (finished) finished(run.reached.load() > 0);
}

void HarvestController::AppendRows(std::vector<ProxyEntry> rows) {
  if (rows.empty()) return;
  std::function<void(const std::vector<ProxyEntry>&)> on_rows;
  {
    std::lock_guard lock(mutex_);
    on_rows = events_.on_rows;
  }
  if (on_rows) {
    // A copy for the listener, taken before the list takes the rows.
    const std::vector<ProxyEntry> copy = rows;
    list_.AddRows(std::move(rows));
    on_rows(copy);
  } else {
    list_.AddRows(std::move(rows));
  }
}

// ---- Source B ------------------------------------------------------------------------------

bool HarvestController::LoadSourceBDatabases() {
  const std::string url = source_b::DatabaseListUrl(endpoints_.source_b_host);
  http::RawRequestArgs args;
  args.cancel = cancel_.Flag();
  std::string body = http::RawRequest(url, args, cookies_).body;
  // The site is retried until it answers, with a pause that doubles up to its bound.
  std::chrono::milliseconds pause = tuning_.retry_first;
  int attempts = 1;
  while (body.empty()) {
    if (tuning_.database_attempts > 0 && attempts >= tuning_.database_attempts) return false;
    if (!cancel_.Pause(pause)) return false;
    pause = std::min(pause * 2, tuning_.retry_most);
    // The plain GET hands over the page's own bytes; the raw request's answer is decoded.
    body = text::DecodeGbk(http::SimpleGet(
        url, cookies_, {http::kSimpleGetConnectMs, http::kSimpleGetIdleMs}, cancel_.Flag()));
    ++attempts;
  }
  const std::vector<std::string> values = source_b::ParseDatabaseValues(body, Limits());
  if (cancel_.Raised()) return false;
  std::vector<ComboItem> addresses;
  std::vector<ComboItem> captions;
  for (std::size_t k = 0; k < values.size(); ++k) {
    addresses.push_back(
        ComboItem{source_b::DatabaseAddress(endpoints_.source_b_host, values[k]), 0});
    captions.push_back(ComboItem{source_b::DatabaseCaption(static_cast<int>(k) + 1), 0});
  }
  ui_.RunSync([&] {
    state_.SetItems(Combo::kSourceBAddresses, addresses);
    state_.SetItems(Combo::kSourceBDatabases, captions);
    state_.SetChosen(Combo::kSourceBDatabases, 0);
    state_.SetChosen(Combo::kSourceBAddresses, 0);
  });
  StartThread([this] { LoadSourceBPages(); });
  return true;
}

void HarvestController::LoadSourceBPages() {
  std::uint64_t serial = 0;
  {
    std::lock_guard lock(mutex_);
    serial = ++source_b_load_serial_;
  }
  std::string address;
  ui_.RunSync([&] {
    state_.SetItems(Combo::kSourceBPages, {});
    address = state_.Text(Combo::kSourceBAddresses);
  });
  http::RawRequestArgs args;
  args.cancel = cancel_.Flag();
  const std::string body =
      address.empty() ? std::string() : http::RawRequest(address, args, cookies_).body;
  source_b::DatabasePage page =
      source_b::ParseDatabasePage(body, endpoints_.source_b_host, Limits());
  if (cancel_.Raised()) return;
  std::vector<ComboItem> titles;
  for (std::string& title : page.titles) titles.push_back(ComboItem{std::move(title), 0});
  auto table = std::make_shared<const std::vector<std::string>>(std::move(page.page_addresses));
  ui_.RunSync([&] {
    {
      std::lock_guard lock(mutex_);
      // Only the load started last fills the box: an earlier one finishing late would show the
      // pages of a database that is no longer chosen.
      if (serial != source_b_load_serial_) return;
      source_b_pages_ = table;
    }
    state_.SetItems(Combo::kSourceBPages, std::move(titles));
    state_.SetChosen(Combo::kSourceBPages, 0);
  });
}

void HarvestController::OnDatabaseChosen() {
  state_.SetChosen(Combo::kSourceBAddresses, state_.Get(Combo::kSourceBDatabases).chosen);
  OnSourceBPageChosen();
  StartThread([this] { LoadSourceBPages(); });
}

void HarvestController::OnSourceBPageChosen() {
  state_.SetText(control::kStatusLine, "");
  Announce(state_, WindowEvent::kHarvestChoiceChanged);
  for (Counter counter : {Counter::kList, Counter::kSuccess, Counter::kFailure}) {
    state_.SetText(counter, std::string(kCountReset));
  }
}

void HarvestController::OnDatabaseAddressChosen() {
  StartThread([this] { LoadSourceBPages(); });
}

std::vector<std::string> HarvestController::SourceBPageTable() const {
  std::lock_guard lock(mutex_);
  return *source_b_pages_;
}

void HarvestController::SourceBHarvest() {
  std::shared_ptr<const std::vector<std::string>> table;
  {
    std::lock_guard lock(mutex_);
    table = source_b_pages_;
  }
  const int chosen = state_.Get(Combo::kSourceBPages).chosen;
  // No chosen page, or one past the table: nothing to fetch, but the harvest still completes.
  bool reached = false;
  if (chosen >= 0 && static_cast<std::size_t>(chosen) < table->size()) {
    http::RawRequestArgs args;
    args.cancel = cancel_.Flag();
    const std::string body =
        http::RawRequest((*table)[static_cast<std::size_t>(chosen)], args, cookies_).body;
    if (cancel_.Raised()) return;
    reached = !body.empty();
    state_.SetText(control::kStatusLine, std::string(kHarvestRunning));
    // The raw request decodes the page; its lines are cut on the GBK bytes again.
    AppendRows(source_b::ParseListPage(text::EncodeGbk(body)));
  }
  if (cancel_.Raised()) return;
  FinishSourceB();
  std::function<void(bool)> finished;
  {
    std::lock_guard lock(mutex_);
    finished = events_.on_finished;
  }
  if (finished) finished(reached);
}

void HarvestController::FinishSourceB() {
  ui_.RunSync([&] {
    const int count = list_.ListCount();
    state_.SetCount(Counter::kList, count);
    state_.SetText(control::kStatusLine, DoneStatus(count));
    Announce(state_, WindowEvent::kSourceBHarvestEnded);
  });
}

// ---- Source C ------------------------------------------------------------------------------

void HarvestController::StartAnyCountryHarvest() {
  Announce(state_, WindowEvent::kAnyCountryHarvestStarted);
  StartThread([this] { HarvestAnyCountry(); });
}

void HarvestController::HarvestAnyCountry() {
  state_.SetText(control::kStatusLine, std::string(source_c::kStatusRunning));
  const std::string page =
      http::SimpleGet(source_c::PageUrl(endpoints_.source_c_host), cookies_,
                      {http::kSimpleGetConnectMs, http::kSimpleGetIdleMs}, cancel_.Flag());
  std::vector<ProxyEntry> rows = source_c::ParsePage(page, Limits());
  if (cancel_.Raised()) return;
  AppendRows(std::move(rows));
  ui_.RunSync([&] {
    Announce(state_, WindowEvent::kAnyCountryHarvestEnded);
    const int count = list_.ListCount();
    state_.SetText(control::kStatusLine, DoneStatus(count));
    state_.SetCount(Counter::kList, count);
  });
  std::function<void(bool)> finished;
  {
    std::lock_guard lock(mutex_);
    finished = events_.on_finished;
  }
  if (finished) finished(!page.empty());
}

// ---- Exit ----------------------------------------------------------------------------------

void HarvestController::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (shut_down_) return;
    shut_down_ = true;
  }
  cancel_.Raise();
  pacer_.Stop();
  threads_.JoinAll(std::chrono::milliseconds(1500));
}

}  // namespace lumvex
