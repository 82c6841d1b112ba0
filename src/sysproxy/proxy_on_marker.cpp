#include "sysproxy/proxy_on_marker.h"

#include <unistd.h>

#include <utility>

#include "platform/file_io.h"

namespace lumvex {

ProxyOnMarker::ProxyOnMarker(DataDir data_dir)
    : data_dir_(std::move(data_dir)), path_(data_dir_.PathOf(DataFile::kProxyOn)) {}

bool ProxyOnMarker::Exists() const { return FileExists(path_); }

bool ProxyOnMarker::Set() const {
  if (Exists()) return true;
  data_dir_.EnsureDataDir();
  // The process number only helps a person who finds the file; nothing reads it.
  return WriteWholeFile(path_, std::to_string(::getpid()) + "\r\n");
}

bool ProxyOnMarker::Clear() const {
  if (!Exists()) return true;
  RemoveFile(path_);
  return !Exists();
}

}  // namespace lumvex
