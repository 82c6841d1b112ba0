// Loading a long list file when the system refuses new threads (a full process table, a thread
// limit reached). Thread creation is made to fail on demand by standing in front of
// pthread_create, so this file is a test program of its own.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "entry_printer.h"
#include "proxylist/agent_file.h"

namespace {

// Thread creations still allowed; negative means no limit.
std::atomic<int> g_threads_allowed{-1};

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                              void* arg) {
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  int allowed = g_threads_allowed.load();
  while (allowed >= 0) {
    if (allowed == 0) return EAGAIN;
    if (g_threads_allowed.compare_exchange_weak(allowed, allowed - 1)) break;
  }
  return real(thread, attr, start, arg);
}

namespace lumvex {
namespace {

class ThreadLimit {
 public:
  explicit ThreadLimit(int allowed) { g_threads_allowed = allowed; }
  ~ThreadLimit() { g_threads_allowed = -1; }
  ThreadLimit(const ThreadLimit&) = delete;
  ThreadLimit& operator=(const ThreadLimit&) = delete;
};

// A file long enough to be parsed in several pieces, and its rows parsed line by line.
struct LongFile {
  std::string bytes;
  std::vector<ProxyEntry> rows;
};

LongFile MakeLongFile() {
  LongFile file;
  for (int i = 0; i < 120000; ++i) {
    const std::string line = "10.0." + std::to_string(i / 256 % 256) + "." +
                             std::to_string(i % 256) + " | " + std::to_string(1000 + i) +
                             " | HTTP | 0.5 | somewhere | 1";
    if (i > 0) file.bytes += "\r\n";
    file.bytes += line;
    const std::vector<ProxyEntry> one = ParseAgentText(line);
    file.rows.insert(file.rows.end(), one.begin(), one.end());
  }
  return file;
}

TEST(AgentFileThreadsTest, RefusedThreadsStillGiveEveryRow) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "a long file is parsed in one piece";
  const LongFile file = MakeLongFile();
  ASSERT_GT(file.bytes.size(), 4u * 1024 * 1024);
  ASSERT_EQ(file.rows.size(), 120000u);
  {
    // The stand-in really is in effect: a refused thread shows as std::system_error.
    ThreadLimit none(0);
    EXPECT_THROW(std::thread([] {}).join(), std::system_error);
  }
  for (const int allowed : {0, 1, 2}) {
    std::vector<ProxyEntry> parsed;
    {
      ThreadLimit limit(allowed);
      parsed = ParseAgentText(file.bytes);
    }
    ASSERT_EQ(parsed.size(), file.rows.size()) << allowed;
    EXPECT_TRUE(parsed == file.rows) << allowed;
  }
}

}  // namespace
}  // namespace lumvex
