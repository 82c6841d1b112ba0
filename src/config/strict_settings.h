// The strict check's settings, group "严格验证" of the settings dialog: DataFile::kStrict, keys
// "url" ("验证网址"), "expect" ("必须包含") and "judge" ("匿名检测网址"; a run then fetches the
// judge instead and classifies each working proxy). Empty values mean the usual rules.
#pragma once

#include <string>
#include <string_view>

#include "settings/data_dir.h"
#include "validate/strict_check.h"

namespace lumvex {

// The settings dialog's answer to a "验证网址" it cannot take: a listed proxy relays plain http,
// and an https address would be fetched past it, so every proxy would pass.
inline constexpr std::string_view kStrictUrlRefused =
    "验证网址只能是http网址（如 http://example.com/ ），https网址不经过代理，无法验证代理！";

// True when `url` may be the strict check's address: empty (the validation address is used), or
// an http address with a host (as `lumvexip check --check-url` takes it).
bool StrictUrlAccepted(std::string_view url);

// A "匿名检测网址" the dialog cannot take: the judge is fetched through the proxies, so it must be
// plain http as well.
inline constexpr std::string_view kJudgeUrlRefused =
    "匿名检测网址只能是http网址（如 http://example.com/ ），https网址不经过代理，无法检测匿名度！";

// Missing file or keys read as empty. Spaces around a value are not kept (as in every settings
// file of the program).
StrictRule ReadStrictRule(const DataDir& data_dir);
// Creates the data directory when needed; false when the file could not be written.
bool WriteStrictRule(const DataDir& data_dir, const StrictRule& rule);

}  // namespace lumvex
