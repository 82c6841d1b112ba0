#include "http/cookie_store.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

namespace lumvex::http {
namespace {

bool Holds(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& line : lines) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(CookieStoreTest, AttributesOfTheCookieDataAreHonoured) {
  CookieStore store;
  store.Set("Shop.Example.com", "sid", "abc; path=/cart; secure");
  store.Set("shop.example.com", "lang", "zh; domain=.example.com");
  std::vector<std::string> lines = store.List();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(Holds(lines, "shop.example.com\tFALSE\t/cart\tTRUE\t0\tsid\tabc"));
  EXPECT_TRUE(Holds(lines, "example.com\tTRUE\t/\tFALSE\t0\tlang\tzh"));
}

TEST(CookieStoreTest, ForeignDomainsBadNamesAndExpiredCookiesAreNotKept) {
  CookieStore store;
  store.Set("a.example.com", "x", "1; domain=other.org");
  store.Set("a.example.com", "", "1");
  store.Set("a.example.com", "tab\tname", "1");
  store.Set("", "n", "1");
  EXPECT_TRUE(store.List().empty());
  store.Set("a.example.com", "gone", "1");
  ASSERT_EQ(store.List().size(), 1u);
  store.Set("a.example.com", "gone", "; max-age=0");
  EXPECT_TRUE(store.List().empty());
}

TEST(CookieStoreTest, AnExpiryDateInThePastDeletesTheCookie) {
  // Servers delete a cookie by dating it at (or before) the start of the epoch.
  for (std::string date : {"Thu, 01 Jan 1970 00:00:00 GMT", "Wed, 31 Dec 1969 00:00:00 GMT",
                           "Sun, 06 Nov 1994 08:49:37 GMT"}) {
    CookieStore store;
    store.Set("h.example", "sid", "1");
    ASSERT_EQ(store.List().size(), 1u);
    store.Set("h.example", "sid", "; expires=" + date);
    EXPECT_TRUE(store.List().empty()) << date;
  }
  // A date that cannot be read leaves a session cookie.
  CookieStore store;
  store.Set("h.example", "sid", "2; expires=never");
  std::vector<std::string> lines = store.List();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(Holds(lines, "\t0\tsid\t2"));
}

TEST(CookieStoreTest, SameNameReplacesAndClearEmpties) {
  CookieStore store;
  store.Set("h", "k", "1");
  store.Set("h", "k", "2");
  std::vector<std::string> lines = store.List();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(Holds(lines, "\tk\t2"));
  store.Clear();
  EXPECT_TRUE(store.List().empty());
}

TEST(CookieStoreTest, ManyThreadsSetAtOnce) {
  CookieStore store;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&store, t] {
      for (int i = 0; i < 50; ++i) {
        store.Set("host" + std::to_string(t), "c" + std::to_string(i), "v");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(store.List().size(), 400u);
}

// `hosts` hosts get `per_host` cookies each, host after host; every cookie's name and value
// together are `bytes` long. The cookies from number `first_kept` on (in the order they were set)
// survive; the older ones are evicted.
struct BoundCase {
  const char* what;
  int hosts;
  int per_host;
  std::size_t bytes;
  int first_kept;
};

TEST(CookieStoreTest, TheJarIsBoundedAndEvictsTheOldestFirst) {
  const BoundCase cases[] = {
      {"50 cookies a host", 1, 60, 10, 10},
      {"a cookie of 4 KiB fits", 1, 1, 4096, 0},
      {"a cookie over 4 KiB does not", 1, 1, 4097, 1},
      {"64 KiB a host: 16 cookies of 4000 bytes fit, 17 do not", 1, 20, 4000, 4},
      {"3000 cookies in all, the oldest hosts' first", 62, 50, 10, 100},
      {"2 MiB in all: 524 cookies of 4000 bytes fit, 525 do not", 40, 16, 4000, 116},
  };
  for (const BoundCase& c : cases) {
    CookieStore store;
    int total = c.hosts * c.per_host;
    for (int i = 0; i < total; ++i) {
      std::string name = "c" + std::to_string(i);
      std::string host = "h" + std::to_string(i / c.per_host) + ".example";
      store.Set(host, name, std::string(c.bytes - name.size(), 'v'));
    }
    std::set<std::string> kept;
    for (const std::string& line : store.List()) {
      std::size_t name_at = 0;
      for (int tab = 0; tab < 5; ++tab) name_at = line.find('\t', name_at) + 1;
      kept.insert(line.substr(name_at, line.find('\t', name_at) - name_at));
    }
    std::set<std::string> expected;
    for (int i = c.first_kept; i < total; ++i) expected.insert("c" + std::to_string(i));
    EXPECT_EQ(kept, expected) << c.what;
  }
}

}  // namespace
}  // namespace lumvex::http
