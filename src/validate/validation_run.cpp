#include "validate/validation_run.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "net/proxy_scheme.h"
#include "platform/open_file_limit.h"
#include "text/text_util.h"
#include "validate/check_attempt.h"

namespace lumvex {
namespace {

// A check through a proxy that is handed the site's address (SOCKS4, SOCKS5 resolved here)
// makes curl resolve the name first, on a thread with a socket pair of its own: three
// descriptors, not one.
int DescriptorsPerCheck(const std::string& record, const std::optional<CheckProtocol>& protocol) {
  std::optional<ProxyScheme> scheme;
  if (protocol) {
    scheme = CheckProtocolScheme(*protocol);
  } else if (const std::optional<SchemePrefix> prefix = ReadSchemePrefix(record)) {
    scheme = prefix->scheme;
  }
  return scheme && InfoOf(*scheme).resolves_here ? 3 : 1;
}

// A check that could not get a socket while none of the run's others held one waits this long
// before it is tried again (another part of the program holds the descriptors).
constexpr std::chrono::milliseconds kShortageRetry{200};

}  // namespace

ValidationRun::ValidationRun(http::FetchClient& fetcher, CheckTarget target, Events events)
    : fetcher_(fetcher),
      target_(std::move(target)),
      events_(std::move(events)),
      queue_([this](std::int32_t number, std::uint64_t round) { StartCheck(number, round); }) {}

void ValidationRun::Start(const std::vector<ProxyEntry>& rows, int limit) {
  ValidationTaskTable::Records records;
  records.reserve(rows.size());
  for (const ProxyEntry& row : rows) {
    records.push_back(row.cells[kColAddress] + ":" + row.cells[kColPort]);
  }
  StartRecords(std::move(records), limit);
}

void ValidationRun::Start(const std::vector<CompactRow>& rows, int limit) {
  ValidationTaskTable::Records records;
  records.reserve(rows.size());
  for (const CompactRow& row : rows) {
    records.push_back(std::string(row.Cell(kColAddress)) + ":" + std::string(row.Cell(kColPort)));
  }
  StartRecords(std::move(records), limit);
}

int ValidationRun::DescriptorBudget(int each) const {
  return static_cast<int>(std::min<std::size_t>(
      DescriptorRoom(static_cast<std::size_t>(each), kReservedDescriptors), kMaxThreads));
}

void ValidationRun::ReportLimited(int limit) {
  if (limited_reported_.exchange(true)) return;
  if (events_.limited) events_.limited(limit);
}

void ValidationRun::StartRecords(ValidationTaskTable::Records records, int limit) {
  const auto count = static_cast<std::int32_t>(records.size());
  const bool fresh = !queue_.Running();
  int each = 1;
  for (const std::string& record : records) {
    each = DescriptorsPerCheck(record, target_.protocol);
    if (each > 1) break;
  }
  // A second start while running keeps the run's limit: the rows are queued after its own.
  tasks_.Rebuild(std::move(records));
  queue_.Add(count, limit);
  if (fresh) {
    limited_reported_ = false;
    // Checks the descriptors cannot hold would fail for the wrong reason: run fewer at once.
    const int budget = std::max(1, DescriptorBudget(each));
    if (std::min({limit, kMaxThreads, count}) > budget) {
      queue_.LowerLimit(budget);
      ReportLimited(budget);
    }
  }
  // The first checks start on the driver's thread: thousands of starts would hold up the caller
  // (the UI thread), and there they skip the hand-over queue.
  fetcher_.After(std::chrono::milliseconds(0), [this] { queue_.Pump(); });
}

void ValidationRun::Stop() { queue_.Stop(); }

void ValidationRun::SetStrictRule(StrictRule rule) {
  auto shared = std::make_shared<const StrictRule>(std::move(rule));
  std::lock_guard lock(strict_mutex_);
  strict_ = std::move(shared);
}

void ValidationRun::CancelAll() {
  cancelled_.store(true, std::memory_order_release);
  queue_.Cancel();
}

void ValidationRun::StartCheck(std::int32_t number, std::uint64_t round) {
  // Held while the check is set up: a second start may rebuild the table meanwhile.
  const std::shared_ptr<const ValidationTaskTable::Records> table = tasks_.Current();
  const std::string* address = ValidationTaskTable::Record(table.get(), number);
  if (Cancelled() || address == nullptr) {
    queue_.Done(round);
    return;
  }
  if (events_.started) events_.started(number - 1);
  const auto started = std::chrono::steady_clock::now();

  std::shared_ptr<const StrictRule> strict;
  {
    std::lock_guard lock(strict_mutex_);
    strict = strict_;
  }
  std::string url = CheckAddress(target_, *strict, DrawSalt());
  RunProxyCheck(
      fetcher_, std::move(url),
      CheckFetchOptions(*address, target_.timeout_s, CheckBodyBytes(*strict), target_.protocol),
      strict,
      [this, number, round, started](const CheckOutcome& outcome, const http::FetchResult& reply) {
        OnCheckDone(number, round, started, outcome, reply);
      });
}

void ValidationRun::OnCheckDone(std::int32_t number, std::uint64_t round,
                                std::chrono::steady_clock::time_point started,
                                const CheckOutcome& outcome, const http::FetchResult& reply) {
  // A fetch cut short by the program's exit is no verdict on the proxy.
  if (Cancelled()) {
    queue_.Done(round);
    return;
  }
  if (reply.out_of_descriptors) {
    // Not the proxy's failure: the check waits in front of the queue for a free descriptor.
    const int in_flight = queue_.Requeue(round, number);
    ReportLimited(queue_.Limit());
    if (in_flight == 0) fetcher_.After(kShortageRetry, [this] { queue_.Pump(); });
    return;
  }
  if (events_.finished) events_.finished(number - 1, FinishedCheck(outcome, started));
  queue_.Done(round);
}

}  // namespace lumvex
