// An Application on the headless UI thread with a list of loopback farm proxies, driven the way
// the window drives it: button presses and timer ticks on the UI thread.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/window_events.h"
#include "fixture/file_limit.h"
#include "fixture/proxy_farm.h"
#include "platform/headless_ui_thread.h"
#include "support/emotion_list_path.h"
#include "support/scripted_prompts.h"
#include "support/wait_until.h"
#include "temp_dir.h"

namespace lumvex::testing {

class ValidationFixture : public ::testing::Test {
 protected:
  using Behaviour = tools::ProxyBehaviour;

  static tools::ProxySpec Spec(Behaviour behaviour, int delay_ms = 0, std::string body = "ok") {
    tools::ProxySpec spec;
    spec.behaviour = behaviour;
    spec.delay_ms = delay_ms;
    spec.body = std::move(body);
    return spec;
  }

  // A proxy answering every request with `status` and a page of its own.
  static tools::ProxySpec Refusal(int status) {
    tools::ProxySpec spec = Spec(Behaviour::kAnswer, 0, "<html>error page of the proxy</html>");
    spec.status = status;
    return spec;
  }

  // Starts the farm (proxy i on the i-th loopback address) and the application.
  void Start(const std::vector<tools::ProxySpec>& specs, int check_timeout_s = 3,
             int checks_at_once = ValidationRun::kDefaultThreads) {
    tools::RaiseFileLimit();
    std::vector<tools::ProxySpec> placed = specs;
    for (std::size_t i = 0; i < placed.size(); ++i) placed[i].address = tools::LoopbackAddress(i);
    if (!placed.empty()) {
      endpoints_ = farm_.Start(placed);
      ASSERT_EQ(endpoints_.size(), placed.size());
    }
    ApplicationOptions options;
    options.shell.run_directory = dir_.path();
    options.shell.data_dir = DataDir(dir_.path() + "/data");
    options.endpoints.validation_host = "check.test";
    options.endpoints.validation_path = testing::EmotionListPath();
    options.endpoints.connectivity_host = "connect.test";
    options.check_timeout_seconds = check_timeout_s;
    app_ = std::make_unique<Application>(ui_, prompts_, options);
    std::vector<ProxyEntry> rows;
    for (const auto& e : endpoints_) {
      rows.push_back(ProxyEntry{{e.address, std::to_string(e.port), "HTTP", "0.5", "测试", "1天"}});
    }
    OnUi([&] {
      app_->List().AddRows(rows);
      app_->State().SetCount(Counter::kList, static_cast<std::int64_t>(rows.size()));
      app_->Session().Change(
          [&](SessionValues& values) { values.checks_at_once = checks_at_once; });
      // As after start-up: every button enabled, source A chosen.
      for (int c = 0; c < kCommandCount; ++c) {
        app_->State().SetEnabled(static_cast<Command>(c), true);
      }
      Announce(app_->State(), WindowEvent::kSourceChosen, {.source = SourceChoice::kSourceA});
      app_->State().SetEnabled(Radio::kSourceA, true);
      app_->State().SetEnabled(Radio::kSourceB, true);
    });
  }

  void TearDown() override { app_.reset(); }

  template <typename Fn>
  void OnUi(Fn fn) {
    ASSERT_TRUE(ui_.RunSync(fn));
  }
  void Press(Command command) {
    OnUi([&] { app_->Shell().OnCommand(command); });
  }
  void Tick() {
    OnUi([&] { app_->OnTimerTick(); });
  }
  std::string Verdict(int row) { return app_->List().GetCell(row, kColType); }
  std::vector<std::string> Verdicts() {
    std::vector<std::string> out;
    for (const ProxyEntry& e : app_->List().Snapshot())
      out.push_back(std::string(CellText(e, kColType)));
    return out;
  }
  bool AllDecided() {
    for (const std::string& v : Verdicts()) {
      if (v != "成功" && v != "失败") return false;
    }
    return true;
  }

  // Polls `condition` (never on the UI thread) until it holds or 60 s pass.
  static bool WaitFor(const std::function<bool()>& condition, int timeout_ms = 60000) {
    return testing::WaitUntil(condition, std::chrono::milliseconds(timeout_ms));
  }

  HeadlessUiThread ui_;
  ScriptedPrompts prompts_;
  TempDir dir_;
  tools::ProxyFarm farm_;
  std::vector<tools::ProxyEndpoint> endpoints_;
  std::unique_ptr<Application> app_;
};

}  // namespace lumvex::testing
