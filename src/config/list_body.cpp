#include "config/list_body.h"

#include <zlib.h>

#include <utility>

namespace lumvex {
namespace {

bool LooksCompressed(std::string_view body) {
  if (body.size() < 2) return false;
  const auto b0 = static_cast<unsigned char>(body[0]);
  const auto b1 = static_cast<unsigned char>(body[1]);
  if (b0 == 0x1F && b1 == 0x8B) return true;  // gzip
  // zlib: deflate method, and the header's check bits.
  return (b0 & 0x0F) == 8 && (b0 >> 4) <= 7 && (b0 * 256 + b1) % 31 == 0;
}

// The inflated bytes, at most `cap` of them (`cut` when there were more); false when the body is
// not a complete compressed stream after all (unless `partial`: the transfer was cut, so the
// stream ends early), and is then taken as it came.
bool Inflate(std::string_view body, std::size_t cap, bool partial, std::string& out, bool& cut) {
  z_stream stream{};
  // 15 + 32: gzip or zlib header, told apart by zlib itself.
  if (inflateInit2(&stream, 15 + 32) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
  stream.avail_in = static_cast<uInt>(body.size());
  char buffer[64 * 1024];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) break;
    const std::size_t got = sizeof buffer - stream.avail_out;
    if (out.size() + got > cap) {
      out.append(buffer, cap - out.size());
      cut = true;
      break;
    }
    out.append(buffer, got);
    if (got == 0 && stream.avail_in == 0) break;
  }
  inflateEnd(&stream);
  return cut || result == Z_STREAM_END ||
         (partial && result == Z_BUF_ERROR && stream.avail_in == 0 && !out.empty());
}

}  // namespace

ListBody PrepareListBody(std::string body, bool arrived_cut, std::size_t cap) {
  ListBody list;
  std::string inflated;
  bool inflated_cut = false;
  if (LooksCompressed(body) && Inflate(body, cap, arrived_cut, inflated, inflated_cut)) {
    list.bytes = std::move(inflated);
    list.cut = inflated_cut || arrived_cut;
  } else {
    list.bytes = std::move(body);
    list.cut = arrived_cut;
    if (list.bytes.size() > cap) {
      list.bytes.resize(cap);
      list.cut = true;
    }
  }
  if (list.cut) {
    const std::size_t end = list.bytes.find_last_of("\r\n");
    list.bytes.resize(end == std::string::npos ? 0 : end + 1);
  }
  return list;
}

}  // namespace lumvex
