// The code-page conversions on arbitrary bytes: decoding always gives valid UTF-8 within the
// growth bound, valid UTF-8 passes through unchanged, and GBK text survives a decode-encode round.
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "text/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::string utf8 = text::DecodeUtf8(bytes);
  FUZZ_CHECK(utf8.size() <= 3 * bytes.size());
  FUZZ_CHECK(text::DecodeUtf8(utf8) == utf8);

  const std::string from_gbk = text::DecodeGbk(bytes);
  FUZZ_CHECK(from_gbk.size() <= 3 * bytes.size());
  FUZZ_CHECK(text::DecodeUtf8(from_gbk) == from_gbk);

  // Bytes an encode gave stay the same through another decode and encode.
  const std::string gbk = text::EncodeGbk(from_gbk);
  FUZZ_CHECK(text::EncodeGbk(text::DecodeGbk(gbk)) == gbk);
  // A character GBK lacks becomes a four-byte GB18030 sequence: at most twice the bytes of its
  // UTF-8 form (two for U+0080..U+07FF, three for U+FFFD, which the decode puts for bad bytes).
  FUZZ_CHECK(text::EncodeGbk(utf8).size() <= 2 * utf8.size());
  return 0;
}
