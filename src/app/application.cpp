#include "app/application.h"

#include <utility>

namespace lumvex {

ApplicationOptions ApplicationOptionsOf(const CommandLineOptions& options,
                                        const std::string& run_directory) {
  ApplicationOptions result;
  result.shell.run_directory = run_directory;
  result.shell.data_dir = DataDirectoryOf(options, run_directory);
  result.endpoints = options.endpoints;
  return result;
}

Application::Application(UiThread& ui, UserPrompts& prompts, ApplicationOptions options)
    : ui_(ui),
      prompts_(prompts),
      options_(std::move(options)),
      state_(ui),
      list_(ui),
      shell_(state_, list_, prompts_, options_.shell),
      fetcher_(std::make_unique<http::FetchClient>(&cookies_)) {
  WireCommands();
}

Application::~Application() { Shutdown(); }

void Application::WireCommands() {
  // Each feature registers its command, menu and hook handlers here.
}

void Application::OnTimerTick() {}

void Application::OnComboChosen(Combo /*combo*/, int /*index*/) {}

void Application::Shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  pool_.Stop();
  pool_.Shutdown(1000);
}

}  // namespace lumvex
