// The start of a validation run ("验证代理IP"). When the settings name a judge ("匿名检测网址"),
// the user's own address is first asked of the judge directly, without holding up the window; the
// run then starts with it and classifies every working proxy, or, when the judge cannot tell it,
// starts unclassified and the status line says so.
// All methods run on the UI thread.
#pragma once

#include <functional>
#include <memory>

#include "app/main_window_state.h"
#include "app/validation_controller.h"
#include "http/fetch_client.h"
#include "platform/ui_thread.h"
#include "validate/strict_check.h"

namespace lumvex {

// Shown when the judge could not tell the user's address: the run goes on without it.
inline constexpr std::string_view kJudgeUnanswered = "匿名检测网址无法访问，本次验证不检测匿名度";

class JudgedValidationStart {
 public:
  // The direct request's deadline, or the check deadline when that is shorter.
  static constexpr double kLookupTimeoutS = 10;

  // Everything passed in must outlive this object, `ui` also its lookups' answers.
  JudgedValidationStart(UiThread& ui, http::FetchClient& fetcher, MainWindowState& state,
                        ValidationController& validation);
  ~JudgedValidationStart();
  JudgedValidationStart(const JudgedValidationStart&) = delete;
  JudgedValidationStart& operator=(const JudgedValidationStart&) = delete;

  // Starts a run checking by `rule` (as the settings hold it): at once without a judge.
  void Start(StrictRule rule);
  // Told the rule of every run as it starts (with the user's own address when the judge told it).
  void OnRuleTaken(std::function<void(const StrictRule&)> hook) { rule_taken_ = std::move(hook); }
  // A lookup under way no longer starts its run ("停止验证", a second start, program exit).
  void Cancel();

 private:
  // Shared with the lookups' answers, which may arrive after this object is gone.
  struct Life {
    bool alive = true;
    int generation = 0;  // the answer of an older lookup starts nothing
  };

  void StartRun(StrictRule rule);

  UiThread& ui_;
  http::FetchClient& fetcher_;
  MainWindowState& state_;
  ValidationController& validation_;
  std::function<void(const StrictRule&)> rule_taken_;
  std::shared_ptr<Life> life_ = std::make_shared<Life>();
};

}  // namespace lumvex
