#include "platform/exit_call_guard.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace lumvex {

namespace {

// The armed guard; exit handlers cannot be taken back, so one handler is registered for the
// whole process and looks here.
std::atomic<ExitCallGuard*> g_armed{nullptr};
// The armed guard's owner, readable without touching the guard itself.
std::atomic<std::thread::id> g_owner{};
std::once_flag g_registered;

}  // namespace

ExitCallGuard::ExitCallGuard(std::function<void()> on_exit) : on_exit_(std::move(on_exit)) {
  std::call_once(g_registered, [] { std::atexit(&ExitCallGuard::RunArmed); });
  ExitCallGuard* none = nullptr;
  if (g_armed.load() != nullptr) return;
  g_owner.store(std::this_thread::get_id());
  armed_ = g_armed.compare_exchange_strong(none, this);
}

ExitCallGuard::~ExitCallGuard() {
  if (!armed_) return;
  ExitCallGuard* self = this;
  g_armed.compare_exchange_strong(self, nullptr);
}

void ExitCallGuard::RunArmed() {
  // On another thread the owner may be destroying the guard right now: leave it alone.
  if (std::this_thread::get_id() != g_owner.load()) return;
  ExitCallGuard* guard = g_armed.load();
  if (guard == nullptr) return;
  // The owner is inside exit() and so cannot destroy the guard while it runs.
  g_armed.store(nullptr);
  if (guard->on_exit_) guard->on_exit_();
}

}  // namespace lumvex
