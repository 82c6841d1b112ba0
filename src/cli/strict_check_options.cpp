#include "cli/strict_check_options.h"

#include <cstdio>

#include "config/endpoints.h"
#include "text/text_util.h"
#include "validate/anonymity.h"

namespace lumvex::cli {
namespace {

// Length of the UTF-8 sequence starting at `i`, or 0 when it is not a valid one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  else
    return 0;
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  // Overlong forms, surrogates and values past U+10FFFF.
  if (lead == 0xE0 && byte(i + 1) < 0xA0) return 0;
  if (lead == 0xED && byte(i + 1) > 0x9F) return 0;
  if (lead == 0xF0 && byte(i + 1) < 0x90) return 0;
  if (lead == 0xF4 && byte(i + 1) > 0x8F) return 0;
  return length;
}

}  // namespace

StrictCheckOptions StrictCheckOptionsOf(const SubcommandArgs& parsed,
                                        std::vector<std::string>& errors) {
  StrictCheckOptions options;
  options.json = parsed.switches.count(std::string(kJsonSwitch)) > 0;
  if (auto it = parsed.values.find(std::string(kExpectFlag)); it != parsed.values.end()) {
    if (it->second.empty()) {
      errors.push_back("--expect: the text is empty");
    } else {
      options.rule.expect = it->second;
    }
  }
  if (auto it = parsed.values.find(std::string(kCheckUrlFlag)); it != parsed.values.end()) {
    // A listed proxy relays plain http only.
    if (!HostOfAddress(it->second)) {
      errors.push_back("--check-url: not an http address: \"" +
                       text::EscapeControls(it->second) + "\"");
    } else {
      options.rule.url = it->second;
    }
  }
  if (auto it = parsed.values.find(std::string(kJudgeFlag)); it != parsed.values.end()) {
    if (!HostOfAddress(it->second)) {
      errors.push_back("--judge: not an http address: \"" + text::EscapeControls(it->second) +
                       "\"");
    } else if (parsed.values.count(std::string(kExpectFlag)) > 0 ||
               parsed.values.count(std::string(kCheckUrlFlag)) > 0) {
      // The judge is what every check fetches, and its echo is what a reply must be.
      errors.push_back("--judge: not together with --expect or --check-url");
    } else {
      options.rule.judge = it->second;
    }
  }
  for (const auto& [name, value] : parsed.all_values) {
    if (name != kMyAddressFlag) continue;
    if (std::optional<std::string> address = CanonicalAddress(value)) {
      options.rule.own_addresses.push_back(std::move(*address));
    } else {
      errors.push_back("--my-address: not an IP address: \"" + text::EscapeControls(value) +
                       "\"");
    }
  }
  if (!options.rule.own_addresses.empty() && parsed.values.count(std::string(kJudgeFlag)) == 0) {
    errors.push_back("--my-address: only with --judge");
  }
  return options;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8Length(text, i);
    if (length == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text.substr(i, length));
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
    i += length;
  }
  out += '"';
  return out;
}

std::string VerdictJsonLine(std::string_view address, std::string_view verdict, double seconds,
                            int status, std::size_t bytes) {
  char took[32];
  std::snprintf(took, sizeof took, "%.3f", seconds);
  return "{\"address\":" + JsonString(address) + ",\"verdict\":\"" + std::string(verdict) +
         "\",\"seconds\":" + took + ",\"status\":" + std::to_string(status) +
         ",\"bytes\":" + std::to_string(bytes) + "}";
}

}  // namespace lumvex::cli
