// Text helpers shared by every module. Text in memory is UTF-8; these never split a multi-byte
// character and never depend on the C locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumvex::text {

// Splits at every occurrence of `delimiter`. Empty pieces between delimiters are kept, an empty
// piece after the last delimiter is dropped, and an empty text gives no pieces.
std::vector<std::string> Split(std::string_view text, std::string_view delimiter);
// Split over GBK bytes at `delimiter` (ASCII): a byte with the high bit set is taken together
// with the byte after it, so a delimiter never matches inside a double-byte character.
std::vector<std::string> SplitGbk(std::string_view gbk, std::string_view delimiter);

// Removes leading and trailing ASCII spaces and ideographic spaces (U+3000, GBK A1 A1).
std::string Trim(std::string_view text);
// The same, as a view into `text`.
std::string_view TrimView(std::string_view text);
// Removes leading and trailing ASCII spaces and tabs only, the blanks of a settings file. GBK
// trail bytes are never blanks, so this never cuts a GBK character either.
std::string_view TrimBlanks(std::string_view text);
// `text` with every CR and LF made a space: a value written where it must stay on one line.
std::string OneLine(std::string_view text);

// Byte offset of the first occurrence of `needle` at or after `from`, or npos. With
// `ignore_case`, ASCII letters compare without regard to case (other characters exactly).
std::size_t Find(std::string_view haystack, std::string_view needle, std::size_t from = 0,
                 bool ignore_case = false);
bool Contains(std::string_view haystack, std::string_view needle, bool ignore_case = false);
bool StartsWith(std::string_view text, std::string_view prefix, bool ignore_case = false);

// `text` made safe to print on a terminal: C0 controls (ESC too, so no escape sequence reaches
// the terminal), DEL and bytes that are not UTF-8 become "\xHH", C1 controls (U+0080 to U+009F)
// and the bidirectional embedding, override and isolate controls (U+202A to U+202E, U+2066 to
// U+2069, which would show the rest of a line reordered) "\uHHHH", and a backslash "\\".
// Everything else is unchanged.
std::string EscapeControls(std::string_view text);

std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// Replaces every occurrence of `from` (non-empty) by `to`, scanning left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The number rules: reading as atoi / atof do (leading white space, optional sign, leading
// digits; 0 when there are none; atoi saturates at the int range), writing integers as plain
// decimals and reals as printf "%.13g" in the C locale.
int AtoI(std::string_view text);
double AtoF(std::string_view text);
std::string FormatInt(std::int64_t value);
std::string FormatReal(double value);

}  // namespace lumvex::text
