#include "app/web_address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace lumvex {
namespace {

TEST(WebAddressTest, OnlyWebAddressesReachTheBrowser) {
  struct Case {
    const char* address;
    std::optional<std::string> opened;
  };
  const Case cases[] = {
      {"http://www.example.com/", "http://www.example.com/"},
      {"HTTPS://Example.com/a?b=1#c", "HTTPS://Example.com/a?b=1#c"},
      {"  http://blog.example.com/  ", "http://blog.example.com/"},
      {"www.example.com", "http://www.example.com"},
      {"www.example.com:8080/x", "http://www.example.com:8080/x"},
      {"127.0.0.1:8081", "http://127.0.0.1:8081"},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"FILE:///home/u/.bashrc", std::nullopt},
      {"javascript:alert(1)", std::nullopt},
      {"smb://host/share", std::nullopt},
      {"mailto:a@example.com", std::nullopt},
      {"ftp://example.com/", std::nullopt},
      {"x-scheme-handler:run", std::nullopt},
      {"http:/etc/passwd", std::nullopt},
      {"http:///etc/passwd", std::nullopt},
      {"/etc/passwd", std::nullopt},
      {"~/.config", std::nullopt},
      {"./lumvexip", std::nullopt},
      {"http://example.com/a b", std::nullopt},
      {"http://example.com/\n--new-window", std::nullopt},
      {"www.example.com:evil", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BrowsableWebAddress(c.address), c.opened) << '"' << c.address << '"';
  }
}

}  // namespace
}  // namespace lumvex
