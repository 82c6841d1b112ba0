#include "acquire/regex_replace_all.h"

#include "acquire/regex_helper.h"

namespace lumvex {

std::string RegexReplaceAll(std::string_view text, std::string_view pattern,
                            std::string_view replacement) {
  // The helper already matches on characters, keeps invalid bytes intact and never throws; a
  // case-sensitive, single-line, global run is exactly a Perl-style s///g.
  RegexHelper helper;
  if (!helper.Create(pattern, text, /*case_sensitive=*/true, /*multiline=*/false,
                     /*global=*/true)) {
    return std::string();
  }
  return helper.ReplaceMatches(replacement);
}

}  // namespace lumvex
