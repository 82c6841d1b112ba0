#include "ui/startup_reporter.h"

#include <QEvent>
#include <QWidget>
#include <cstdio>

namespace lumvex {

StartupReporter::StartupReporter(QWidget* window, bool enabled) : window_(window) {
  since_construction_.start();
  if (enabled) window_->installEventFilter(this);
}

bool StartupReporter::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Paint) {
    window_->removeEventFilter(this);
    std::printf("LUMVEX_WINDOW_SHOWN %lld\n",
                static_cast<long long>(since_construction_.elapsed()));
    std::fflush(stdout);
  }
  return false;
}

}  // namespace lumvex
