// Replace-all with a regular expression, for small textual clean-ups of scraped cells.
#pragma once

#include <string>
#include <string_view>

namespace lumvex {

// Every match of `pattern` in `text` (Perl syntax, case-sensitive, "^" and "$" only at the ends
// of the text) replaced by `replacement`, scanning from the start; text outside the matches is
// copied unchanged. In `replacement`, $1..$99 and $& name the groups and the match, $$ is a dollar
// sign. An invalid pattern gives an empty text.
std::string RegexReplaceAll(std::string_view text, std::string_view pattern,
                            std::string_view replacement);

}  // namespace lumvex
