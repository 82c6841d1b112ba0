// Switching off puts back what the program's proxy replaced: a manual proxy goes off, an automatic
// configuration (GNOME 'auto', KDE ProxyType 2, 3, 4) is never switched off, and one the program's
// proxy was set over comes back, also from a later process through the "proxy mode" record.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/mode_restoring_system_proxy.h"
#include "app/temp_dir.h"
#include "platform/desktop_system_proxy.h"
#include "platform/file_io.h"
#include "platform/gsettings_proxy.h"
#include "platform/kde_config_text.h"
#include "platform/kde_proxy.h"

namespace lumvex {
namespace {

using lumvex::testing::TempDir;

constexpr char kPac[] = "autoconfig-url='http://wpad.test/wpad.dat'";

struct PriorModeCase {
  const char* gnome;   // mode before the program runs; "" = never set
  const char* kde;     // ProxyType before; "" = no kioslaverc
  const char* record;  // a "proxy mode" record left by an earlier run ("" = none)
  // After "off" alone, and after on, on again (the next row) and off in a later process.
  const char* gnome_after_off;
  const char* kde_after_off;
  const char* gnome_after_on_off;
  const char* kde_after_on_off;
};

class SwitchOffTest : public ::testing::Test {
 protected:
  void Prepare(const PriorModeCase& c) {
    ASSERT_TRUE(EnsureDirectory(dir_->File("config")));
    if (*c.gnome != '\0') {
      ASSERT_TRUE(WriteWholeFile(
          Keyfile(), std::string("[system/proxy]\nmode='") + c.gnome + "'\n" + kPac + "\n"));
    }
    if (*c.kde != '\0') {
      ASSERT_TRUE(WriteWholeFile(Kioslaverc(), std::string("[Proxy Settings]\nProxyType=") + c.kde +
                                                   "\nProxy Config Script=http://wpad.test/\n"));
    }
    if (*c.record != '\0') {
      ASSERT_TRUE(EnsureDirectory(Data()));
      ASSERT_TRUE(WriteWholeFile(Data() + "/proxy mode", c.record));
    }
  }
  // The desktop's stores as a fresh process of the program opens them.
  std::unique_ptr<SystemProxy> Open() {
    std::vector<std::unique_ptr<SystemProxy>> stores;
    stores.push_back(std::make_unique<KdeProxy>(KdeProxyOptions{Kioslaverc(), {}}));
    stores.push_back(std::make_unique<GSettingsProxy>(GSettingsProxyOptions{"", Keyfile()}));
    return std::make_unique<ModeRestoringSystemProxy>(
        std::make_unique<DesktopSystemProxy>(std::move(stores)), Data());
  }
  // The GNOME mode as the keyfile holds it ("" when never written).
  std::string GnomeMode() const {
    const std::string text = ReadWholeFile(Keyfile()).value_or("");
    const std::size_t at = text.find("\nmode='");
    return at == std::string::npos ? "" : text.substr(at + 7, text.find('\'', at + 7) - at - 7);
  }
  std::string KdeType() const {
    const auto text = ReadWholeFile(Kioslaverc());
    return text ? FindKdeConfigValue(*text, "Proxy Settings", "ProxyType").value_or("?") : "";
  }
  // The user's own lines are never lost, whatever the mode.
  void ExpectAutomaticSetupKept(const PriorModeCase& c) const {
    if (*c.gnome != '\0') {
      EXPECT_NE(ReadWholeFile(Keyfile()).value_or("").find(kPac), std::string::npos);
    }
    if (*c.kde != '\0') {
      EXPECT_NE(
          ReadWholeFile(Kioslaverc()).value_or("").find("Proxy Config Script=http://wpad.test/"),
          std::string::npos);
    }
  }
  std::string Keyfile() const { return dir_->File("config/keyfile"); }
  std::string Kioslaverc() const { return dir_->File("config/kioslaverc"); }
  std::string Data() const { return dir_->File("data"); }

  std::unique_ptr<TempDir> dir_;  // a fresh one for every case
};

const PriorModeCase kCases[] = {
    {"none", "0", "", "none", "0", "none", "0"},
    {"manual", "1", "", "none", "0", "none", "0"},  // the user's own manual proxy
    {"auto", "2", "", "auto", "2", "auto", "2"},
    {"auto", "3", "", "auto", "3", "auto", "3"},
    {"none", "4", "", "none", "4", "none", "4"},
    {"", "", "", "", "", "none", "0"},
    // A run that switched on over PAC/WPAD and then crashed: the next switch-off puts them back.
    {"manual", "1", "GSettings=auto\r\nKDE=3\r\n", "auto", "3", "auto", "3"},
    // A record that names nothing automatic switches off as usual.
    {"manual", "1", "GSettings=manual\nKDE=1\n=x\nKDE\n", "none", "0", "none", "0"},
};

TEST_F(SwitchOffTest, OffAloneTouchesOnlyAManualProxy) {
  for (const PriorModeCase& c : kCases) {
    SCOPED_TRACE(std::string(c.gnome) + "/" + c.kde + "/" + c.record);
    dir_ = std::make_unique<TempDir>();
    Prepare(c);
    EXPECT_TRUE(Open()->Disable());
    EXPECT_EQ(GnomeMode(), c.gnome_after_off);
    EXPECT_EQ(KdeType(), c.kde_after_off);
    ExpectAutomaticSetupKept(c);
    EXPECT_FALSE(FileExists(Data() + "/proxy mode"));
  }
}

TEST_F(SwitchOffTest, OnOverAnyModeThenOffInALaterProcessPutsItBack) {
  for (const PriorModeCase& c : kCases) {
    if (*c.record != '\0') continue;  // a record is only ever left behind by a run
    SCOPED_TRACE(std::string(c.gnome) + "/" + c.kde);
    dir_ = std::make_unique<TempDir>();
    Prepare(c);
    ASSERT_TRUE(Open()->Enable("1.2.3.4", 8080));
    EXPECT_EQ(GnomeMode(), "manual");
    EXPECT_EQ(KdeType(), "1");
    ASSERT_TRUE(Open()->Enable("::1", 3128));  // the next row, while the first is on
    EXPECT_TRUE(Open()->Disable());
    EXPECT_EQ(GnomeMode(), c.gnome_after_on_off);
    EXPECT_EQ(KdeType(), c.kde_after_on_off);
    ExpectAutomaticSetupKept(c);
    EXPECT_FALSE(FileExists(Data() + "/proxy mode"));
  }
}

}  // namespace
}  // namespace lumvex
