#include "update/download_target.h"

#include <gtest/gtest.h>

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
