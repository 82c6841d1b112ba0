// Switching off puts back what the program's proxy replaced: a manual proxy goes off, an automatic
// setup (GNOME 'auto', KDE ProxyType 2, 3, 4) is never switched off, and one the program's proxy
// was set over comes back, also in a later process through the "proxy mode" record.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/temp_dir.h"
#include "platform/file_io.h"
#include "sysproxy/desktop_system_proxy.h"
#include "sysproxy/gsettings_proxy.h"
#include "sysproxy/kde_config_text.h"
#include "sysproxy/kde_proxy.h"
#include "sysproxy/mode_restoring_system_proxy.h"

namespace lumvex {
namespace {

struct PriorModeCase {
  std::string gnome, kde;    // before the program runs ("" = never written)
  std::string record;        // a "proxy mode" record a crashed run left ("" = none)
  std::string after_off;     // both modes after "off" alone
  std::string after_on_off;  // both after on, on again (the next row), off in a later process
};

const PriorModeCase kCases[] = {
    {"none", "0", "", "none 0", "none 0"},
    {"manual", "1", "", "none 0", "none 0"},  // the user's own manual proxy
    {"auto", "2", "", "auto 2", "auto 2"},
    {"auto", "3", "", "auto 3", "auto 3"},
    {"none", "4", "", "none 4", "none 4"},
    {"", "", "", " ", "none 0"},
    {"manual", "1", "GSettings=auto\r\nKDE=3\r\n", "auto 3", ""},
    {"manual", "1", "GSettings=manual\nKDE=1\n=x\nKDE\n", "none 0", ""},  // nothing automatic
};

TEST(SwitchOffTest, OnlyAManualProxyGoesOffAndAReplacedAutomaticSetupComesBack) {
  for (const PriorModeCase& c : kCases) {
    for (const bool switch_on_first : {false, true}) {
      if (switch_on_first && c.after_on_off.empty()) continue;
      SCOPED_TRACE(c.gnome + "/" + c.kde + "/" + c.record +
                   (switch_on_first ? " on, off" : " off"));
      testing::TempDir dir;
      const std::string keyfile = dir.File("keyfile"), kioslaverc = dir.File("kioslaverc");
      const std::string data = dir.File("data");
      if (!c.gnome.empty()) {
        WriteWholeFile(keyfile, "[system/proxy]\nmode='" + c.gnome + "'\nautoconfig-url='pac'\n");
      }
      if (!c.kde.empty()) WriteWholeFile(kioslaverc, "[Proxy Settings]\nProxyType=" + c.kde + "\n");
      if (!c.record.empty()) {
        EnsureDirectory(data);
        WriteWholeFile(data + "/proxy mode", c.record);
      }
      // Every step is a process of its own: fresh stores over the same files.
      auto open = [&] {
        std::vector<std::unique_ptr<SystemProxy>> stores;
        stores.push_back(std::make_unique<KdeProxy>(KdeProxyOptions{kioslaverc, {}}));
        stores.push_back(std::make_unique<GSettingsProxy>(GSettingsProxyOptions{"", keyfile}));
        return ModeRestoringSystemProxy(std::make_shared<DesktopSystemProxy>(std::move(stores)),
                                        DataDir(data));
      };
      if (switch_on_first) {
        ASSERT_TRUE(open().Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel));
        ASSERT_TRUE(open().Enable("::1", 3128, ProxyKind::kHttpTunnel));
      }
      EXPECT_TRUE(open().Disable());
      const std::string gnome_text = ReadWholeFile(keyfile).value_or("");
      const std::size_t mode = gnome_text.find("mode='");
      const std::string gnome =
          mode == std::string::npos
              ? ""
              : gnome_text.substr(mode + 6, gnome_text.find('\'', mode + 6) - mode - 6);
      const auto kde_text = ReadWholeFile(kioslaverc);
      const std::string kde =
          kde_text ? FindKdeConfigValue(*kde_text, "Proxy Settings", "ProxyType").value_or("?")
                   : "";
      EXPECT_EQ(gnome + " " + kde, switch_on_first ? c.after_on_off : c.after_off);
      EXPECT_TRUE(c.gnome.empty() || gnome_text.find("autoconfig-url='pac'") != std::string::npos);
      EXPECT_FALSE(FileExists(data + "/proxy mode"));
    }
  }
}

}  // namespace
}  // namespace lumvex
