// How many files (sockets included) the process may hold open, and how many it holds: thousands
// of checks in flight each need a socket, and a check must never fail for want of one.
#pragma once

#include <cstddef>

namespace lumvex {

// Raises the soft RLIMIT_NOFILE to the hard limit (distributions start programs at 1024 while
// allowing far more) and returns the soft limit now in force; 0 when it cannot be read.
std::size_t RaiseOpenFileLimit();

// The soft limit in force; 0 when it cannot be read.
std::size_t OpenFileLimit();

// Descriptors the process holds now (entries of /proc/self/fd); the whole soft limit when none
// is left to read them with, 0 when they cannot be read otherwise.
std::size_t OpenDescriptorCount();

// How many more things needing `each` descriptors can be opened now, keeping `reserve`
// descriptors free for the rest of the program (files, pipes, the display connection).
std::size_t DescriptorRoom(std::size_t each, std::size_t reserve);

}  // namespace lumvex
