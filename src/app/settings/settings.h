// Typed access to the settings files in the data directory, as the settings dialog and start-up
// use them. Text is UTF-8 here and GBK on disk. Reads of missing files give the documented
// defaults; every write creates the data directory first and reports success, which callers may
// ignore.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/settings/data_dir.h"

namespace lumvex {

// The "run" choice (restore the saved system proxy at start): "yes", "no", or anything else,
// including a missing file or key, which start-up treats differently from "no".
enum class RunChoice { kYes, kNo, kUnset };

class Settings {
 public:
  explicit Settings(DataDir data_dir);

  const DataDir& data_dir() const { return data_dir_; }

  // Number of proxies to fetch, whole-file text as typed (no line end). nullopt when the file is
  // absent or unreadable, so the caller leaves its field empty.
  std::optional<std::string> ReadAgentNumber() const;
  bool WriteAgentNumber(std::string_view text) const;

  // Worker thread count, same form as the agent number.
  std::optional<std::string> ReadThreadCount() const;
  bool WriteThreadCount(std::string_view text) const;

  // Start minimised to the tray.
  bool ReadTray() const;
  bool WriteTray(bool on) const;

  // Mirror of the autostart checkbox (only the settings dialog reads it).
  bool ReadPoweredUp() const;
  bool WritePoweredUp(bool on) const;

  RunChoice ReadRun() const;
  bool WriteRun(bool on) const;

  // The last proxy made the system proxy: "ip:port" or "ip:port | word"; "" when none is saved.
  std::string ReadSavedProxy() const;
  bool WriteSavedProxy(std::string_view value) const;

 private:
  std::optional<std::string> ReadPlain(const std::string& path) const;
  bool WritePlain(const std::string& path, std::string_view text) const;
  bool ReadFlag(const std::string& path, std::string_view name) const;
  bool WriteFlag(const std::string& path, std::string_view name, bool on) const;

  DataDir data_dir_;
};

}  // namespace lumvex
