#include "text/codec.h"

#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "text/encoding_guess.h"

namespace lumvex::text {
namespace {

// Canonical ICU names, so that opening them raises no ambiguous-alias warning. Both follow the
// Windows tables (GBK A1A1 is U+3000, 0x80 is the euro sign).
constexpr const char* kGbkName = "GBK";
constexpr const char* kBig5Name = "windows-950-2000";
constexpr const char* kUtf8Name = "UTF-8";
constexpr const char* kGb18030Name = "GB18030";

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Every byte sequence a converter cannot read becomes one U+FFFD, whatever the converter's own
// substitution character for that case would be (some tables use U+001A for single bytes).
void ToUnicodeReplacement(const void* /*context*/, UConverterToUnicodeArgs* args,
                          const char* /*code_units*/, int32_t /*length*/,
                          UConverterCallbackReason reason, UErrorCode* error) {
  if (reason > UCNV_IRREGULAR) return;  // Reset, close and clone notifications.
  static constexpr UChar kReplacement = 0xFFFD;
  *error = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, error);
}

ConverterPtr OpenConverter(const char* name) {
  UErrorCode error = U_ZERO_ERROR;
  ConverterPtr converter(ucnv_open(name, &error));
  if (U_FAILURE(error)) return nullptr;
  ucnv_setToUCallBack(converter.get(), ToUnicodeReplacement, nullptr, nullptr, nullptr, &error);
  ucnv_setSubstChars(converter.get(), "?", 1, &error);
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

UConverter* ThreadGb18030() {
  thread_local ConverterPtr converter = OpenConverter(kGb18030Name);
  return converter.get();
}

// Whether `bytes` are one GB18030 four-byte sequence: lead 81-FE, 30-39, 81-FE, 30-39. GBK has
// no trail byte in 30-39, so such a sequence never hides inside GBK text.
bool IsFourByteSequence(const unsigned char* bytes) {
  const auto digit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
  const auto high = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
  return high(bytes[0]) && digit(bytes[1]) && high(bytes[2]) && digit(bytes[3]);
}

// A character GBK cannot hold is written as its GB18030 four-byte sequence, so saving never
// loses it and GBK text stays byte for byte what it was. The few characters GB18030 puts on
// two-byte codes that GBK reads as something else, lone surrogates and U+FFFD (bytes already
// lost when they were read) still become "?".
void FromUnicodeGb18030Fallback(const void* context, UConverterFromUnicodeArgs* args,
                                const UChar* code_units, int32_t length, UChar32 code_point,
                                UConverterCallbackReason reason, UErrorCode* error) {
  if (reason == UCNV_UNASSIGNED && code_point != 0xFFFD) {
    if (UConverter* gb18030 = ThreadGb18030()) {
      const UChar units[2] = {code_units[0], length > 1 ? code_units[1] : UChar{0}};
      char four[8];
      UErrorCode own = U_ZERO_ERROR;
      const int32_t written = ucnv_fromUChars(gb18030, four, sizeof four, units, length, &own);
      if (U_SUCCESS(own) && written == 4 &&
          IsFourByteSequence(reinterpret_cast<const unsigned char*>(four))) {
        *error = U_ZERO_ERROR;
        ucnv_cbFromUWriteBytes(args, four, 4, 0, error);
        return;
      }
    }
  }
  UCNV_FROM_U_CALLBACK_SUBSTITUTE(context, args, code_units, length, code_point, reason, error);
}

ConverterPtr OpenGbkConverter() {
  ConverterPtr converter = OpenConverter(kGbkName);
  if (!converter) return nullptr;
  UErrorCode error = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter.get(), FromUnicodeGb18030Fallback, nullptr, nullptr, nullptr,
                        &error);
  if (U_FAILURE(error)) return nullptr;
  return converter;
}

// Converters keep state and must not be shared between threads; opening one per call costs more
// than the conversion of a short text, so each thread keeps its own. ICU shares the mapping
// tables, so a converter is small.
UConverter* ThreadGbk() {
  thread_local ConverterPtr converter = OpenGbkConverter();
  return converter.get();
}

UConverter* ThreadBig5() {
  thread_local ConverterPtr converter = OpenConverter(kBig5Name);
  return converter.get();
}

UConverter* ThreadUtf8() {
  thread_local ConverterPtr converter = OpenConverter(kUtf8Name);
  return converter.get();
}

// Creating the transliterator parses its rules and takes tens of milliseconds; it is created once
// and each thread clones it, as an instance must not be used by two threads at once.
std::unique_ptr<icu::Transliterator> CreateSimplifier() {
  static const std::unique_ptr<icu::Transliterator> prototype = [] {
    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> created(icu::Transliterator::createInstance(
        icu::UnicodeString("Traditional-Simplified", -1, US_INV), UTRANS_FORWARD, error));
    if (U_FAILURE(error)) created.reset();
    return created;
  }();
  if (!prototype) return nullptr;
  return std::unique_ptr<icu::Transliterator>(prototype->clone());
}

const icu::Transliterator* ThreadSimplifier() {
  thread_local std::unique_ptr<icu::Transliterator> simplifier = CreateSimplifier();
  return simplifier.get();
}

void Simplify(icu::UnicodeString& text) {
  if (const icu::Transliterator* simplifier = ThreadSimplifier()) simplifier->transliterate(text);
}

// Converts `input` from the encoding of `source` to that of `target` in one pass. `max_growth` is
// the most output bytes one input byte can give, so the first buffer is always big enough; the
// retry only guards against a wrong bound.
std::string Convert(UConverter* target, UConverter* source, std::string_view input,
                    std::size_t max_growth) {
  if (target == nullptr || source == nullptr || input.empty()) return std::string();
  std::size_t capacity = input.size() * max_growth + 16;
  std::string output;
  while (true) {
    output.resize(capacity);
    char* out = output.data();
    const char* in = input.data();
    UErrorCode error = U_ZERO_ERROR;
    ucnv_convertEx(target, source, &out, output.data() + output.size(), &in,
                   input.data() + input.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                   &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      capacity *= 2;
      continue;
    }
    if (U_FAILURE(error)) return std::string();
    output.resize(static_cast<std::size_t>(out - output.data()));
    return output;
  }
}

icu::UnicodeString ToUnicode(UConverter* source, std::string_view input) {
  icu::UnicodeString text;
  if (source == nullptr || input.empty() ||
      input.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return text;
  }
  // One input byte never gives more than one UTF-16 unit in the double-byte code pages; should a
  // table ever differ, the first call reports the length needed and the second one fits.
  int32_t capacity = static_cast<int32_t>(input.size()) + 1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    UChar* buffer = text.getBuffer(capacity);
    if (buffer == nullptr) return icu::UnicodeString();
    const int32_t length = ucnv_toUChars(source, buffer, capacity, input.data(),
                                         static_cast<int32_t>(input.size()), &error);
    text.releaseBuffer(U_SUCCESS(error) ? length : 0);
    if (error != U_BUFFER_OVERFLOW_ERROR) break;
    capacity = length + 1;
  }
  return text;
}

std::string FromUnicode(UConverter* target, const icu::UnicodeString& text) {
  if (target == nullptr || text.isEmpty()) return std::string();
  // A UTF-16 unit becomes at most two GBK bytes; a lone surrogate becomes one "?".
  std::string output(static_cast<std::size_t>(text.length()) * 2 + 16, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length =
        ucnv_fromUChars(target, output.data(), static_cast<int32_t>(output.size()),
                        text.getBuffer(), text.length(), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      output.assign(static_cast<std::size_t>(length) + 1, '\0');
      continue;
    }
    if (U_FAILURE(error)) return std::string();
    output.resize(static_cast<std::size_t>(length));
    return output;
  }
  return std::string();
}

// Length of the leading run of `bytes` that is well-formed UTF-8.
std::size_t ValidUtf8Prefix(std::string_view bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t i = 0;
  while (i < size) {
    // Pages are mostly ASCII: test eight bytes at a time for a set high bit.
    while (i + 8 <= size) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      i += 8;
    }
    if (i >= size) break;
    if (data[i] < 0x80) {
      ++i;
      continue;
    }
    int32_t offset = 0;
    // No sequence is longer than four bytes.
    const int32_t length = static_cast<int32_t>(std::min<std::size_t>(size - i, 4));
    UChar32 c;
    U8_NEXT(data + i, offset, length, c);
    if (c < 0) return i;
    i += static_cast<std::size_t>(offset);
  }
  return size;
}

// Offset of the first GB18030 four-byte sequence at or after `from` that starts a character
// (not the second half of a double-byte one), or npos.
std::size_t FindFourByteSequence(std::string_view bytes, std::size_t from) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t i = from;
  while (i + 4 <= size) {
    if (i + 8 <= size) {
      uint64_t word;
      std::memcpy(&word, data + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char lead = data[i];
    if (lead < 0x81 || lead == 0xFF) {
      ++i;
      continue;
    }
    if (IsFourByteSequence(data + i)) return i;
    const unsigned char trail = data[i + 1];
    i += trail >= 0x40 && trail != 0x7F && trail != 0xFF ? 2 : 1;
  }
  return std::string_view::npos;
}

}  // namespace

std::string DecodeGbk(std::string_view gbk) {
  // One GBK byte gives at most three UTF-8 bytes (an invalid byte becomes U+FFFD).
  // A four-byte sequence is never GBK, so the GBK table alone substitutes U+FFFD for it: text
  // without a substitution (nearly every list) needs no search for such sequences.
  std::string plain = Convert(ThreadUtf8(), ThreadGbk(), gbk, 3);
  if (plain.find("\xEF\xBF\xBD") == std::string::npos) return plain;
  std::size_t four = FindFourByteSequence(gbk, 0);
  if (four == std::string_view::npos) return plain;
  // Characters GBK cannot hold were saved as GB18030 four-byte sequences; the rest is read with
  // the GBK table, which differs from GB18030's on a few two-byte codes and on 0x80.
  std::string output;
  std::size_t start = 0;
  while (four != std::string_view::npos) {
    output += Convert(ThreadUtf8(), ThreadGbk(), gbk.substr(start, four - start), 3);
    output += Convert(ThreadUtf8(), ThreadGb18030(), gbk.substr(four, 4), 3);
    start = four + 4;
    four = FindFourByteSequence(gbk, start);
  }
  output += Convert(ThreadUtf8(), ThreadGbk(), gbk.substr(start), 3);
  return output;
}

std::string EncodeGbk(std::string_view utf8) {
  // A three-byte UTF-8 character may become a four-byte GB18030 sequence; two bytes of room per
  // input byte avoid a second pass.
  return Convert(ThreadGbk(), ThreadUtf8(), utf8, 2);
}

bool LooksLikeUtf8(std::string_view bytes) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.starts_with(kBom)) return true;
  EncodingGuess guess;
  guess.Feed(bytes);
  return guess.ReadsAsUtf8();
}

std::string DecodeGbkOrUtf8(std::string_view bytes) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  // A byte-order mark says UTF-8 even when a byte further on is broken; that byte alone is lost.
  if (bytes.starts_with(kBom)) return DecodeUtf8(bytes.substr(kBom.size()));
  return LooksLikeUtf8(bytes) ? std::string(bytes) : DecodeGbk(bytes);
}

std::string DecodeUtf8(std::string_view bytes) {
  std::size_t valid = ValidUtf8Prefix(bytes);
  if (valid == bytes.size()) return std::string(bytes);
  std::string output;
  output.reserve(bytes.size() + 16);
  // Each maximal ill-formed subsequence becomes one U+FFFD, as the Unicode standard recommends
  // and as the UTF-8 converters and browsers do.
  while (true) {
    output.append(bytes.substr(0, valid));
    bytes.remove_prefix(valid);
    if (bytes.empty()) break;
    int32_t offset = 0;
    const int32_t length = static_cast<int32_t>(std::min<std::size_t>(bytes.size(), 4));
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(bytes.data()), offset, length, c);
    output.append("\xEF\xBF\xBD");
    bytes.remove_prefix(static_cast<std::size_t>(offset));
    valid = ValidUtf8Prefix(bytes);
  }
  return output;
}

std::string DecodeBig5Simplified(std::string_view big5) {
  icu::UnicodeString text = ToUnicode(ThreadBig5(), big5);
  Simplify(text);
  std::string output;
  text.toUTF8String(output);
  return output;
}

std::string ToSimplified(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return std::string();
  }
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  Simplify(text);
  std::string output;
  text.toUTF8String(output);
  return output;
}

std::string Utf8ToGbk(std::string_view utf8_bytes) { return EncodeGbk(utf8_bytes); }

std::string Big5ToGbkSimplified(std::string_view big5_bytes) {
  // The mapping runs on the Unicode text before it is encoded, so that a traditional character
  // is simplified even where GBK could not hold the traditional form.
  icu::UnicodeString text = ToUnicode(ThreadBig5(), big5_bytes);
  Simplify(text);
  return FromUnicode(ThreadGbk(), text);
}

}  // namespace lumvex::text
