// What the program hands the download component for one transfer, and the events it gets back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace lumvex::update {

// Event codes of the download component. The program acts on kTotalSize and kComplete (and, so
// that a failure is never silent, on kFailed); other codes are not sent.
enum DownloadEvent : int {
  kEventTotalSize = 3,  // value: the size of the file in bytes
  kEventComplete = 4,   // value: the bytes written; the file is in place under its name
  kEventFailed = 8,     // value: the libcurl result code, or one of DownloadFailure
};

// Values of kEventFailed besides libcurl's result codes.
enum DownloadFailure : int {
  kFailedLocally = -1,    // the file could not be written or put in place
  kFailedDigest = -2,     // the file's SHA-256 differs from the expected one; it was deleted
  kFailedNameTaken = -3,  // a file of the target's name appeared meanwhile; it was left alone
};

struct TaskParam {
  std::string address;      // http:// or https:// only
  std::string target_path;  // the file to create; written under a temporary name first and
                            // never put over an existing file
  // The SHA-256 the file must have (64 lower-case hex digits), or empty for no check. A file
  // that differs is deleted and never made executable.
  std::string expected_sha256;
  // Runs on the UI thread; the result is ignored (the program returns 0).
  std::function<int(int code, std::int64_t value)> on_event;
  // Numeric task settings, in record order, with the component's defaults.
  long buffer_bytes = 1;            // receive buffer (libcurl keeps at least 1024)
  long attempts = 1;                // tries while the connection fails before any byte arrived
  long connect_timeout_ms = 20000;  // to establish the connection
  long retry_pause_ms = 20000;      // between two tries
  long idle_timeout_ms = 20000;     // the transfer fails when no byte arrives for this long
  long speed_window_ms = 1000;      // the task speed is measured over this span
  long write_buffer_bytes = 20480;  // buffered writes to the file
  // A body longer than this fails the transfer instead of filling the disk.
  std::int64_t max_bytes = std::int64_t{512} << 20;
};

// The settings the program puts into its task record.
inline void SetProgramTaskSettings(TaskParam& task) {
  task.buffer_bytes = 4096;
  task.attempts = 5;
  task.connect_timeout_ms = 5000;
  task.retry_pause_ms = 5000;
  task.idle_timeout_ms = 10000;
  task.speed_window_ms = 1000;
  task.write_buffer_bytes = 10240;
}

}  // namespace lumvex::update
