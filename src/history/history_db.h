// The history's database file: SQLite in WAL mode, one table of proxies (their keys) and one of
// records. Used by one thread at a time: the store's writer, or a reader such as
// `lumvexip history`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "history/history_record.h"

struct sqlite3;

namespace lumvex {

struct KeyedRecord {
  std::string key;  // HistoryKey of the proxy's address
  HistoryRecord record;
};

class HistoryDb {
 public:
  enum class Result {
    kOk,
    kMissing,  // opened to read, and there is no file
    kBusy,     // another process holds the database longer than the busy timeout
    kDamaged,  // not a database, or a damaged one
    kFailed,   // anything else (no permission, a full disk, ...)
  };

  // How long a statement waits for another process's lock before it gives up.
  static constexpr int kBusyTimeoutMs = 250;

  ~HistoryDb();
  HistoryDb(const HistoryDb&) = delete;
  HistoryDb& operator=(const HistoryDb&) = delete;

  // Opens the file at `path`, creating it (with its tables) when `write`; `result` says why
  // when null is returned. `error` gets SQLite's words.
  static std::unique_ptr<HistoryDb> Open(const std::string& path, bool write, Result& result,
                                         std::string& error);

  // Every record, each proxy's oldest first; also learns the proxies' rows for Write.
  Result ForEach(const std::function<void(const std::string& key, const HistoryRecord&)>& visit);
  // The newest `limit` records of `key`, newest first.
  Result RecordsOf(const std::string& key, int limit, std::vector<HistoryRecord>& records);

  // Writes `batch` in one transaction, then removes the oldest records of every proxy that has
  // gathered more than `keep` and a fifth, down to `keep`. Nothing is written unless kOk.
  Result Write(const std::vector<KeyedRecord>& batch, int keep);

  // Bytes of the database's pages in use (the file less its free pages).
  std::int64_t UsedBytes();
  // Removes the oldest records until about `target` bytes are in use, and gives the freed pages
  // back to the file system.
  Result ShrinkTo(std::int64_t target);

  const std::string& LastError() const { return error_; }

 private:
  explicit HistoryDb(sqlite3* db) : db_(db) {}
  Result Step(int code);
  Result Exec(const char* sql);
  Result LearnProxies();
  std::int64_t PragmaNumber(const char* sql);

  struct ProxyRow {
    std::int64_t id = 0;
    int records = 0;  // as far as this connection knows
  };

  sqlite3* db_;
  std::unordered_map<std::string, ProxyRow> proxies_;
  std::string error_;
};

}  // namespace lumvex
