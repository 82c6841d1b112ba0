// A GSettings store of a test's own: a keyfile in a fresh temporary directory.
#pragma once

#include <memory>
#include <string>

#include "app/temp_dir.h"
#include "sysproxy/gsettings_proxy.h"

namespace lumvex::testing {

class KeyfileStore {
 public:
  std::string Path() const { return dir_.File("keyfile"); }
  // A back end on the store; each one loads the file afresh.
  std::unique_ptr<GSettingsProxy> Open() const {
    return std::make_unique<GSettingsProxy>(GSettingsProxyOptions{"", Path()});
  }

 private:
  TempDir dir_;
};

}  // namespace lumvex::testing
