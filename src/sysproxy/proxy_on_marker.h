// The marker file that says the program has switched the system proxy on. It is written before
// the switch and removed once the proxy is off again, so a start that finds it knows the last run
// ended without its exit sequence (a crash, kill -9, power loss) and left the desktop on a proxy.
#pragma once

#include <string>

#include "settings/data_dir.h"

namespace lumvex {

class ProxyOnMarker {
 public:
  // `data_dir`: the program's data directory (created when the marker is written); the marker is
  // its DataFile::kProxyOn.
  explicit ProxyOnMarker(DataDir data_dir);

  bool Exists() const;
  // True when the marker is in place afterwards.
  bool Set() const;
  // True when no marker is left.
  bool Clear() const;
  const std::string& Path() const { return path_; }
  const DataDir& DataDirectory() const { return data_dir_; }

 private:
  DataDir data_dir_;
  std::string path_;
};

}  // namespace lumvex
