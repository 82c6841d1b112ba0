// A last chance to keep data when the process is ended by a bare exit() call instead of its own
// exit path: Qt's display plugins do that when the connection to the display breaks (the X or
// Wayland server of an ending session goes away), which skips every handler of the program.
#pragma once

#include <functional>

namespace lumvex {

class ExitCallGuard {
 public:
  // While the guard lives, an exit() called on the thread that made it runs `on_exit` first.
  // exit() on any other thread does not run it: that thread must not touch what the owning
  // thread holds. Only one guard is armed at a time; a second one stays unarmed.
  explicit ExitCallGuard(std::function<void()> on_exit);
  ~ExitCallGuard();
  ExitCallGuard(const ExitCallGuard&) = delete;
  ExitCallGuard& operator=(const ExitCallGuard&) = delete;

  bool armed() const { return armed_; }

 private:
  static void RunArmed();

  std::function<void()> on_exit_;
  bool armed_ = false;
};

}  // namespace lumvex
