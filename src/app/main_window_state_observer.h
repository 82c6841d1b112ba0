// Change notifications of MainWindowState, delivered on the UI thread after the change is made.
#pragma once

#include "app/main_window_controls.h"

namespace lumvex {

class MainWindowStateObserver {
 public:
  virtual ~MainWindowStateObserver() = default;
  // `control` changed in one or more facets; the observer re-reads the control.
  virtual void OnStateChanged(ControlId control) = 0;
};

}  // namespace lumvex
