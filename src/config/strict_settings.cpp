#include "config/strict_settings.h"

#include <string_view>

#include "config/endpoints.h"
#include "settings/settings.h"
#include "text/text_util.h"

namespace lumvex {

bool StrictUrlAccepted(std::string_view url) {
  return text::Trim(url).empty() || HostOfAddress(text::Trim(url)).has_value();
}

StrictRule ReadStrictRule(const DataDir& data_dir) {
  const Settings settings(data_dir);
  StrictRule rule;
  rule.url = settings.Read(SettingKey::kStrictUrl);
  rule.expect = settings.Read(SettingKey::kStrictExpect);
  rule.judge = settings.Read(SettingKey::kStrictJudge);
  return rule;
}

bool WriteStrictRule(const DataDir& data_dir, const StrictRule& rule) {
  const Settings settings(data_dir);
  const bool url = settings.Write(SettingKey::kStrictUrl, rule.url);
  const bool expect = settings.Write(SettingKey::kStrictExpect, rule.expect);
  // A file that never had a judge keeps its bytes.
  const bool judge = (rule.judge.empty() && settings.Read(SettingKey::kStrictJudge).empty()) ||
                     settings.Write(SettingKey::kStrictJudge, rule.judge);
  return url && expect && judge;
}

}  // namespace lumvex
