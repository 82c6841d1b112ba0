#include "sysproxy/proxy_address.h"

#include <gtest/gtest.h>

#include <string>

namespace lumvex {
namespace {

// The desktop's one SOCKS setting is shown as "socks://", whatever the row's SOCKS version.
TEST(ProxyAddressTest, DesktopTextMarksTheSocksSetting) {
  struct Case {
    SystemProxySetting setting;
    const char* text;
  };
  const Case cases[] = {
      {{true, "1.2.3.4", 8080, false}, "1.2.3.4:8080"},
      {{true, "1.2.3.4", 1080, true}, "socks://1.2.3.4:1080"},
      {{false, "::1", 3128, false}, "[::1]:3128"},
      {{true, "2001:db8::8", 1080, true}, "socks://[2001:db8::8]:1080"},
  };
  for (const Case& c : cases) EXPECT_EQ(DesktopProxyText(c.setting), c.text) << c.text;
}

TEST(ProxyAddressTest, CaptionCarriesTheFirstWordOfTheLocation) {
  EXPECT_EQ(IeProxyCaption("1.2.3.4:8080", "北京市 电信"), "1.2.3.4:8080 | 北京市");
  EXPECT_EQ(IeProxyCaption("1.2.3.4:8080", "北京市"), "1.2.3.4:8080 | 北京市");
  EXPECT_EQ(IeProxyCaption("1.2.3.4:8080", ""), "1.2.3.4:8080");
  EXPECT_EQ(IeProxyCaption("1.2.3.4:8080", "   "), "1.2.3.4:8080");
  // Leading spaces are not a word of their own.
  EXPECT_EQ(IeProxyCaption("1.2.3.4:8080", "  上海 联通"), "1.2.3.4:8080 | 上海");
}

TEST(ProxyAddressTest, CaptionAddressIsTheTextBeforeTheFirstBar) {
  EXPECT_EQ(CaptionAddress("1.2.3.4:8080 | 北京市"), "1.2.3.4:8080");
  EXPECT_EQ(CaptionAddress("1.2.3.4:8080"), "1.2.3.4:8080");
  EXPECT_EQ(CaptionAddress("1.2.3.4:8080 | a | b"), "1.2.3.4:8080");
  EXPECT_EQ(CaptionAddress(""), "");
}

}  // namespace
}  // namespace lumvex
