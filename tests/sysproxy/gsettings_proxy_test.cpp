#include "sysproxy/gsettings_proxy.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/temp_dir.h"
#include "keyfile_store.h"
#include "platform/file_io.h"

namespace lumvex {
namespace {

using lumvex::testing::KeyfileStore;
using lumvex::testing::TempDir;

TEST(GSettingsProxyTest, EnableWritesHttpAndHttpsThenManualAndAFreshReaderSeesIt) {
  KeyfileStore store;
  auto proxy = store.Open();
  ASSERT_TRUE(proxy->Available()) << proxy->UnavailableReason();
  ASSERT_TRUE(proxy->Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel));
  EXPECT_EQ(proxy->Read(), (SystemProxySetting{true, "1.2.3.4", 8080}));

  EXPECT_EQ(store.Open()->Read(), (SystemProxySetting{true, "1.2.3.4", 8080}));
  const std::string text = ReadWholeFile(store.Path()).value_or("");
  EXPECT_NE(text.find("[system/proxy]\nmode='manual'"), std::string::npos) << text;
  // A fresh store keeps its groups in the order of the first writes: the mode came last.
  EXPECT_LT(text.find("[system/proxy/http]"), text.find("[system/proxy/https]")) << text;
  EXPECT_LT(text.find("[system/proxy/https]"), text.find("[system/proxy]\n")) << text;
  // Both schemes carry the address: programs that read https do not fall back to http.
  std::size_t hosts = 0;
  for (std::size_t at = text.find("host='1.2.3.4'"); at != std::string::npos;
       at = text.find("host='1.2.3.4'", at + 1)) {
    ++hosts;
  }
  EXPECT_EQ(hosts, 2u) << text;
}

// Each kind writes its address where GLib's resolver and the browsers look for it and empties
// the other schemes, whatever an earlier switch left there; the local gateway takes http and
// https to one port and socks to another; switching off keeps them.
TEST(GSettingsProxyTest, EachKindWritesItsSchemesAndEmptiesTheOthers) {
  struct Case {
    ProxyKind kind;
    const char* http;  // "host port" of each scheme
    const char* https;
    const char* socks;
    SystemProxySetting read;
  };
  const Case cases[] = {
      {ProxyKind::kHttp, "1.2.3.4 8080", " 0", " 0", {true, "1.2.3.4", 8080, false}},
      {ProxyKind::kHttpTunnel,
       "1.2.3.4 8080",
       "1.2.3.4 8080",
       " 0",
       {true, "1.2.3.4", 8080, false}},
      {ProxyKind::kSocks, " 0", " 0", "1.2.3.4 8080", {true, "1.2.3.4", 8080, true}},
      // The gateway: a SOCKS port of 1080 (the kind is not used).
      {ProxyKind::kHttp, "1.2.3.4 8080", "1.2.3.4 8080", "1.2.3.4 1080", {true, "1.2.3.4", 8080}},
  };
  for (const Case& c : cases) {
    KeyfileStore store;
    auto proxy = store.Open();
    ASSERT_TRUE(proxy->Enable("9.9.9.9", 99, ProxyKind::kHttpTunnel));
    ASSERT_TRUE(proxy->Enable("9.9.9.9", 99, ProxyKind::kSocks));  // all three held an address
    const bool gateway = std::string(c.socks).ends_with(" 1080");
    ASSERT_TRUE(gateway ? proxy->EnableGateway("1.2.3.4", 8080, 1080)
                        : proxy->Enable("1.2.3.4", 8080, c.kind));
    const std::string text = ReadWholeFile(store.Path()).value_or("");
    const auto scheme = [&text](const std::string& group) {
      const std::size_t start = text.find("[system/proxy/" + group + "]");
      const std::size_t host = text.find("host='", start) + 6;
      const std::size_t port = text.find("port=", start) + 5;
      return text.substr(host, text.find('\'', host) - host) + " " +
             text.substr(port, text.find('\n', port) - port);
    };
    EXPECT_EQ(scheme("http"), c.http) << text;
    EXPECT_EQ(scheme("https"), c.https) << text;
    EXPECT_EQ(scheme("socks"), c.socks) << text;
    EXPECT_EQ(store.Open()->Read(), c.read);
    ASSERT_TRUE(proxy->Disable());
    SystemProxySetting off = c.read;
    off.enabled = false;
    EXPECT_EQ(store.Open()->Read(), off);
  }
}

TEST(GSettingsProxyTest, DisableSetsModeNoneAndKeepsTheAddress) {
  KeyfileStore store;
  auto proxy = store.Open();
  ASSERT_TRUE(proxy->Enable("5.6.7.8", 3128, ProxyKind::kHttpTunnel));
  ASSERT_TRUE(proxy->Disable());
  EXPECT_EQ(store.Open()->Read(), (SystemProxySetting{false, "5.6.7.8", 3128}));
  EXPECT_NE(ReadWholeFile(store.Path()).value_or("").find("mode='none'"), std::string::npos);
  // Switching on again with another address replaces both.
  ASSERT_TRUE(proxy->Enable("9.9.9.9", 1, ProxyKind::kHttpTunnel));
  EXPECT_EQ(store.Open()->Read(), (SystemProxySetting{true, "9.9.9.9", 1}));
}

TEST(GSettingsProxyTest, AMissingSchemaLeavesTheStoreUnavailableWithoutAborting) {
  TempDir empty_schemas;
  GSettingsProxy proxy(GSettingsProxyOptions{empty_schemas.path(), empty_schemas.File("keyfile")});
  EXPECT_FALSE(proxy.Available());
  EXPECT_NE(proxy.UnavailableReason().find("org.gnome.system.proxy"), std::string::npos);
  EXPECT_FALSE(proxy.Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel));
  EXPECT_FALSE(proxy.Disable());
  EXPECT_EQ(proxy.Read(), SystemProxySetting{});
  EXPECT_FALSE(FileExists(empty_schemas.File("keyfile")));
}

TEST(GSettingsProxyTest, AStoreThatCannotBeWrittenIsAFailureNotAnOn) {
  TempDir dir;
  // The store's directory cannot exist: a plain file stands where it would be.
  std::ofstream(dir.File("blocked")) << "x";
  GSettingsProxy proxy(GSettingsProxyOptions{"", dir.File("blocked/glib/keyfile")});
  ASSERT_TRUE(proxy.Available());
  EXPECT_FALSE(proxy.Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel));
  EXPECT_FALSE(proxy.Read().enabled);
}

TEST(GSettingsProxyTest, TheDefaultStoreFollowsGsettingsBackend) {
  // The test program chose the keyfile back end under its own XDG_CONFIG_HOME.
  GSettingsProxy proxy;
  ASSERT_TRUE(proxy.Available()) << proxy.UnavailableReason();
  ASSERT_TRUE(proxy.Enable("10.0.0.1", 8000, ProxyKind::kHttpTunnel));
  const std::string path =
      std::string(std::getenv("XDG_CONFIG_HOME")) + "/glib-2.0/settings/keyfile";
  EXPECT_NE(ReadWholeFile(path).value_or("").find("host='10.0.0.1'"), std::string::npos);
  ASSERT_TRUE(proxy.Disable());
}

// GNOME keeps an HTTP proxy's login in the http scheme's authentication keys, where GLib's
// resolver and GNOME's programs read it; a proxy without one clears them, so no password of an
// earlier proxy stays behind. SOCKS has no such keys: a SOCKS login is refused, nothing written.
TEST(GSettingsProxyTest, AnHttpLoginGoesIntoTheAuthenticationKeys) {
  KeyfileStore store;
  auto proxy = store.Open();
  ASSERT_TRUE(proxy->Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel, {"bob", "pw:1"}));
  std::string text = ReadWholeFile(store.Path()).value_or("");
  for (const char* line :
       {"use-authentication=true", "authentication-user='bob'", "authentication-password='pw:1'"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  EXPECT_EQ(store.Open()->Read(), (SystemProxySetting{true, "1.2.3.4", 8080}));

  ASSERT_TRUE(proxy->Enable("5.6.7.8", 3128, ProxyKind::kHttp));
  text = ReadWholeFile(store.Path()).value_or("");
  for (const char* line :
       {"use-authentication=false", "authentication-user=''", "authentication-password=''"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }

  EXPECT_FALSE(proxy->Enable("9.9.9.9", 1080, ProxyKind::kSocks, {"bob", "pw"}));
  EXPECT_EQ(store.Open()->Read(), (SystemProxySetting{true, "5.6.7.8", 3128}));
}

}  // namespace
}  // namespace lumvex
