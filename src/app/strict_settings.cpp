#include "app/strict_settings.h"

#include <string_view>

#include "app/endpoints.h"
#include "settings/settings.h"
#include "text/text_util.h"

namespace lumvex {

bool StrictUrlAccepted(std::string_view url) {
  return text::Trim(url).empty() || HostOfAddress(text::Trim(url)).has_value();
}

StrictRule ReadStrictRule(const DataDir& data_dir) {
  const Settings settings(data_dir);
  return StrictRule{settings.Read(SettingKey::kStrictUrl),
                    settings.Read(SettingKey::kStrictExpect)};
}

bool WriteStrictRule(const DataDir& data_dir, const StrictRule& rule) {
  const Settings settings(data_dir);
  const bool url = settings.Write(SettingKey::kStrictUrl, rule.url);
  const bool expect = settings.Write(SettingKey::kStrictExpect, rule.expect);
  return url && expect;
}

}  // namespace lumvex
