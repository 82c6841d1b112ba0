#include "app/settings/settings.h"

#include <utility>

#include "app/settings/ini_file.h"
#include "platform/file_io.h"
#include "text/codec.h"

namespace lumvex {
namespace {

constexpr std::string_view kYes = "yes";
constexpr std::string_view kNo = "no";
constexpr std::string_view kTray = "tray";
constexpr std::string_view kPoweredUp = "Powered up";
constexpr std::string_view kRun = "run";
constexpr std::string_view kIeAgentSection = "IE Agent";
constexpr std::string_view kSavedProxyKey = "IE一";

std::string_view YesNo(bool on) { return on ? kYes : kNo; }

}  // namespace

Settings::Settings(DataDir data_dir) : data_dir_(std::move(data_dir)) {}

std::optional<std::string> Settings::ReadPlain(const std::string& path) const {
  auto bytes = ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  return text::DecodeGbk(*bytes);
}

bool Settings::WritePlain(const std::string& path, std::string_view text) const {
  data_dir_.EnsureDataDir();
  return WriteWholeFile(path, text::EncodeGbk(text));
}

bool Settings::ReadFlag(const std::string& path, std::string_view name) const {
  return ReadSetting(path, name, name) == kYes;
}

bool Settings::WriteFlag(const std::string& path, std::string_view name, bool on) const {
  data_dir_.EnsureDataDir();
  return WriteSetting(path, name, name, YesNo(on));
}

std::optional<std::string> Settings::ReadAgentNumber() const {
  return ReadPlain(data_dir_.AgentNumberFile());
}

bool Settings::WriteAgentNumber(std::string_view text) const {
  return WritePlain(data_dir_.AgentNumberFile(), text);
}

std::optional<std::string> Settings::ReadThreadCount() const {
  return ReadPlain(data_dir_.ThreadFile());
}

bool Settings::WriteThreadCount(std::string_view text) const {
  return WritePlain(data_dir_.ThreadFile(), text);
}

bool Settings::ReadTray() const { return ReadFlag(data_dir_.TrayFile(), kTray); }

bool Settings::WriteTray(bool on) const { return WriteFlag(data_dir_.TrayFile(), kTray, on); }

bool Settings::ReadPoweredUp() const { return ReadFlag(data_dir_.PoweredUpFile(), kPoweredUp); }

bool Settings::WritePoweredUp(bool on) const {
  return WriteFlag(data_dir_.PoweredUpFile(), kPoweredUp, on);
}

RunChoice Settings::ReadRun() const {
  const std::string value = ReadSetting(data_dir_.IeAgentFile(), kRun, kRun);
  if (value == kYes) return RunChoice::kYes;
  if (value == kNo) return RunChoice::kNo;
  return RunChoice::kUnset;
}

bool Settings::WriteRun(bool on) const { return WriteFlag(data_dir_.IeAgentFile(), kRun, on); }

std::string Settings::ReadSavedProxy() const {
  return ReadSetting(data_dir_.IeAgentFile(), kIeAgentSection, kSavedProxyKey);
}

bool Settings::WriteSavedProxy(std::string_view value) const {
  data_dir_.EnsureDataDir();
  return WriteSetting(data_dir_.IeAgentFile(), kIeAgentSection, kSavedProxyKey, value);
}

}  // namespace lumvex
