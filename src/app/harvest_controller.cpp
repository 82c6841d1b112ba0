#include "app/harvest_controller.h"

#include <utility>

#include "acquire/source_a.h"
#include "acquire/source_registry.h"
#include "app/window_events.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

constexpr std::string_view kCountReset = "0";
// The registered sources behind the window's controls: the two radio buttons and the
// any-country menu item.
constexpr std::string_view kSourceA = "a", kSourceB = "b", kAnyCountry = "c";

std::string CountStatus(int count) {
  return "代理IP获取完毕！ 获取代理IP：" + text::FormatInt(count) + "个";
}

// The boxes that offer a source's choices (the any-country source has none).
std::vector<ControlId> BoxesOf(std::string_view source) {
  if (source == kSourceA) return {Combo::kSourceACategories};
  if (source == kSourceB) return {Combo::kSourceBDatabases, Combo::kSourceBPages};
  return {};
}

std::string_view RunningStatus(std::string_view source) {
  const SourceInfo* info = FindSource(source);
  return info == nullptr ? std::string_view() : info->running_status;
}

}  // namespace

// The window as the sink of one harvest of one source.
class HarvestController::WindowSink : public HarvestSink {
 public:
  WindowSink(HarvestController& owner, std::string_view source, FinishSteps finish)
      : owner_(owner), running_status_(RunningStatus(source)), finish_(finish) {}

  void Running() override { owner_.ShowRunning(running_status_); }
  int Append(std::vector<ProxyEntry> rows) override { return owner_.AppendRows(std::move(rows)); }
  void Progress(int count) override { owner_.ShowListCount(count); }
  void Finished(bool reached) override {
    (owner_.*finish_)(reached);
    owner_.NotifyFinished(reached);
  }

 private:
  HarvestController& owner_;
  const std::string_view running_status_;
  const FinishSteps finish_;
};

HarvestController::HarvestController(UiThread& ui, MainWindowState& state, WindowSession& session,
                                     ProxyList& list, http::FetchClient& fetcher,
                                     http::CookieStore* cookies, const Endpoints& endpoints,
                                     HarvestTuning tuning)
    : ui_(ui),
      state_(state),
      session_(session),
      list_(list),
      endpoints_(endpoints),
      harvester_(fetcher, cookies, std::move(tuning),
                 [&endpoints](std::string_view name) { return SourceHost(endpoints, name); }) {}

HarvestController::~HarvestController() { Shutdown(); }

void HarvestController::SetEvents(HarvestEvents events) {
  std::lock_guard lock(mutex_);
  events_ = std::move(events);
}

void HarvestController::StartSourceLoaders() {
  harvester_.StartThread([this] { LoadSourceACategories(); });
  harvester_.StartThread([this] { LoadSourceBDatabases(); });
}

void HarvestController::StartSource(std::string_view name, HarvestOrder order, FinishSteps finish) {
  Source* source = harvester_.Find(name);
  if (source == nullptr) return;
  source->Start(std::move(order), std::make_shared<WindowSink>(*this, name, finish));
}

void HarvestController::ShowRunning(std::string_view status) {
  state_.SetText(control::kStatusLine, std::string(status));
}

int HarvestController::AppendRows(std::vector<ProxyEntry> rows) {
  if (rows.empty()) return list_.ListCount();
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
  return list_.ListCount();
}

void HarvestController::ShowListCount(int count) { state_.SetCount(Counter::kList, count); }

std::string HarvestController::UnreachableNote(std::string_view source) const {
  // The address comes from the command line: no control character reaches the window.
  return std::string(kSiteUnreachable) + text::EscapeControls(SourceHost(endpoints_, source));
}

std::string HarvestController::DoneStatus(std::string_view source, bool reached, int count) const {
  if (reached) return CountStatus(count);
  return UnreachableNote(source) + "  " + CountStatus(count);
}

void HarvestController::ShowReach(std::string_view source, bool reached) {
  const std::string note = UnreachableNote(source);
  for (ControlId box : BoxesOf(source)) {
    const bool empty = state_.Get(box).items.empty();
    state_.SetTooltip(box, !reached && empty ? note : std::string());
  }
  // The count label over an empty category box reads "当前数据库共有IP：  个": it says why too.
  if (source == kSourceA) {
    state_.SetTooltip(Label::kCategoryCount, state_.Tooltip(Combo::kSourceACategories));
  }
}

void HarvestController::NotifyFinished(bool reached) {
  std::function<void(bool)> finished;
  {
    std::lock_guard lock(mutex_);
    finished = events_.on_finished;
  }
  if (finished) finished(reached);
}

void HarvestController::DisableForHarvest() { Announce(state_, WindowEvent::kHarvestStarted); }

void HarvestController::StartHarvest() {
  const SourceChoice source = state_.ChosenSource();
  if (source == SourceChoice::kSourceA) {
    for (Counter counter : {Counter::kList, Counter::kSuccess, Counter::kFailure}) {
      state_.SetText(counter, std::string(kCountReset));
    }
    state_.SetText(control::kStatusLine, std::string(RunningStatus(kSourceA)));
    DisableForHarvest();
    HarvestOrder order;
    order.choice.data = current_category_id_.load();
    order.count_text = [this] { return session_.FetchCount(); };
    order.workers = session_.ChecksAtOnce();
    StartSource(kSourceA, std::move(order), &HarvestController::FinishSourceA);
  } else if (source == SourceChoice::kSourceB) {
    DisableForHarvest();
    // No chosen page, or one past the table: nothing to fetch, but the harvest still completes.
    const int chosen = state_.Get(Combo::kSourceBPages).chosen;
    HarvestOrder order;
    {
      std::lock_guard lock(mutex_);
      if (chosen >= 0 && static_cast<std::size_t>(chosen) < source_b_pages_->size()) {
        order.choice.address = (*source_b_pages_)[static_cast<std::size_t>(chosen)];
      }
    }
    StartSource(kSourceB, std::move(order), &HarvestController::FinishSourceB);
  }
}

// ---- Source A ------------------------------------------------------------------------------

void HarvestController::LoadSourceACategories() {
  const std::optional<std::vector<HarvestChoice>> choices =
      harvester_.Find(kSourceA)->LoadChoices();
  if (!choices) return;
  std::vector<ComboItem> items;
  for (const HarvestChoice& choice : *choices) items.push_back(ComboItem{choice.text, choice.data});
  ui_.RunSync([&] {
    state_.SetItems(Combo::kSourceACategories, items);
    state_.SetChosen(Combo::kSourceACategories, 0);
    // No category at all: the page could not be fetched (or held none, which reads the same).
    ShowReach(kSourceA, !items.empty());
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
  // A new choice starts afresh, as a new list page of source B does.
  OnSourceBPageChosen();
}

void HarvestController::FinishSourceA(bool reached) {
  ui_.RunSync([&] {
    state_.SetText(control::kStatusLine, DoneStatus(kSourceA, reached, list_.ListCount()));
    ShowReach(kSourceA, reached);
    Announce(state_, WindowEvent::kHarvestEnded);
  });
}

// ---- Source B ------------------------------------------------------------------------------

bool HarvestController::LoadSourceBDatabases() {
  const std::optional<std::vector<HarvestChoice>> choices =
      harvester_.Find(kSourceB)->LoadChoices();
  if (!choices) return false;
  std::vector<std::string> addresses;
  std::vector<ComboItem> captions;
  for (const HarvestChoice& choice : *choices) {
    addresses.push_back(choice.address);
    captions.push_back(ComboItem{choice.text, 0});
  }
  ui_.RunSync([&] {
    session_.SetSourceBAddresses(std::move(addresses));
    state_.SetItems(Combo::kSourceBDatabases, captions);
    state_.SetChosen(Combo::kSourceBDatabases, 0);
    ShowReach(kSourceB, !captions.empty());
  });
  harvester_.StartThread([this] { LoadSourceBPages(); });
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
    address = session_.SourceBAddress(state_.Get(Combo::kSourceBDatabases).chosen);
  });
  std::optional<ChoicePages> pages = harvester_.Find(kSourceB)->LoadPages(address);
  if (!pages) return;
  std::vector<ComboItem> titles;
  for (std::string& title : pages->titles) titles.push_back(ComboItem{std::move(title), 0});
  auto table = std::make_shared<const std::vector<std::string>>(std::move(pages->addresses));
  ui_.RunSync([&] {
    {
      std::lock_guard lock(mutex_);
      // Only the load started last fills the box: an earlier one finishing late would show the
      // pages of a database that is no longer chosen.
      if (serial != source_b_load_serial_) return;
      source_b_pages_ = table;
    }
    const bool reached = !titles.empty();
    state_.SetItems(Combo::kSourceBPages, std::move(titles));
    state_.SetChosen(Combo::kSourceBPages, 0);
    ShowReach(kSourceB, reached);
  });
}

void HarvestController::OnDatabaseChosen() {
  OnSourceBPageChosen();
  harvester_.StartThread([this] { LoadSourceBPages(); });
}

void HarvestController::OnSourceBPageChosen() {
  state_.SetText(control::kStatusLine, "");
  Announce(state_, WindowEvent::kHarvestChoiceChanged);
  for (Counter counter : {Counter::kList, Counter::kSuccess, Counter::kFailure}) {
    state_.SetText(counter, std::string(kCountReset));
  }
}

std::vector<std::string> HarvestController::SourceBPageTable() const {
  std::lock_guard lock(mutex_);
  return *source_b_pages_;
}

void HarvestController::FinishSourceB(bool reached) {
  ui_.RunSync([&] {
    const int count = list_.ListCount();
    state_.SetCount(Counter::kList, count);
    state_.SetText(control::kStatusLine, DoneStatus(kSourceB, reached, count));
    ShowReach(kSourceB, reached);
    Announce(state_, WindowEvent::kSourceBHarvestEnded);
  });
}

// ---- Source C ------------------------------------------------------------------------------

void HarvestController::StartAnyCountryHarvest() {
  Announce(state_, WindowEvent::kAnyCountryHarvestStarted);
  StartSource(kAnyCountry, HarvestOrder{}, &HarvestController::FinishAnyCountry);
}

void HarvestController::FinishAnyCountry(bool reached) {
  ui_.RunSync([&] {
    Announce(state_, WindowEvent::kAnyCountryHarvestEnded);
    const int count = list_.ListCount();
    state_.SetText(control::kStatusLine, DoneStatus(kAnyCountry, reached, count));
    state_.SetCount(Counter::kList, count);
  });
}

// ---- Exit ----------------------------------------------------------------------------------

void HarvestController::Shutdown() { harvester_.Shutdown(); }

}  // namespace lumvex
