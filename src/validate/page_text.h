// The text of a page as its own encoding says, so that a strict check finds its expected text on
// GBK, Big5 or Latin-1 pages as well as on UTF-8 ones, also after a zero byte.
#pragma once

#include <string>
#include <string_view>

namespace lumvex {

// The page's charset: the "charset" parameter of its Content-Type, else that of a <meta> tag near
// its start, else "UTF-8" when the whole body is valid UTF-8, else "GBK" (the pages this program
// meets are Chinese). Names the converters do not know are passed over; the gb2312 family reads as
// GBK, as browsers read it.
std::string PageCharset(std::string_view body, std::string_view content_type);

// The whole body (zero bytes and what follows them included) as UTF-8 text, decoded from
// PageCharset. Bytes the charset cannot map become U+FFFD.
std::string PageText(std::string_view body, std::string_view content_type);

}  // namespace lumvex
