#include "cli/check_session.h"

#include <algorithm>

#include "config/flag_values.h"
#include "text/text_util.h"
#include "validate/own_address.h"

namespace lumvex::cli {

int ThreadsOf(const SubcommandArgs& parsed, std::vector<std::string>& errors) {
  const auto it = parsed.values.find("--threads");
  if (it == parsed.values.end()) return ValidationRun::kDefaultThreads;
  if (const std::optional<int> taken = ParseThreadCount(it->second)) return *taken;
  errors.push_back("--threads: a number from 1 to " + std::to_string(ValidationRun::kMaxThreads) +
                   ": \"" + text::EscapeControls(it->second) + "\"");
  return ValidationRun::kDefaultThreads;
}

CheckSession::CheckSession(const Endpoints& endpoints, double timeout_s, StrictRule rule,
                           std::vector<CheckProtocol> protocols, Finished finished,
                           Limited limited)
    : timeout_s_(timeout_s), rule_(std::move(rule)), fetcher_(&cookies_) {
  const std::size_t run_count = std::max<std::size_t>(1, protocols.size());
  for (std::size_t i = 0; i < run_count; ++i) {
    CheckTarget target = CheckTargetOf(endpoints, timeout_s);
    if (!protocols.empty()) target.protocol = protocols[i];
    ValidationRun::Events events;
    events.finished = [finished, i](int row, const CheckState& state) { finished(row, i, state); };
    events.limited = limited;
    runs_.push_back(std::make_unique<ValidationRun>(fetcher_, std::move(target), std::move(events)));
    runs_.back()->SetStrictRule(rule_);
  }
}

CheckSession::~CheckSession() { Close(); }

std::optional<std::string> CheckSession::LearnOwnAddresses() {
  // What a transparent proxy would pass on: the address the judge sees without one.
  if (!rule_.Judged() || !rule_.own_addresses.empty()) return std::nullopt;
  OwnAddressLookup own = LookUpOwnAddresses(fetcher_, rule_.judge, timeout_s_);
  if (own.addresses.empty()) return own.error;
  rule_.own_addresses = std::move(own.addresses);
  for (auto& run : runs_) run->SetStrictRule(rule_);
  return std::nullopt;
}

void CheckSession::Start(const std::vector<ProxyEntry>& rows, int threads) {
  const std::size_t run_count = runs_.size();
  const int run_threads =
      static_cast<int>((static_cast<std::size_t>(threads) + run_count - 1) / run_count);
  for (auto& run : runs_) run->Start(rows, run_threads);
}

void CheckSession::Close() {
  if (std::exchange(closed_, true)) return;
  for (auto& run : runs_) run->Stop();
  // Closing the driver ends every transfer before the runs go.
  fetcher_.Close();
}

}  // namespace lumvex::cli
