#include "settings/settings.h"

#include <utility>
#include <vector>

#include "platform/file_io.h"
#include "settings/ini_file.h"
#include "text/codec.h"

namespace lumvex {
namespace {

std::string_view YesNo(bool on) { return on ? kYes : kNo; }

}  // namespace

Settings::Settings(DataDir data_dir) : data_dir_(std::move(data_dir)) {}

std::string Settings::Read(SettingKey key) const {
  const StoredKey& stored = StoredKeyOf(key);
  std::string value = ReadSetting(data_dir_.PathOf(FileOfKey(key).id), stored.section, stored.key);
  return value.empty() ? std::string(stored.fallback) : value;
}

bool Settings::Write(SettingKey key, std::string_view value) const {
  const StoredKey& stored = StoredKeyOf(key);
  data_dir_.EnsureDataDir();
  return WriteSetting(data_dir_.PathOf(FileOfKey(key).id), stored.section, stored.key, value);
}

bool Settings::Write(std::span<const std::pair<SettingKey, std::string_view>> values) const {
  if (values.empty()) return true;
  const DataFile file = FileOfKey(values.front().first).id;
  std::vector<ProfileEntry> entries;
  for (const auto& [key, value] : values) {
    if (FileOfKey(key).id != file) return false;
    const StoredKey& stored = StoredKeyOf(key);
    entries.push_back(ProfileEntry{stored.section, stored.key, value});
  }
  data_dir_.EnsureDataDir();
  return WriteSettings(data_dir_.PathOf(file), entries);
}

std::optional<std::string> Settings::ReadPlain(DataFile file) const {
  auto bytes = ReadWholeFile(data_dir_.PathOf(file));
  if (!bytes) return std::nullopt;
  return text::DecodeGbk(*bytes);
}

bool Settings::WritePlain(DataFile file, std::string_view text) const {
  data_dir_.EnsureDataDir();
  return WriteWholeFile(data_dir_.PathOf(file), text::EncodeGbk(text));
}

std::optional<std::string> Settings::ReadAgentNumber() const {
  return ReadPlain(DataFile::kFetchCount);
}

bool Settings::WriteAgentNumber(std::string_view text) const {
  return WritePlain(DataFile::kFetchCount, text);
}

std::optional<std::string> Settings::ReadThreadCount() const {
  return ReadPlain(DataFile::kThreadCount);
}

bool Settings::WriteThreadCount(std::string_view text) const {
  return WritePlain(DataFile::kThreadCount, text);
}

bool Settings::ReadTray() const { return Read(SettingKey::kTray) == kYes; }

bool Settings::WriteTray(bool on) const { return Write(SettingKey::kTray, YesNo(on)); }

bool Settings::ReadPoweredUp() const { return Read(SettingKey::kPoweredUp) == kYes; }

bool Settings::WritePoweredUp(bool on) const { return Write(SettingKey::kPoweredUp, YesNo(on)); }

RunChoice Settings::ReadRun() const {
  const std::string value = Read(SettingKey::kRun);
  if (value == kYes) return RunChoice::kYes;
  if (value == kNo) return RunChoice::kNo;
  return RunChoice::kUnset;
}

bool Settings::WriteRun(bool on) const { return Write(SettingKey::kRun, YesNo(on)); }

std::string Settings::ReadSavedProxy() const { return Read(SettingKey::kSavedProxy); }

bool Settings::WriteSavedProxy(std::string_view value) const {
  return Write(SettingKey::kSavedProxy, value);
}

}  // namespace lumvex
