// The two halves of an atomic file replacement, kept apart so that a writer can stage the new
// content first and decide later whether it replaces the old file (WriteWholeFile does both).
#pragma once

#include <optional>
#include <string>

namespace lumvex {

// Writes `bytes` to a new, uniquely named file in the directory of `path` and flushes it to disk.
// The staged file takes over the permission bits of `path` when that file exists (0644 masked by
// the umask otherwise). Returns the staged file's path, or nullopt (with nothing left behind)
// when any step fails. `path` itself is not touched.
std::optional<std::string> StageWrite(const std::string& path, const std::string& bytes);

// Renames the staged file over `path` and flushes the directory entry. On failure the staged
// file is removed and `path` keeps its old content.
bool CommitStagedWrite(const std::string& staged_path, const std::string& path);

}  // namespace lumvex
