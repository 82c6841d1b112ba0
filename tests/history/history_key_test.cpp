// Every way of writing one proxy finds the same history, and two proxies never share one.
#include <gtest/gtest.h>

#include <string>

#include "history/history_key.h"
#include "net/proxy_address.h"

namespace lumvex {
namespace {

TEST(HistoryKeyTest, OneKeyPerProxyAsSameProxyAddressTellsThem) {
  const struct {
    const char* address;
    const char* key;
  } kCases[] = {
      {"1.2.3.4:8080", "1.2.3.4:8080"},
      {"1.2.3.4:080", "1.2.3.4:80"},
      {"http://1.2.3.4:80", "1.2.3.4:80"},
      {"HTTP://1.2.3.4:0080", "1.2.3.4:80"},
      {"SOCKS5://Proxy.Example:1080", "socks5://proxy.example:1080"},
      {"socks5h://proxy.example:1080", "socks5h://proxy.example:1080"},
      {"socks4://1.2.3.4:1080", "socks4://1.2.3.4:1080"},
      // The login is no part of the key: the same server, and no password on disk.
      {"user:secret@1.2.3.4:80", "1.2.3.4:80"},
      {"socks5://User:Pw@Host:1080", "socks5://host:1080"},
      {"[2001:DB8::1]:080", "[2001:db8::1]:80"},
      {"[2001:db8::1]:80", "[2001:db8::1]:80"},
      // Text that is no address is its own key, letter case and all.
      {"Not An Address", "Not An Address"},
      {"1.2.3.4:0", "1.2.3.4:0"},
      {"1.2.3.4:065536", "1.2.3.4:065536"},
      {"", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(HistoryKey(c.address), c.key) << c.address;
    // A key is its own key, and the quick test never calls a text that changes a key.
    EXPECT_EQ(HistoryKey(c.key), c.key) << c.key;
    if (IsHistoryKey(c.address)) {
      EXPECT_EQ(HistoryKey(c.address), c.address) << c.address;
    }
  }
  // Two addresses share a key exactly when they name the same proxy.
  for (const auto& a : kCases) {
    for (const auto& b : kCases) {
      const std::string first = a.address;
      const std::string second = b.address;
      EXPECT_EQ(HistoryKey(first) == HistoryKey(second), SameProxyAddress(first, second))
          << first << " / " << second;
    }
  }
}

}  // namespace
}  // namespace lumvex
