#include "update/download_target.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "text/text_util.h"

namespace lumvex::update {
namespace {

constexpr std::size_t kMaxNameBytes = 200;
constexpr int kMaxNumberedNames = 100;

}  // namespace

std::string SafeFileNameOf(std::string_view title) {
  std::string name;
  for (char c : title) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7f) continue;
    name += c;
  }
  // Removing one ".." can join two dots into another, so repeat until none is left.
  while (text::Contains(name, "..")) name = text::ReplaceAll(name, "..", "");
  std::size_t start = name.find_first_not_of(". ");
  name = start == std::string::npos ? std::string() : name.substr(start);
  if (name.size() > kMaxNameBytes) {
    std::size_t cut = kMaxNameBytes;
    // Never cut inside a UTF-8 sequence: back up over continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return name;
}

std::optional<std::string> DownloadTargetPath(std::string_view folder, std::string_view title,
                                              std::string_view executable_suffix) {
  const std::string name = SafeFileNameOf(title);
  if (name.empty()) return std::nullopt;
  std::string directory(folder);
  if (directory.empty() || directory.back() != '/') directory += '/';
  return directory + name + std::string(executable_suffix);
}

std::optional<std::string> FreeTargetPath(const std::string& path,
                                          std::string_view executable_suffix,
                                          const std::function<bool(const std::string&)>& taken) {
  if (!taken(path)) return path;
  const std::string suffix(executable_suffix);
  const std::string stem =
      path.ends_with(suffix) ? path.substr(0, path.size() - suffix.size()) : path;
  for (int n = 2; n <= kMaxNumberedNames; ++n) {
    std::string numbered = stem + " (" + std::to_string(n) + ")" + suffix;
    if (!taken(numbered)) return numbered;
  }
  return std::nullopt;
}

std::optional<std::string> FreeTargetPath(const std::string& path,
                                          std::string_view executable_suffix) {
  return FreeTargetPath(path, executable_suffix, [](const std::string& name) {
    struct stat entry {};
    return lstat(name.c_str(), &entry) == 0;
  });
}

bool EnsureDownloadFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return std::filesystem::is_directory(folder, error);
}

bool IsDownloadAddressAllowed(std::string_view address) {
  for (char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) return false;
  }
  std::size_t rest = 0;
  if (text::StartsWith(address, "http://", true)) {
    rest = 7;
  } else if (text::StartsWith(address, "https://", true)) {
    rest = 8;
  } else {
    return false;
  }
  const std::string_view after = address.substr(rest);
  return !after.empty() && after.front() != '/' && after.front() != '?' && after.front() != '#';
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace lumvex::update
