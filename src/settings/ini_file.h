// Private-profile (INI) settings files, written with the same text the Windows profile functions
// produce: "[section]" and "key=value" lines ending in "\r\n", GBK on disk. Lines the program does
// not change stay byte for byte as they were, so hand edits survive.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lumvex {

// Text transforms over the GBK bytes of a profile file. Section and key names match without
// regard to ASCII letter case; spaces and tabs around names and values are not significant.
// Lines may end in "\r\n" or "\n"; the last line may lack its line end.

// The value of `key` in `section`, trimmed, or nullopt when the section or key is absent.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// `text` with `key` of `section` set to `value`: an existing key's line is replaced where it
// stands, a new key follows the last key line of its section, a new section is appended at the
// end. Line breaks inside `value` become spaces. Returns nullopt for names a profile line cannot
// hold (empty, a line break, "]" in a section name or a section name ending in half a GBK
// character, "=" in a key or a key starting with "[").
std::optional<std::string> SetProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value);

// File access with UTF-8 names and values. A missing file, section or key reads as "".
std::string ReadSetting(const std::string& path, std::string_view section, std::string_view key);

// Creates or replaces the value; the file is replaced atomically. False when the file exists but
// cannot be read (it is then left alone), the names are unusable, or the write fails.
bool WriteSetting(const std::string& path, std::string_view section, std::string_view key,
                  std::string_view value);

// One value of a profile file.
struct ProfileEntry {
  std::string_view section;
  std::string_view key;
  std::string_view value;
};

// Several values, in one replacement of the file, so it never holds some of them new and some
// old. False as WriteSetting, and then nothing is written.
bool WriteSettings(const std::string& path, std::span<const ProfileEntry> entries);

}  // namespace lumvex
