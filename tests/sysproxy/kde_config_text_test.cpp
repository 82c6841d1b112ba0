#include "sysproxy/kde_config_text.h"

#include <gtest/gtest.h>

namespace lumvex {
namespace {

const std::map<std::string, std::string> kOn = {{"ProxyType", "1"},
                                                {"httpProxy", "http://1.2.3.4 8080"},
                                                {"httpsProxy", "http://1.2.3.4 8080"}};

TEST(KdeConfigTextTest, ReplacesKeysInPlaceAndKeepsEveryOtherLine) {
  const std::string before =
      "[$Version]\nupdate_info=kioslave.upd:esc-proxy\n\n"
      "[Proxy Settings]\n# hand note\nNoProxyFor=localhost,127.0.0.1\nProxyType=0\n"
      "httpProxy=http://old 1\nhttpProxy[$e]=$PROXY\nReversedException=false\n\n"
      "[Cache Settings]\nProxyType=7\n";
  const std::string after =
      "[$Version]\nupdate_info=kioslave.upd:esc-proxy\n\n"
      "[Proxy Settings]\n# hand note\nNoProxyFor=localhost,127.0.0.1\nProxyType=1\n"
      "httpProxy=http://1.2.3.4 8080\nhttpProxy[$e]=$PROXY\nReversedException=false\n"
      "httpsProxy=http://1.2.3.4 8080\n\n"
      "[Cache Settings]\nProxyType=7\n";
  EXPECT_EQ(SetKdeConfigValues(before, "Proxy Settings", kOn), after);
  EXPECT_EQ(FindKdeConfigValue(after, "Proxy Settings", "ProxyType"), "1");
  EXPECT_EQ(FindKdeConfigValue(after, "Cache Settings", "ProxyType"), "7");
  EXPECT_EQ(FindKdeConfigValue(after, "Proxy Settings", "httpProxy"), "http://1.2.3.4 8080");
  EXPECT_EQ(FindKdeConfigValue(after, "Proxy Settings", "ftpProxy"), std::nullopt);
  EXPECT_EQ(FindKdeConfigValue(after, "Other", "ProxyType"), std::nullopt);
}

TEST(KdeConfigTextTest, AppendsAMissingGroupAndWritesIntoAnEmptyFile) {
  EXPECT_EQ(SetKdeConfigValues("", "Proxy Settings", {{"ProxyType", "0"}}),
            "[Proxy Settings]\nProxyType=0\n");
  EXPECT_EQ(SetKdeConfigValues("[A]\nx=1", "Proxy Settings", {{"ProxyType", "0"}}),
            "[A]\nx=1\n\n[Proxy Settings]\nProxyType=0\n");
}

TEST(KdeConfigTextTest, KeepsCrLfAndNamesAreCaseSensitive) {
  const std::string before = "[proxy settings]\r\nProxyType=1\r\n[Proxy Settings]\r\nproxytype=5";
  EXPECT_EQ(
      SetKdeConfigValues(before, "Proxy Settings", {{"ProxyType", "0"}}),
      "[proxy settings]\r\nProxyType=1\r\n[Proxy Settings]\r\nproxytype=5\r\nProxyType=0\r\n");
}

TEST(KdeConfigTextTest, ARepeatedGroupGetsEveryOccurrenceAndTheLastValueWins) {
  const std::string before = "[Proxy Settings]\nProxyType=1\n[B]\n[Proxy Settings]\nProxyType=2\n";
  EXPECT_EQ(FindKdeConfigValue(before, "Proxy Settings", "ProxyType"), "2");
  const std::string after = SetKdeConfigValues(before, "Proxy Settings", {{"ProxyType", "0"}});
  EXPECT_EQ(after, "[Proxy Settings]\nProxyType=0\n[B]\n[Proxy Settings]\nProxyType=0\n");
}

TEST(KdeConfigTextTest, ALineBreakInAValueCannotStartANewLine) {
  const std::string after =
      SetKdeConfigValues("", "Proxy Settings", {{"httpProxy", "http://a 1\n[Evil]\nx=1"}});
  EXPECT_EQ(after, "[Proxy Settings]\nhttpProxy=http://a 1 [Evil] x=1\n");
}

}  // namespace
}  // namespace lumvex
