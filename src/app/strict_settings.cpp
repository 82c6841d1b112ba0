#include "app/strict_settings.h"

#include <string_view>

#include "app/endpoints.h"
#include "app/settings/data_dir.h"
#include "app/settings/ini_file.h"
#include "text/text_util.h"

namespace lumvex {
namespace {

constexpr std::string_view kSection = "strict";
constexpr std::string_view kUrlKey = "url";
constexpr std::string_view kExpectKey = "expect";

}  // namespace

bool StrictUrlAccepted(std::string_view url) {
  return text::Trim(url).empty() || HostOfAddress(text::Trim(url)).has_value();
}

StrictRule ReadStrictRule(const std::string& data_dir) {
  const std::string path = DataDir(data_dir).FilePath(kStrictFileName);
  return StrictRule{ReadSetting(path, kSection, kUrlKey), ReadSetting(path, kSection, kExpectKey)};
}

bool WriteStrictRule(const std::string& data_dir, const StrictRule& rule) {
  const DataDir dir(data_dir);
  dir.EnsureDataDir();
  const std::string path = dir.FilePath(kStrictFileName);
  const bool url = WriteSetting(path, kSection, kUrlKey, rule.url);
  const bool expect = WriteSetting(path, kSection, kExpectKey, rule.expect);
  return url && expect;
}

}  // namespace lumvex
