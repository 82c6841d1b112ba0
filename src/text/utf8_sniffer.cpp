#include "text/utf8_sniffer.h"

#include <cstdint>
#include <cstring>

namespace lumvex::text {

void Utf8Sniffer::Feed(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t i = 0;
  while (valid_ && i < size) {
    // Lists are mostly ASCII: skip eight bytes at a time while no sequence is open.
    if (pending_ == 0 && i + 8 <= size) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char b = data[i++];
    if (pending_ > 0) {
      if (b < low_ || b > high_) valid_ = false;
      low_ = 0x80;
      high_ = 0xBF;
      --pending_;
      continue;
    }
    if (b < 0x80) continue;
    non_ascii_ = true;
    if (b >= 0xC2 && b <= 0xDF) {
      pending_ = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      pending_ = 2;
      if (b == 0xE0) low_ = 0xA0;
      if (b == 0xED) high_ = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      pending_ = 3;
      if (b == 0xF0) low_ = 0x90;
      if (b == 0xF4) high_ = 0x8F;
    } else {
      valid_ = false;
    }
  }
}

}  // namespace lumvex::text
