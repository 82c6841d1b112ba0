#include "ui/display_check.h"

namespace lumvex {

namespace {

bool IsSet(const std::function<const char*(const char*)>& getenv, const char* name) {
  const char* value = getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

std::string MissingDisplayMessage(const std::function<const char*(const char*)>& getenv) {
  if (IsSet(getenv, "QT_QPA_PLATFORM") || IsSet(getenv, "DISPLAY") ||
      IsSet(getenv, "WAYLAND_DISPLAY")) {
    return {};
  }
  return "lumvexip: no display to show the window on: neither DISPLAY (X11) nor WAYLAND_DISPLAY "
         "is set, and QT_QPA_PLATFORM does not choose another platform.\n"
         "Run it inside a desktop session, or under a virtual X server, for example:\n"
         "  xvfb-run -a bash scripts/start.sh\n"
         "or set QT_QPA_PLATFORM=offscreen to run without showing anything.\n";
}

}  // namespace lumvex
