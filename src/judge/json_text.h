// JSON string literals for the judge's answers. A request head may hold any byte, and a reader of
// the answer must still get valid UTF-8, so bytes that are not UTF-8 are written as the code point
// of the same number (\u00XX): nothing is dropped and the text stays one JSON string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumvex::judge {

// Length of the well-formed UTF-8 sequence that starts at `text[at]` (1 to 4), or 0 when the
// byte there starts none (a stray continuation byte, an overlong form, a surrogate, a cut
// sequence, a byte above F4).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// Appends `text` to `out` as a quoted JSON string: '"' and '\' escaped, control characters (C0,
// DEL, C1) as \uXXXX (\n, \r, \t, \b, \f by their short forms), bytes outside well-formed UTF-8 as
// \u00XX of the byte.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace lumvex::judge
