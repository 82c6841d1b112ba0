// Shared by the fuzz targets: cutting one input into the arguments a function takes, and a check
// that stops the run on a broken property, so libFuzzer keeps the input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// Aborts with the failed condition when a property does not hold. Both libFuzzer and the replay
// test treat the abort as a failure of that input.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

namespace lumvex::fuzz {

// The input cut at its first `count - 1` zero bytes into `count` fields; missing fields are empty.
// The last field keeps any further zero bytes, so the text a target parses sits last.
inline std::vector<std::string_view> Fields(const std::uint8_t* data, std::size_t size,
                                            std::size_t count) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const std::size_t zero = rest.find('\0');
    if (zero == std::string_view::npos) {
      fields.push_back(rest);
      rest = {};
      continue;
    }
    fields.push_back(rest.substr(0, zero));
    rest.remove_prefix(zero + 1);
  }
  fields.push_back(rest);
  return fields;
}

// What a value written to a settings or config line reads back as: line breaks become spaces,
// blanks around it go.
inline std::string ReadBackValue(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  const std::size_t first = out.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

// Occurrences of `needle` in `text`, ASCII letters folded, overlapping ones counted.
inline std::size_t CountFolded(std::string_view text, std::string_view needle) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  std::size_t count = 0;
  for (std::size_t at = 0; at + needle.size() <= text.size(); ++at) {
    std::size_t j = 0;
    while (j < needle.size() && fold(text[at + j]) == fold(needle[j])) ++j;
    if (j == needle.size()) ++count;
  }
  return count;
}

}  // namespace lumvex::fuzz
