#include "app/window_session.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "config/strict_settings.h"
#include "settings/settings.h"
#include "text/text_util.h"

namespace lumvex {

int ChecksAtOnceOf(std::string_view text) {
  const int asked = text::AtoI(text);
  if (asked <= 0) return ValidationRun::kDefaultThreads;
  return std::min(asked, ValidationRun::kMaxThreads);
}

SessionValues WindowSession::Get() const {
  std::lock_guard lock(mutex_);
  return values_;
}

void WindowSession::Change(const std::function<void(SessionValues&)>& change) {
  std::lock_guard lock(mutex_);
  change(values_);
}

void WindowSession::SetFetchCount(std::string text) {
  std::lock_guard lock(mutex_);
  values_.fetch_count = std::move(text);
}

void WindowSession::SetThreadCount(std::string_view text) {
  const int checks = ChecksAtOnceOf(text);
  std::lock_guard lock(mutex_);
  values_.checks_at_once = checks;
}

void WindowSession::SetStrictRule(StrictRule rule) {
  std::lock_guard lock(mutex_);
  values_.strict = std::move(rule);
}

void WindowSession::SetSourceBAddresses(std::vector<std::string> addresses) {
  std::lock_guard lock(mutex_);
  values_.source_b_addresses = std::move(addresses);
}

void WindowSession::SetTrayWebAddress(std::string address) {
  std::lock_guard lock(mutex_);
  values_.tray_web_address = std::move(address);
}

void WindowSession::SetAboutWebAddress(std::string address) {
  std::lock_guard lock(mutex_);
  values_.about_web_address = std::move(address);
}

void WindowSession::Load(const DataDir& data_dir) {
  const Settings settings{data_dir};
  if (std::optional<std::string> number = settings.ReadAgentNumber()) {
    SetFetchCount(std::move(*number));
  }
  if (std::optional<std::string> threads = settings.ReadThreadCount()) SetThreadCount(*threads);
  SetStrictRule(ReadStrictRule(data_dir));
}

std::string WindowSession::FetchCount() const {
  std::lock_guard lock(mutex_);
  return values_.fetch_count;
}

int WindowSession::ChecksAtOnce() const {
  std::lock_guard lock(mutex_);
  return values_.checks_at_once;
}

std::string WindowSession::SourceBAddress(int index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= values_.source_b_addresses.size()) return {};
  return values_.source_b_addresses[static_cast<std::size_t>(index)];
}

}  // namespace lumvex
