// The KDE configuration editor on arbitrary files and values: the keys set read back, setting them
// again changes nothing, and other keys keep their values.
#include <array>
#include <map>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "sysproxy/kde_config_text.h"

namespace {

// The group and keys the proxy store edits, and a few of their look-alikes.
constexpr std::array<std::string_view, 4> kGroups = {"Proxy Settings", "proxy settings", "Proxy",
                                                     "$e"};
constexpr std::array<std::string_view, 6> kKeys = {"ProxyType",  "httpProxy",     "httpsProxy",
                                                   "NoProxyFor", "ProxyType[$e]", "proxytype"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::vector<std::string_view> fields = lumvex::fuzz::Fields(data, size, 3);
  const std::string_view picks = fields[0];
  const std::string_view value = fields[1];
  const std::string_view text = fields[2];
  auto pick = [&](std::size_t i, std::size_t count) {
    return i < picks.size() ? static_cast<unsigned char>(picks[i]) % count : 0;
  };
  const std::string group(kGroups[pick(0, kGroups.size())]);
  const std::string key(kKeys[pick(1, kKeys.size())]);
  const std::string other_key(kKeys[pick(2, kKeys.size())]);
  const std::string other_group(kGroups[pick(3, kGroups.size())]);

  const std::map<std::string, std::string> values = {{key, std::string(value)}};
  const std::string written = SetKdeConfigValues(text, group, values);
  FUZZ_CHECK(FindKdeConfigValue(written, group, key) == fuzz::ReadBackValue(value));
  FUZZ_CHECK(SetKdeConfigValues(written, group, values) == written);
  if (other_group != group || other_key != key) {
    FUZZ_CHECK(FindKdeConfigValue(written, other_group, other_key) ==
               FindKdeConfigValue(text, other_group, other_key));
  }
  return 0;
}
