#include "ui/startup_reporter.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <utility>

namespace lumvex {

StartupReporter::StartupReporter(QWidget* window, bool enabled,
                                 std::function<void()> after_first_paint)
    : window_(window), enabled_(enabled), after_first_paint_(std::move(after_first_paint)) {
  since_construction_.start();
  if (enabled_ || after_first_paint_) window_->installEventFilter(this);
  if (after_first_paint_) QTimer::singleShot(kLatestMs, this, [this] { RunAfterFirstPaint(); });
}

void StartupReporter::RunAfterFirstPaint() {
  if (std::function<void()> run = std::exchange(after_first_paint_, nullptr)) run();
}

bool StartupReporter::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Paint) {
    window_->removeEventFilter(this);
    if (enabled_) {
      std::printf("LUMVEX_WINDOW_SHOWN %lld\n",
                  static_cast<long long>(since_construction_.elapsed()));
      std::fflush(stdout);
    }
    // Once the paint is done.
    if (after_first_paint_) QTimer::singleShot(0, this, [this] { RunAfterFirstPaint(); });
  }
  return false;
}

}  // namespace lumvex
