// A list that keeps itself checked: each Tick looks at the rows as they are now, asks the plan
// (validate/recheck_plan.h) which are due, and checks those on validation runs of its own, with
// the same target and rule as the validation run, never more than the limit under way. Every
// verdict is reported by address. It knows no window: the window, `lumvexip check --every` or any
// other owner gives it the rows and calls Tick as often as it likes.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "http/fetch_client.h"
#include "proxylist/check_state.h"
#include "validate/proxy_check.h"
#include "validate/recheck_plan.h"
#include "validate/strict_check.h"
#include "validate/validation_run.h"

namespace lumvex {

class ListRecheck {
 public:
  using Clock = std::function<RecheckPlan::Clock::time_point()>;
  // On the fetch driver's thread, one at a time; quick, and never waiting for the UI thread.
  using Verdict = std::function<void(const std::string& address, const CheckState& state)>;

  // `fetcher` must outlive the object and be closed (FetchClient::Close) before it goes.
  ListRecheck(http::FetchClient& fetcher, CheckTarget target, RecheckTiming timing,
              Verdict verdict, Clock clock = &RecheckPlan::Clock::now);
  ListRecheck(const ListRecheck&) = delete;
  ListRecheck& operator=(const ListRecheck&) = delete;

  // The strict rule of the checks, from the next one on. Any thread.
  void SetStrictRule(StrictRule rule);
  // Starts the checks of `rows` due now, so that at most `limit` are under way (a limit of 0 or
  // less starts none). Any thread; `rows` need not outlive the call.
  void Tick(const std::vector<RecheckRow>& rows, int limit);
  // These rows were just checked by someone else (a validation run): they are due again one
  // interval from now. Any thread.
  void CheckedElsewhere(const std::vector<std::string>& addresses);
  // Program exit: checks under way report nothing more, none starts. Close the fetcher after.
  void CancelAll();
  // Checks started and not yet reported.
  std::size_t UnderWay() const;

 private:
  // One validation run and the addresses of its current round (its row numbers' meaning). A
  // slot takes a new round only once every check of the last one has reported.
  struct Slot {
    std::unique_ptr<ValidationRun> run;
    std::vector<std::string> batch;
    std::size_t pending = 0;
  };

  Slot& FreeSlotLocked();
  void OnFinished(Slot* slot, int row, const CheckState& state);

  http::FetchClient& fetcher_;
  const CheckTarget target_;
  const Verdict verdict_;
  const Clock clock_;
  mutable std::mutex mutex_;
  RecheckPlan plan_;                         // guarded by mutex_
  std::deque<std::unique_ptr<Slot>> slots_;  // guarded by mutex_
  StrictRule strict_;                        // guarded by mutex_
  bool cancelled_ = false;                   // guarded by mutex_
};

}  // namespace lumvex
