#include "app/proxy_address.h"

#include <gtest/gtest.h>

namespace lumvex {
namespace {

TEST(ProxyAddressTest, TakesHostAndPortInRange) {
  EXPECT_EQ(ParseProxyAddress("1.2.3.4:8080"), (ProxyAddress{"1.2.3.4", 8080}));
  EXPECT_EQ(ParseProxyAddress("proxy.example-1.org:1"), (ProxyAddress{"proxy.example-1.org", 1}));
  EXPECT_EQ(ParseProxyAddress("h:65535"), (ProxyAddress{"h", 65535}));
  EXPECT_EQ(ParseProxyAddress("1.2.3.4:08080")->Text(), "1.2.3.4:8080");
}

TEST(ProxyAddressTest, RefusesWhatIsNotHostColonPort) {
  for (const char* bad :
       {":", "", "1.2.3.4:", ":8080", "a b:80", "1.2.3.4:0", "1.2.3.4:65536", "1.2.3.4:123456",
        "1.2.3.4:80a", "1.2.3.4:-80", "1.2.3.4", "::1:80", "1.2.3.4:80:80", " 1.2.3.4:80",
        "1.2.3.4: 80", "北京:80", "-h:80", "a\n:80", "http://1.2.3.4:80"}) {
    EXPECT_FALSE(ParseProxyAddress(bad)) << bad;
  }
}

TEST(ProxyAddressTest, TakesIpv6InBracketsAndGivesTheHostWithoutThem) {
  struct Case {
    const char* text;
    const char* host;  // nullptr: refused
    int port;
  };
  const Case cases[] = {
      {"[::1]:3128", "::1", 3128},
      {"[2001:db8::8]:8080", "2001:db8::8", 8080},
      {"[::ffff:1.2.3.4]:80", "::ffff:1.2.3.4", 80},
      {"[::1]", nullptr, 0},
      {"[::1]:", nullptr, 0},
      {"[::1]:65536", nullptr, 0},
      {"[]:80", nullptr, 0},
      {"[1.2.3.4]:80", nullptr, 0},
      {"[::1]x:80", nullptr, 0},
      {"[::1]:80:80", nullptr, 0},
      {"[fe80::1%eth0]:80", nullptr, 0},
      {"[::g]:80", nullptr, 0},
      {"::1]:80", nullptr, 0},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseProxyAddress(c.text);
    if (c.host == nullptr) {
      EXPECT_FALSE(parsed) << c.text;
      continue;
    }
    ASSERT_TRUE(parsed) << c.text;
    EXPECT_EQ(*parsed, (ProxyAddress{c.host, c.port})) << c.text;
    EXPECT_EQ(parsed->Text(), c.text);  // the brackets come back for display
  }
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
