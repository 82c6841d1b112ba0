#include "history/history_db.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <unordered_set>
#include <utility>

namespace lumvex {
namespace {

// The schema. Pages freed by pruning go back to the file system (incremental vacuum), so the
// file follows the size cap down as well as up.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS proxies(id INTEGER PRIMARY KEY, address TEXT NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS records(proxy INTEGER NOT NULL, time_ms INTEGER NOT NULL,"
    " kind INTEGER NOT NULL, ok INTEGER NOT NULL, reason INTEGER NOT NULL,"
    " status INTEGER NOT NULL, ms INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS records_of_proxy ON records(proxy);";

// A prepared statement, finalised when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { code_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  int PrepareCode() const { return code_; }
  sqlite3_stmt* get() const { return stmt_; }
  void Bind(int at, std::int64_t value) { sqlite3_bind_int64(stmt_, at, value); }
  void Bind(int at, const std::string& text) {
    sqlite3_bind_text(stmt_, at, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  int Step() { return sqlite3_step(stmt_); }
  int Reset() { return sqlite3_reset(stmt_); }
  std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int code_ = SQLITE_OK;
};

HistoryDb::Result ResultOf(int code) {
  switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return HistoryDb::Result::kOk;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return HistoryDb::Result::kBusy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
      return HistoryDb::Result::kDamaged;
    default:
      return HistoryDb::Result::kFailed;
  }
}

HistoryRecord RecordOf(const Statement& row, int first) {
  HistoryRecord record;
  record.time_ms = row.Int(first);
  record.kind = row.Int(first + 1) == 1 ? HistoryKind::kGateway : HistoryKind::kCheck;
  record.ok = row.Int(first + 2) != 0;
  record.reason = static_cast<int>(row.Int(first + 3));
  record.http_status = static_cast<int>(row.Int(first + 4));
  record.seconds = static_cast<double>(row.Int(first + 5)) / 1000.0;
  return record;
}

}  // namespace

std::string_view HistoryKindName(HistoryKind kind) {
  return kind == HistoryKind::kGateway ? "gateway" : "check";
}

std::int64_t HistoryNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

HistoryDb::~HistoryDb() { sqlite3_close(db_); }

std::unique_ptr<HistoryDb> HistoryDb::Open(const std::string& path, bool write, Result& result,
                                           std::string& error) {
  struct stat info {};
  if (!write && ::stat(path.c_str(), &info) != 0) {
    result = Result::kMissing;
    return nullptr;
  }
  sqlite3* raw = nullptr;
  // A reader opens the file for writing too (never creating it): reading a WAL database needs
  // its shared-memory file.
  const int flags = write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READWRITE;
  const int code = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<HistoryDb> db(new HistoryDb(raw));
  if (code != SQLITE_OK) {
    error = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(code);
    result = ResultOf(code);
    return nullptr;
  }
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  // A file of random bytes shows itself at the first statement that reads it.
  result = db->Exec(write ? "PRAGMA auto_vacuum=INCREMENTAL; PRAGMA journal_mode=WAL;"
                            " PRAGMA synchronous=NORMAL;"
                          : "PRAGMA schema_version;");
  if (result == Result::kOk && write) result = db->Exec(kSchema);
  if (result == Result::kOk && !write) {
    Statement probe(raw, "SELECT count(*) FROM records WHERE 0;");
    if (probe.PrepareCode() != SQLITE_OK) result = db->Step(probe.PrepareCode());
  }
  if (result != Result::kOk) {
    error = db->error_;
    return nullptr;
  }
  return db;
}

HistoryDb::Result HistoryDb::Step(int code) {
  const Result result = ResultOf(code);
  if (result != Result::kOk) error_ = sqlite3_errmsg(db_);
  return result;
}

HistoryDb::Result HistoryDb::Exec(const char* sql) {
  return Step(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

std::int64_t HistoryDb::PragmaNumber(const char* sql) {
  Statement query(db_, sql);
  return query.Step() == SQLITE_ROW ? query.Int(0) : 0;
}

HistoryDb::Result HistoryDb::LearnProxies() {
  proxies_.clear();
  Statement query(db_,
                  "SELECT p.address, p.id, (SELECT count(*) FROM records r WHERE r.proxy = p.id)"
                  " FROM proxies p;");
  if (query.PrepareCode() != SQLITE_OK) return Step(query.PrepareCode());
  int code;
  while ((code = query.Step()) == SQLITE_ROW) {
    proxies_[query.Text(0)] = {query.Int(1), static_cast<int>(query.Int(2))};
  }
  return Step(code);
}

HistoryDb::Result HistoryDb::ForEach(
    const std::function<void(const std::string& key, const HistoryRecord&)>& visit) {
  Statement query(db_,
                  "SELECT p.address, r.time_ms, r.kind, r.ok, r.reason, r.status, r.ms"
                  " FROM records r JOIN proxies p ON p.id = r.proxy ORDER BY r.proxy, r.rowid;");
  if (query.PrepareCode() != SQLITE_OK) return Step(query.PrepareCode());
  proxies_.clear();
  int code;
  std::string key;
  while ((code = query.Step()) == SQLITE_ROW) {
    key = query.Text(0);
    visit(key, RecordOf(query, 1));
  }
  if (const Result result = Step(code); result != Result::kOk) return result;
  return LearnProxies();
}

HistoryDb::Result HistoryDb::RecordsOf(const std::string& key, int limit,
                                       std::vector<HistoryRecord>& records) {
  Statement query(db_,
                  "SELECT r.time_ms, r.kind, r.ok, r.reason, r.status, r.ms FROM records r"
                  " JOIN proxies p ON p.id = r.proxy WHERE p.address = ?1"
                  " ORDER BY r.rowid DESC LIMIT ?2;");
  if (query.PrepareCode() != SQLITE_OK) return Step(query.PrepareCode());
  query.Bind(1, key);
  query.Bind(2, limit);
  int code;
  while ((code = query.Step()) == SQLITE_ROW) records.push_back(RecordOf(query, 0));
  return Step(code);
}

HistoryDb::Result HistoryDb::Write(const std::vector<KeyedRecord>& batch, int keep) {
  // Taken at once: a lock held by another process is waited for here, before anything is done.
  if (const Result begun = Exec("BEGIN IMMEDIATE;"); begun != Result::kOk) return begun;
  Statement add_proxy(db_, "INSERT OR IGNORE INTO proxies(address) VALUES(?1);");
  Statement find_proxy(db_, "SELECT id FROM proxies WHERE address = ?1;");
  Statement add_record(db_,
                       "INSERT INTO records(proxy, time_ms, kind, ok, reason, status, ms)"
                       " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7);");
  Statement prune(db_,
                  "DELETE FROM records WHERE proxy = ?1 AND rowid < (SELECT rowid FROM records"
                  " WHERE proxy = ?1 ORDER BY rowid DESC LIMIT 1 OFFSET ?2);");
  Result result = Result::kOk;
  for (const Statement* s : {&add_proxy, &find_proxy, &add_record, &prune}) {
    if (result == Result::kOk && s->PrepareCode() != SQLITE_OK) result = Step(s->PrepareCode());
  }
  const std::unordered_map<std::string, ProxyRow> before = proxies_;
  std::unordered_set<std::int64_t> over;
  for (std::size_t i = 0; result == Result::kOk && i < batch.size(); ++i) {
    const KeyedRecord& item = batch[i];
    auto found = proxies_.find(item.key);
    if (found == proxies_.end()) {
      add_proxy.Bind(1, item.key);
      result = Step(add_proxy.Step());
      add_proxy.Reset();
      find_proxy.Bind(1, item.key);
      const int code = find_proxy.Step();
      if (result == Result::kOk && code != SQLITE_ROW) result = Step(code);
      if (result != Result::kOk) break;
      found = proxies_.emplace(item.key, ProxyRow{find_proxy.Int(0), 0}).first;
      find_proxy.Reset();
    }
    const HistoryRecord& r = item.record;
    add_record.Bind(1, found->second.id);
    add_record.Bind(2, r.time_ms);
    add_record.Bind(3, static_cast<std::int64_t>(r.kind));
    add_record.Bind(4, r.ok ? 1 : 0);
    add_record.Bind(5, r.reason);
    add_record.Bind(6, r.http_status);
    add_record.Bind(7, static_cast<std::int64_t>(std::llround(std::max(0.0, r.seconds) * 1000)));
    result = Step(add_record.Step());
    add_record.Reset();
    // Pruned in bulk once a fifth more than kept has gathered, not on every insert.
    if (++found->second.records > keep + std::max(1, keep / 5)) over.insert(found->second.id);
  }
  for (auto it = over.begin(); result == Result::kOk && it != over.end(); ++it) {
    prune.Bind(1, *it);
    prune.Bind(2, keep - 1);
    result = Step(prune.Step());
    prune.Reset();
  }
  if (result == Result::kOk) result = Exec("COMMIT;");
  if (result != Result::kOk) {
    sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
    proxies_ = before;
    return result;
  }
  for (auto& [key, row] : proxies_) {
    if (over.count(row.id) > 0) row.records = keep;
  }
  return Result::kOk;
}

std::int64_t HistoryDb::UsedBytes() {
  const std::int64_t pages = PragmaNumber("PRAGMA page_count;") - PragmaNumber("PRAGMA freelist_count;");
  return pages * PragmaNumber("PRAGMA page_size;");
}

HistoryDb::Result HistoryDb::ShrinkTo(std::int64_t target) {
  // Rows take about the same room each: each round removes the share that is over, and a little
  // more, with the proxies left without a record.
  for (int round = 0; round < 4; ++round) {
    const std::int64_t used = UsedBytes();
    const std::int64_t rows = PragmaNumber("SELECT count(*) FROM records;");
    if (used <= target || used <= 0 || rows == 0) break;
    const auto remove = static_cast<std::int64_t>(
        std::ceil(static_cast<double>(rows) * (1.0 - static_cast<double>(target) / used))) + 1;
    if (const Result begun = Exec("BEGIN IMMEDIATE;"); begun != Result::kOk) return begun;
    Statement drop(db_,
                   "DELETE FROM records WHERE rowid <= (SELECT rowid FROM records ORDER BY rowid"
                   " LIMIT 1 OFFSET ?1);");
    Result result = drop.PrepareCode() == SQLITE_OK ? Result::kOk : Step(drop.PrepareCode());
    if (result == Result::kOk) {
      drop.Bind(1, std::min(remove, rows) - 1);
      result = Step(drop.Step());
    }
    if (result == Result::kOk) {
      result = Exec("DELETE FROM proxies WHERE NOT EXISTS"
                    " (SELECT 1 FROM records WHERE records.proxy = proxies.id);");
    }
    if (result == Result::kOk) result = Exec("COMMIT;");
    if (result != Result::kOk) {
      sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
      LearnProxies();
      return result;
    }
    if (const Result vacuum = Exec("PRAGMA incremental_vacuum;"); vacuum != Result::kOk) {
      return vacuum;
    }
  }
  return LearnProxies();
}

}  // namespace lumvex
