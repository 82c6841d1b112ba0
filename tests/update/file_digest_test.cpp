#include "update/file_digest.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/file_io.h"
#include "temp_dir.h"

namespace lumvex::update {
namespace {

using lumvex::testing::TempDir;

// SHA-256 of "abc", the test vector of FIPS 180-2.
constexpr char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(FileDigestTest, ManifestValuesAreReadAsSixtyFourHexDigits) {
  struct Case {
    std::string value;
    std::optional<std::string> digest;
  };
  const std::string upper = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
  const Case cases[] = {
      {kAbcDigest, kAbcDigest},
      {upper, kAbcDigest},
      // Spaces, also full-width ones, as a page may show the digest in groups.
      {" ba7816bf 8f01cfea\xE3\x80\x80"
       "414140de5dae2223b00361a396177a9cb410ff61f20015ad ",
       kAbcDigest},
      {std::string(kAbcDigest).substr(1), std::nullopt},
      {std::string(kAbcDigest) + "0", std::nullopt},
      {"zz" + std::string(kAbcDigest).substr(2), std::nullopt},
      {"sha256:" + std::string(kAbcDigest), std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSha256(c.value), c.digest) << c.value;
}

TEST(FileDigestTest, FileDigestIsThatOfItsBytes) {
  TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir.File("abc"), "abc"));
  EXPECT_EQ(FileSha256(dir.File("abc")), kAbcDigest);
  EXPECT_EQ(Sha256Hex("abc"), kAbcDigest);
  // Longer than one read buffer, and empty.
  const std::string big(200000, 'x');
  ASSERT_TRUE(WriteWholeFile(dir.File("big"), big));
  EXPECT_EQ(FileSha256(dir.File("big")), Sha256Hex(big));
  EXPECT_NE(Sha256Hex(big), Sha256Hex(big.substr(1)));
  ASSERT_TRUE(WriteWholeFile(dir.File("empty"), ""));
  EXPECT_EQ(FileSha256(dir.File("empty")), Sha256Hex(""));
  EXPECT_EQ(FileSha256(dir.File("missing")), std::nullopt);
}

}  // namespace
}  // namespace lumvex::update
