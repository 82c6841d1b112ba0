// A downloaded proxy list as the import reads it: decoded when gzip- or deflate-compressed,
// capped, and cut back to its last whole line when a cap was reached.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumvex {

struct ListBody {
  std::string bytes;
  bool cut = false;  // a cap was reached: the list goes on beyond the bytes kept
};

// `body` arrived whole unless `arrived_cut`. A body in the gzip or zlib format (servers send
// those with or without being asked) is inflated, at most `cap` bytes of it. When the list was
// cut, its last line is dropped unless it ended: a cut "1.2.3.4:8080" must not become
// "1.2.3.4:80".
ListBody PrepareListBody(std::string body, bool arrived_cut, std::size_t cap);

}  // namespace lumvex
