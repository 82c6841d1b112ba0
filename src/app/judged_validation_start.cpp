#include "app/judged_validation_start.h"

#include <algorithm>
#include <string>
#include <utility>

#include "validate/own_address.h"

namespace lumvex {

JudgedValidationStart::JudgedValidationStart(UiThread& ui, http::FetchClient& fetcher,
                                             MainWindowState& state,
                                             ValidationController& validation)
    : ui_(ui), fetcher_(fetcher), state_(state), validation_(validation) {}

JudgedValidationStart::~JudgedValidationStart() { life_->alive = false; }

void JudgedValidationStart::Cancel() { ++life_->generation; }

void JudgedValidationStart::Start(StrictRule rule) {
  Cancel();
  if (!rule.Judged()) {
    StartRun(std::move(rule));
    return;
  }
  const double timeout_s = std::min(kLookupTimeoutS, validation_.Run().Target().timeout_s);
  std::string url = rule.judge;
  fetcher_.FetchPageAsync(
      url, OwnAddressFetchOptions(timeout_s),
      [this, ui = &ui_, life = life_, generation = life_->generation,
       rule = std::move(rule)](http::FetchResult result) mutable {
        // On the fetch driver: only `ui` may be touched here.
        OwnAddressLookup own = OwnAddressesFrom(result);
        ui->Post([this, life, generation, rule = std::move(rule), own = std::move(own)]() mutable {
          if (!life->alive || life->generation != generation) return;
          rule.own_addresses = std::move(own.addresses);
          const bool unclassified = rule.own_addresses.empty();
          StartRun(std::move(rule));
          // Until the run's first tick writes its progress.
          if (unclassified) state_.SetText(control::kStatusLine, std::string(kJudgeUnanswered));
        });
      });
}

void JudgedValidationStart::StartRun(StrictRule rule) {
  if (rule_taken_) rule_taken_(rule);
  validation_.Run().SetStrictRule(std::move(rule));
  validation_.StartValidation();
}

}  // namespace lumvex
