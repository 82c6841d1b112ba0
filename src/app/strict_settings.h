// The strict check's settings, group "严格验证" of the settings dialog: "\data\strict", section
// "strict", keys "url" ("验证网址") and "expect" ("必须包含"). Empty values mean the usual rules.
#pragma once

#include <string>

#include "validate/strict_check.h"

namespace lumvex {

inline constexpr char kStrictFileName[] = "strict";

// Missing file or keys read as empty. Spaces around a value are not kept (as in every settings
// file of the program).
StrictRule ReadStrictRule(const std::string& data_dir);
// Creates the data directory when needed; false when the file could not be written.
bool WriteStrictRule(const std::string& data_dir, const StrictRule& rule);

}  // namespace lumvex
