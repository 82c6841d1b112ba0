// `lumvexip check --every MINUTES`: the list checked for as long as the user lets it run. The
// whole list first, then each working proxy every MINUTES and every other one every four times
// that, one line per verdict as a single check prints them, until SIGINT or SIGTERM.
#pragma once

#include <signal.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/fetch_client.h"
#include "proxylist/check_state.h"
#include "proxylist/proxy_entry.h"
#include "validate/proxy_check.h"
#include "validate/strict_check.h"

namespace lumvex::cli {

// A proxy that failed waits this many times MINUTES for its next check.
inline constexpr int kFailedEveryFactor = 4;

// MINUTES: digits with an optional fraction, above 0 ("0.5" is half a minute); nullopt otherwise.
std::optional<std::chrono::milliseconds> ParseEveryMinutes(std::string_view text);

// SIGINT and SIGTERM blocked while it lives (threads started meanwhile inherit that), to be
// waited for instead; the signal mask before it comes back at its end.
class EndSignalsBlocked {
 public:
  EndSignalsBlocked();
  ~EndSignalsBlocked();
  EndSignalsBlocked(const EndSignalsBlocked&) = delete;
  EndSignalsBlocked& operator=(const EndSignalsBlocked&) = delete;

  // Waits up to `time`; true when an ending signal came.
  bool WaitFor(std::chrono::milliseconds time) const;

 private:
  sigset_t ending_;
  sigset_t previous_;
};

// Checks `rows` again and again as said above, `threads` at once, handing each verdict to
// `print` (the row's index in `rows`), until `signals` reports an ending signal; then cancels the
// checks and closes `fetcher`.
void CheckForever(http::FetchClient& fetcher, const CheckTarget& target, const StrictRule& rule,
                  const std::vector<ProxyEntry>& rows, int threads,
                  std::chrono::milliseconds every, const EndSignalsBlocked& signals,
                  const std::function<void(int row, const CheckState& state)>& print);

}  // namespace lumvex::cli
