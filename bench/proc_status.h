// Fields of /proc/PID/status for the benchmarks' memory and thread figures.
#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace lumvex::bench {

// The number after "NAME:" in the status file of `pid` (0: this process); 0 when absent. Sizes
// such as VmHWM (the peak resident set) are in KiB.
inline long ProcStatusField(const char* name, pid_t pid = 0) {
  std::ifstream status(pid == 0 ? std::string("/proc/self/status")
                                : "/proc/" + std::to_string(pid) + "/status");
  const std::string prefix = std::string(name) + ":";
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
  }
  return 0;
}

// The peak resident set of `pid` (0: this process) in MB.
inline double PeakResidentMb(pid_t pid = 0) {
  return static_cast<double>(ProcStatusField("VmHWM", pid)) / 1024.0;
}

// The resident set of this process now, in MB.
inline double ResidentMb() { return static_cast<double>(ProcStatusField("VmRSS")) / 1024.0; }

// Starts this process's peak resident set afresh from what it holds now (Linux: clear_refs 5),
// so that a run's peak is its own and not that of a run before it.
inline void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace lumvex::bench
