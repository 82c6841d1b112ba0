// Typed access to the settings files in the data directory, as the settings dialog, start-up and
// the controllers use them; names, sections, keys and defaults come from kStoredFiles. Text is
// UTF-8 here and GBK on disk. Reads of missing files give the table's defaults; every write
// creates the data directory first and reports success, which callers may ignore.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "settings/data_dir.h"
#include "settings/stored_files.h"

namespace lumvex {

// The "run" choice (restore the saved system proxy at start): "yes", "no", or anything else,
// including a missing file or key, which start-up treats differently from "no".
enum class RunChoice { kYes, kNo, kUnset };

class Settings {
 public:
  explicit Settings(DataDir data_dir);

  const DataDir& data_dir() const { return data_dir_; }

  // One key of an INI file: its value, or the table's fallback when it is missing or empty.
  std::string Read(SettingKey key) const;
  bool Write(SettingKey key, std::string_view value) const;
  // Several keys of one file in one replacement of it; false (and nothing written) when they are
  // not all of one file.
  bool Write(std::span<const std::pair<SettingKey, std::string_view>> values) const;

  // Number of proxies to fetch, whole-file text as typed (no line end). nullopt when the file is
  // absent or unreadable, so the caller leaves its field empty.
  std::optional<std::string> ReadAgentNumber() const;
  bool WriteAgentNumber(std::string_view text) const;

  // Checks at once (also source A's page workers), same form as the agent number.
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
  std::optional<std::string> ReadPlain(DataFile file) const;
  bool WritePlain(DataFile file, std::string_view text) const;

  DataDir data_dir_;
};

}  // namespace lumvex
