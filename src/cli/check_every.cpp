#include "cli/check_every.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "config/flag_values.h"
#include "validate/list_recheck.h"
#include "validate/recheck_plan.h"

namespace lumvex::cli {

std::optional<std::chrono::milliseconds> ParseEveryMinutes(std::string_view text) {
  // The grammar of a number of seconds (and its bounds) read as minutes.
  const std::optional<double> minutes = ParseSeconds(text);
  if (!minutes) return std::nullopt;
  const auto ms = std::chrono::milliseconds(std::llround(*minutes * 60000));
  if (ms.count() <= 0) return std::nullopt;
  return ms;
}

EndSignalsBlocked::EndSignalsBlocked() {
  sigemptyset(&ending_);
  sigaddset(&ending_, SIGINT);
  sigaddset(&ending_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &ending_, &previous_);
}

EndSignalsBlocked::~EndSignalsBlocked() {
  // An ending signal still pending is taken here, not left to kill the process afterwards.
  const timespec none{0, 0};
  while (sigtimedwait(&ending_, nullptr, &none) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool EndSignalsBlocked::WaitFor(std::chrono::milliseconds time) const {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time);
  timespec wait{static_cast<std::time_t>(seconds.count()),
                static_cast<long>(std::chrono::nanoseconds(time - seconds).count())};
  return sigtimedwait(&ending_, nullptr, &wait) > 0;
}

void CheckForever(http::FetchClient& fetcher, const CheckTarget& target, const StrictRule& rule,
                  const std::vector<ProxyEntry>& rows, int threads,
                  std::chrono::milliseconds every, const EndSignalsBlocked& signals,
                  const std::function<void(int row, const CheckState& state)>& print) {
  // The rows as the plan sees them, their verdicts kept up to date by the checks.
  std::mutex mutex;
  std::vector<RecheckRow> view;
  std::unordered_map<std::string, int> index;
  for (const ProxyEntry& row : rows) {
    const std::string address = row.cells[kColAddress] + ":" + row.cells[kColPort];
    index.emplace(address, static_cast<int>(view.size()));
    view.push_back({address, CheckStatus::kNone});
  }
  ListRecheck recheck(
      fetcher, target, {every, every * kFailedEveryFactor},
      [&](const std::string& address, const CheckState& state) {
        const auto it = index.find(address);
        if (it == index.end()) return;
        {
          std::lock_guard lock(mutex);
          view[static_cast<std::size_t>(it->second)].status = state.status;
        }
        print(it->second, state);
      });
  recheck.SetStrictRule(rule);
  // Often enough that a check due starts soon after it is due, and a free place is soon taken.
  const auto tick = std::clamp<std::chrono::milliseconds>(every / 8, std::chrono::milliseconds(20),
                                                           std::chrono::milliseconds(1000));
  while (true) {
    std::vector<RecheckRow> now;
    {
      std::lock_guard lock(mutex);
      now = view;
    }
    recheck.Tick(now, threads);
    if (signals.WaitFor(tick)) break;
  }
  recheck.CancelAll();
  fetcher.Close();
}

}  // namespace lumvex::cli
