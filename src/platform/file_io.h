// Whole-file reads and writes. Paths are UTF-8 file-system paths; contents are raw bytes.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace lumvex {

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// The whole file, or nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces the file atomically: writes a temporary file in the same directory, flushes it to
// disk, then renames it over the old one. On any failure the old file stays whole and the
// temporary file is removed. A symbolic link (also a chain of them, also one whose target does
// not exist yet) stays a link: the file it finally names is the one replaced, with the temporary
// file beside it. Returns false on failure (also for a loop of links).
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// Removes the temporary files of saves that a kill, a crash or a power cut left in `directory`
// (".NAME.tmp-..." beside NAME), when they are older than `min_age`: a younger one may belong to
// a save still running in another process. Returns how many were removed.
int RemoveStaleStagedFiles(const std::string& directory, std::chrono::seconds min_age);

// Creates the directory (one level only). True when it exists afterwards.
bool EnsureDirectory(const std::string& path);

// `directory` without trailing slashes ("/" itself stays; an empty one means the current one), so
// file names join onto it with exactly one "/".
std::string NormalisedDirectory(std::string directory);
// The file `name` inside `directory`.
std::string PathInDirectory(const std::string& directory, const std::string& name);

// False when the file did not exist or could not be removed.
bool RemoveFile(const std::string& path);

}  // namespace lumvex
