#include "proxylist/seen_addresses.h"

#include <gtest/gtest.h>

#include "proxylist/proxy_line_parser.h"

namespace lumvex {
namespace {

// The row a list line gives.
ProxyEntry Row(std::string_view line) {
  const std::vector<ProxyEntry> rows = ParseProxyLine(line);
  EXPECT_FALSE(rows.empty()) << line;
  return rows.empty() ? ProxyEntry{} : rows.front();
}

TEST(SeenAddressesTest, AProxyIsNewOnlyTheFirstTime) {
  struct Case {
    std::string_view first;
    std::string_view second;
    bool same;
  };
  const Case cases[] = {
      {"1.2.3.4:80", "1.2.3.4:80", true},
      {"1.2.3.4:80", " 1.2.3.4:80@HTTP#US", true},  // the tail is no part of the proxy
      {"1.2.3.4:80", "http://1.2.3.4:80", true},    // http:// is the same as none
      {"1.2.3.4:80", "1.2.3.4:8080", false},
      {"1.2.3.4:80", "1.2.3.5:80", false},
      {"1.2.3.4:80", "4.3.2.1:80", false},
      {"255.255.255.255:65535", "255.255.255.255:65535", true},
      {"1.2.3.4:1080", "socks5://1.2.3.4:1080", false},
      {"SOCKS5://1.2.3.4:1080", "socks5://1.2.3.4:1080", true},
      {"Proxy.Example.com:3128", "proxy.example.COM:3128", true},
      {"proxy.example.com:3128", "proxy.example.org:3128", false},
      {"[::1]:8080", "[::1]:8080", true},
      {"[::1]:8080", "[::2]:8080", false},
      {"[FE80::1]:80", "[fe80::1]:80", true},
  };
  for (const Case& c : cases) {
    SeenAddresses seen;
    EXPECT_TRUE(seen.FirstTime(Row(c.first))) << c.first;
    EXPECT_FALSE(seen.FirstTime(Row(c.first))) << c.first;
    EXPECT_EQ(seen.FirstTime(Row(c.second)), !c.same) << c.first << " / " << c.second;
    EXPECT_EQ(seen.size(), c.same ? 1u : 2u) << c.first << " / " << c.second;
  }
}

}  // namespace
}  // namespace lumvex
