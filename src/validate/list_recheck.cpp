#include "validate/list_recheck.h"

#include <algorithm>
#include <utility>

#include "proxylist/proxy_entry.h"

namespace lumvex {
namespace {

// The row a validation run takes for `address` ("host:port"; it joins the two cells with ':').
ProxyEntry EntryOf(const std::string& address) {
  ProxyEntry entry;
  const std::size_t colon = address.rfind(':');
  if (colon == std::string::npos) {
    entry.cells[kColAddress] = address;
  } else {
    entry.cells[kColAddress] = address.substr(0, colon);
    entry.cells[kColPort] = address.substr(colon + 1);
  }
  return entry;
}

}  // namespace

ListRecheck::ListRecheck(http::FetchClient& fetcher, CheckTarget target, RecheckTiming timing,
                         Verdict verdict, Clock clock)
    : fetcher_(fetcher),
      target_(std::move(target)),
      verdict_(std::move(verdict)),
      clock_(std::move(clock)),
      plan_(timing) {}

void ListRecheck::SetStrictRule(StrictRule rule) {
  std::lock_guard lock(mutex_);
  for (const auto& slot : slots_) slot->run->SetStrictRule(rule);
  strict_ = std::move(rule);
}

ListRecheck::Slot& ListRecheck::FreeSlotLocked() {
  for (const auto& slot : slots_) {
    if (slot->pending == 0) return *slot;
  }
  auto slot = std::make_unique<Slot>();
  Slot* raw = slot.get();
  ValidationRun::Events events;
  events.finished = [this, raw](int row, const CheckState& state) { OnFinished(raw, row, state); };
  slot->run = std::make_unique<ValidationRun>(fetcher_, target_, std::move(events));
  slot->run->SetStrictRule(strict_);
  slots_.push_back(std::move(slot));
  return *raw;
}

void ListRecheck::Tick(const std::vector<RecheckRow>& rows, int limit) {
  std::vector<ProxyEntry> entries;
  Slot* slot = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    const auto most = static_cast<std::size_t>(std::clamp(limit, 0, ValidationRun::kMaxThreads));
    if (plan_.UnderWay() >= most) return;
    std::vector<std::string> due = plan_.Due(rows, clock_(), most - plan_.UnderWay());
    if (due.empty()) return;
    slot = &FreeSlotLocked();
    // Its last round has reported in full; ending it lets the next start begin a new one.
    slot->run->Stop();
    entries.reserve(due.size());
    for (const std::string& address : due) {
      plan_.Started(address);
      entries.push_back(EntryOf(address));
    }
    slot->pending = due.size();
    slot->batch = std::move(due);
  }
  // The slot is taken (pending) until its checks report; they begin on the driver's thread.
  slot->run->Start(entries, static_cast<int>(entries.size()));
}

void ListRecheck::OnFinished(Slot* slot, int row, const CheckState& state) {
  std::string address;
  bool cancelled = false;
  {
    std::lock_guard lock(mutex_);
    if (row < 0 || static_cast<std::size_t>(row) >= slot->batch.size()) return;
    address = slot->batch[static_cast<std::size_t>(row)];
    cancelled = cancelled_;
  }
  // Told before the check counts as ended: whoever waits for the end finds its verdict passed on.
  if (verdict_ && !cancelled) verdict_(address, state);
  std::lock_guard lock(mutex_);
  plan_.Finished(address, clock_());
  if (slot->pending > 0) --slot->pending;
}

void ListRecheck::CheckedElsewhere(const std::vector<std::string>& addresses) {
  std::lock_guard lock(mutex_);
  const auto now = clock_();
  for (const std::string& address : addresses) plan_.CheckedElsewhere(address, now);
}

void ListRecheck::CancelAll() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  for (const auto& slot : slots_) slot->run->CancelAll();
}

std::size_t ListRecheck::UnderWay() const {
  std::lock_guard lock(mutex_);
  return plan_.UnderWay();
}

}  // namespace lumvex
