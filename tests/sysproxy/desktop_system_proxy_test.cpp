#include "sysproxy/desktop_system_proxy.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/temp_dir.h"
#include "platform/file_io.h"

namespace lumvex {
namespace {

using lumvex::testing::TempDir;

// A store in memory that can be told to refuse.
class FakeStore : public SystemProxy {
 public:
  FakeStore(std::string name, bool available, bool refuses)
      : name_(std::move(name)), available_(available), refuses_(refuses) {}
  bool Available() const override { return available_; }
  using SystemProxy::Enable;
  bool Enable(const std::string& host, int port, ProxyKind /*kind*/,
              const text::ProxyLogin& /*login*/) override {
    ++writes;
    if (refuses_) return false;
    setting = {true, host, port};
    return true;
  }
  bool DisableRestoring(const AutomaticModes& /*before*/) override {
    ++writes;
    setting.enabled = false;
    return true;
  }
  AutomaticModes ModesToRestore(const AutomaticModes& /*kept*/) const override { return {}; }
  SystemProxySetting Read() const override { return setting; }
  std::string Name() const override { return name_; }

  SystemProxySetting setting;
  int writes = 0;

 private:
  std::string name_;
  bool available_;
  bool refuses_;
};

struct Stores {
  std::vector<FakeStore*> raw;
  std::unique_ptr<DesktopSystemProxy> proxy;
};

Stores Make(std::vector<std::tuple<std::string, bool, bool>> specs) {
  Stores stores;
  std::vector<std::unique_ptr<SystemProxy>> owned;
  for (auto& [name, available, refuses] : specs) {
    auto store = std::make_unique<FakeStore>(name, available, refuses);
    stores.raw.push_back(store.get());
    owned.push_back(std::move(store));
  }
  stores.proxy = std::make_unique<DesktopSystemProxy>(std::move(owned));
  return stores;
}

TEST(DesktopSystemProxyTest, SwitchesEveryAvailableStoreAndReadsTheFirst) {
  Stores s = Make({{"KDE", true, false}, {"Gone", false, false}, {"GSettings", true, false}});
  EXPECT_EQ(s.proxy->Name(), "KDE+GSettings");
  ASSERT_TRUE(s.proxy->Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel));
  EXPECT_EQ(s.raw[0]->setting, (SystemProxySetting{true, "1.2.3.4", 8080}));
  EXPECT_EQ(s.raw[1]->writes, 0);
  EXPECT_EQ(s.raw[2]->setting, (SystemProxySetting{true, "1.2.3.4", 8080}));
  s.raw[2]->setting.host = "other";
  EXPECT_EQ(s.proxy->Read().host, "1.2.3.4");
  ASSERT_TRUE(s.proxy->Disable());
  EXPECT_FALSE(s.raw[0]->setting.enabled);
  EXPECT_FALSE(s.raw[2]->setting.enabled);
}

TEST(DesktopSystemProxyTest, OneRefusingStoreSwitchesAllOff) {
  Stores s = Make({{"KDE", true, false}, {"GSettings", true, true}});
  EXPECT_FALSE(s.proxy->Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel));
  EXPECT_FALSE(s.raw[0]->setting.enabled);  // the one that took it is off again
  EXPECT_FALSE(s.proxy->Read().enabled);
}

TEST(DesktopSystemProxyTest, WithoutStoresNothingSucceeds) {
  Stores s = Make({{"GSettings", false, false}});
  EXPECT_FALSE(s.proxy->Available());
  EXPECT_EQ(s.proxy->Name(), "");
  EXPECT_FALSE(s.proxy->Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel));
  EXPECT_FALSE(s.proxy->Disable());
  EXPECT_EQ(s.proxy->Read(), SystemProxySetting{});
}

TEST(DesktopSystemProxyTest, KdeSessionsGetKioslavercAndGSettings) {
  TempDir dir;
  std::map<std::string, std::string> vars = {{"XDG_CURRENT_DESKTOP", "ubuntu:KDE"},
                                             {"XDG_CONFIG_HOME", dir.path()}};
  auto env = [&vars](const char* name) -> const char* {
    auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  };
  std::unique_ptr<SystemProxy> kde = MakeDesktopSystemProxy(env);
  EXPECT_EQ(kde->Name(), "KDE+GSettings");
  ASSERT_TRUE(kde->Enable("1.2.3.4", 8080, ProxyKind::kHttpTunnel));
  EXPECT_NE(ReadWholeFile(dir.File("kioslaverc")).value_or("").find("ProxyType=1"),
            std::string::npos);
  ASSERT_TRUE(kde->Disable());

  vars["XDG_CURRENT_DESKTOP"] = "GNOME";
  EXPECT_EQ(MakeDesktopSystemProxy(env)->Name(), "GSettings");
}

}  // namespace
}  // namespace lumvex
