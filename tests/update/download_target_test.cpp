#include "update/download_target.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

namespace lumvex::update {
namespace {

TEST(DownloadTargetTest, TitleWithSpacesStaysAsItIs) {
  EXPECT_EQ(SafeFileNameOf("LumvexIP代理验证 V1.4"), "LumvexIP代理验证 V1.4");
  EXPECT_EQ(DownloadTargetPath("/run/dir", "LumvexIP代理验证 V1.4", ""),
            "/run/dir/LumvexIP代理验证 V1.4");
  EXPECT_EQ(DownloadTargetPath("/run/dir/", "V2", ".exe"), "/run/dir/V2.exe");
}

TEST(DownloadTargetTest, HostileTitlesStayInsideTheRunDirectory) {
  EXPECT_EQ(SafeFileNameOf("../../x"), "x");
  EXPECT_EQ(SafeFileNameOf("/etc/passwd"), "etcpasswd");
  EXPECT_EQ(SafeFileNameOf("..\\..\\win"), "win");
  EXPECT_EQ(SafeFileNameOf(".../...x"), "x");
  EXPECT_EQ(SafeFileNameOf(".hidden"), "hidden");
  EXPECT_EQ(SafeFileNameOf("a\nb\x01"
                           "c\x7f"),
            "abc");
  EXPECT_EQ(SafeFileNameOf(""), "");
  EXPECT_EQ(SafeFileNameOf(" ../ "), "");
  EXPECT_EQ(SafeFileNameOf("/"), "");
  EXPECT_EQ(DownloadTargetPath("/run", "..", ""), std::nullopt);
  EXPECT_EQ(DownloadTargetPath("/run", "../../x", ""), "/run/x");
}

TEST(DownloadTargetTest, LongTitlesAreCutAtACharacterBoundary) {
  std::string title;
  for (int i = 0; i < 100; ++i) title += "版";  // 3 bytes each
  const std::string name = SafeFileNameOf(title);
  EXPECT_LE(name.size(), 200u);
  EXPECT_EQ(name.size() % 3, 0u);
}

// A name already in use gets a number before the suffix; nothing is ever put over a file.
TEST(DownloadTargetTest, TakenNamesGetTheNextFreeNumber) {
  struct Case {
    std::string path;
    std::string suffix;
    std::set<std::string> taken;
    std::optional<std::string> result;
  };
  std::set<std::string> all_taken = {"/u/V2"};
  for (int n = 2; n <= 100; ++n) all_taken.insert("/u/V2 (" + std::to_string(n) + ")");
  const Case cases[] = {
      {"/u/notes.txt", "", {}, "/u/notes.txt"},
      {"/u/notes.txt", "", {"/u/notes.txt"}, "/u/notes.txt (2)"},
      {"/u/V2", "", {"/u/V2", "/u/V2 (2)", "/u/V2 (4)"}, "/u/V2 (3)"},
      {"/u/V2.exe", ".exe", {"/u/V2.exe"}, "/u/V2 (2).exe"},
      {"/u/V2", "", all_taken, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FreeTargetPath(c.path, c.suffix,
                             [&c](const std::string& path) { return c.taken.count(path) > 0; }),
              c.result)
        << c.path;
  }
}

TEST(DownloadTargetTest, OnlyHttpAndHttpsAddresses) {
  EXPECT_TRUE(IsDownloadAddressAllowed("http://127.0.0.1:8080/new"));
  EXPECT_TRUE(IsDownloadAddressAllowed("HTTPS://files.example.com/x"));
  EXPECT_FALSE(IsDownloadAddressAllowed(""));
  EXPECT_FALSE(IsDownloadAddressAllowed("file:///etc/passwd"));
  EXPECT_FALSE(IsDownloadAddressAllowed("ftp://files.example.com/x"));
  EXPECT_FALSE(IsDownloadAddressAllowed("http://"));
  EXPECT_FALSE(IsDownloadAddressAllowed("http:///path"));
  EXPECT_FALSE(IsDownloadAddressAllowed("http://a b/"));
  EXPECT_FALSE(IsDownloadAddressAllowed("files.example.com/x"));
}

}  // namespace
}  // namespace lumvex::update
