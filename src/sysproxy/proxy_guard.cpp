#include "sysproxy/proxy_guard.h"

#include <optional>
#include <utility>

namespace lumvex {

ProxyGuard::ProxyGuard(Check check, FailureHandler on_failed, std::chrono::milliseconds interval)
    : check_(std::move(check)), on_failed_(std::move(on_failed)), interval_(interval) {}

ProxyGuard::~ProxyGuard() { Stop(); }

void ProxyGuard::Guard(const std::string& address) {
  {
    std::lock_guard lock(shared_->mutex);
    if (thread_.joinable() && address == shared_->address && !shared_->paused) return;
    shared_->address = address;
    shared_->paused = false;
    ++shared_->generation;
    if (thread_.joinable()) {
      shared_->wake.notify_all();
      return;
    }
    shared_->stop = false;
  }
  thread_ = std::thread([this] { Loop(); });
}

void ProxyGuard::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
    shared_->awaited_check = 0;
    shared_->wake.notify_all();
  }
  thread_.join();
  std::lock_guard lock(shared_->mutex);
  shared_->address.clear();
  shared_->paused = false;
}

bool ProxyGuard::Running() const { return thread_.joinable(); }

std::string ProxyGuard::Address() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->address;
}

std::uint64_t ProxyGuard::ChecksCounted() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->counted;
}

std::optional<bool> ProxyGuard::CheckOnce(std::unique_lock<std::mutex>& lock,
                                          const std::string& address, std::uint64_t generation) {
  Shared& shared = *shared_;
  const std::uint64_t id = ++next_check_;
  shared.awaited_check = id;
  shared.answered = false;
  lock.unlock();
  std::weak_ptr<Shared> weak = shared_;
  // The check may answer at once on this thread, so the lock is not held while it starts.
  check_(address, [weak, id](bool relayed) {
    const std::shared_ptr<Shared> alive = weak.lock();
    if (!alive) return;
    std::lock_guard answer_lock(alive->mutex);
    if (alive->awaited_check != id) return;  // abandoned
    alive->answered = true;
    alive->relayed = relayed;
    alive->wake.notify_all();
  });
  lock.lock();
  shared.wake.wait(lock, [&] {
    return shared.stop || shared.generation != generation || shared.awaited_check != id ||
           shared.answered;
  });
  const bool counted = !shared.stop && shared.generation == generation &&
                       shared.awaited_check == id && shared.answered;
  shared.awaited_check = 0;
  if (!counted) return std::nullopt;
  ++shared.counted;
  return shared.relayed;
}

void ProxyGuard::Loop() {
  Shared& shared = *shared_;
  std::unique_lock lock(shared.mutex);
  int failures = 0;
  std::uint64_t counted_generation = shared.generation;
  while (!shared.stop) {
    if (shared.paused || shared.address.empty()) {
      shared.wake.wait(lock,
                       [&] { return shared.stop || (!shared.paused && !shared.address.empty()); });
      continue;
    }
    const std::uint64_t generation = shared.generation;
    if (generation != counted_generation) {
      counted_generation = generation;
      failures = 0;
    }
    // The interval; a new address or a stop cuts it short and starts it again.
    if (shared.wake.wait_for(lock, interval_,
                             [&] { return shared.stop || shared.generation != generation; })) {
      continue;
    }
    const std::string address = shared.address;
    const std::optional<bool> relayed = CheckOnce(lock, address, generation);
    if (!relayed) continue;
    if (*relayed) {
      failures = 0;
      continue;
    }
    if (++failures < kFailuresToSwitch) continue;
    failures = 0;
    shared.paused = true;
    lock.unlock();
    on_failed_(address);
    lock.lock();
  }
}

}  // namespace lumvex
