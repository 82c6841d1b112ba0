// What a judge's view of a check request says about the proxy it came through: transparent when
// the user's own address reached the judge, anonymous when it did not but the request announces
// a proxy, elite otherwise.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "proxylist/check_state.h"
#include "validate/judge_reply.h"

namespace lumvex {

// `text` as an IP address in one canonical form (IPv6 in its shortest form, an IPv4-mapped IPv6
// address as its IPv4), or nullopt when it is none.
std::optional<std::string> CanonicalAddress(std::string_view text);

// True when a header of this name is one a proxy adds (Via, X-Forwarded-For, Forwarded...).
// Names compare without regard to case, with '-' and '_' the same.
bool IsProxyHeader(std::string_view name);

// `view` classified against `own`, the user's addresses in canonical form: transparent when one
// of them is the origin or stands as a whole token in any header's value (127.0.0.1 does not
// match 127.0.0.10; "[::1]:80" and "for=1.2.3.4:5" do match; Host, Referer and Origin name the
// judge and are not looked at), anonymous when not but a proxy header is present, elite
// otherwise.
Anonymity Classify(const JudgeView& view, const std::vector<std::string>& own);

}  // namespace lumvex
