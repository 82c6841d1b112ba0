#include "text/utf8_sniffer.h"

#include <cstdint>
#include <cstring>

namespace lumvex::text {

Utf8Lead ReadUtf8Lead(unsigned char lead) {
  Utf8Lead read;
  if (lead < 0x80) {
    read.length = 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    read.length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    read.length = 3;
    if (lead == 0xE0) read.low = 0xA0;
    if (lead == 0xED) read.high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    read.length = 4;
    if (lead == 0xF0) read.low = 0x90;
    if (lead == 0xF4) read.high = 0x8F;
  }
  return read;
}

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
    const Utf8Lead lead = ReadUtf8Lead(b);
    if (lead.length < 2) {
      valid_ = false;
      continue;
    }
    pending_ = lead.length - 1;
    low_ = lead.low;
    high_ = lead.high;
  }
}

}  // namespace lumvex::text
