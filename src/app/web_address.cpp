#include "app/web_address.h"

#include <algorithm>

#include "text/text_util.h"

namespace lumvex {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when the text after "scheme://" (or the whole bare address) begins with a host.
bool StartsWithHost(std::string_view rest) {
  if (rest.empty()) return false;
  const char c = rest.front();
  return c != '/' && c != '\\' && c != ':' && c != '?' && c != '#' && c != '@';
}

}  // namespace

std::optional<std::string> BrowsableWebAddress(std::string_view address) {
  const std::string text = text::Trim(address);
  if (text.empty()) return std::nullopt;
  // Blanks and control characters have no place in an address; a browser or desktop handler
  // might read them as the start of further arguments.
  if (std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
      })) {
    return std::nullopt;
  }
  const std::size_t colon = text.find(':');
  const std::size_t stop = text.find_first_of("/?#");
  if (colon != std::string::npos && (stop == std::string::npos || colon < stop)) {
    // "host:port..." has only digits after the colon; anything else before a colon is a scheme.
    const std::string_view after = std::string_view(text).substr(colon + 1);
    const std::size_t end = std::min(after.find_first_of("/?#"), after.size());
    const bool port = end > 0 && std::all_of(after.begin(), after.begin() + end, IsDigit);
    if (!port) {
      const std::string scheme = text::ToLowerAscii(text.substr(0, colon));
      if ((scheme == "http" || scheme == "https") && after.starts_with("//") &&
          StartsWithHost(after.substr(2))) {
        return text;
      }
      return std::nullopt;
    }
  }
  // No scheme: a host name, as the manifest often writes "www.example.com".
  if (!StartsWithHost(text) || text.front() == '.' || text.front() == '~') return std::nullopt;
  return "http://" + text;
}

}  // namespace lumvex
