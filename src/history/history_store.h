// The check history of every proxy, kept in the data directory's database (see HistoryDb): each
// check's verdict and each gateway use of a proxy, the last `per_proxy` of each. Records are
// handed in from any thread and written by one writer thread of the store's own, in one
// transaction at most `batch_ms` after they came (a program killed loses at most those). A
// summary of every proxy stays in memory, loaded by the writer when the store opens, so that a
// health read is a look-up, however many rows ask.
//
// A damaged database never stops the program: it is moved aside to NAME.damaged (with its -wal
// file) and a new one begun, said in one line on standard error. A database another process
// holds locked is waited for briefly, then that batch is tried again with the next.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "history/history_db.h"
#include "history/history_record.h"
#include "history/proxy_health.h"
#include "history/recent_results.h"

namespace lumvex {

class DataDir;

struct HistoryLimits {
  int per_proxy = 50;                    // results kept per proxy
  std::int64_t max_bytes = 64ll << 20;   // database pages in use; the oldest records go first
  int batch_ms = 200;                    // the longest a record waits before it is written
};

// When the writer reads the database: at once, or when StartLoading (or anything that needs the
// summary: Flush, WaitUntilLoaded, Close) asks for it, so a window paints before that work.
enum class HistoryLoad { kNow, kWhenAsked };

// The history database's path in `data_dir`.
std::string HistoryPath(const DataDir& data_dir);

class HistoryStore : public HealthSource {
 public:
  // Starts the writer, which opens the database at `path` and loads the summary (see
  // HistoryLoad); the file (and its directory) is made when the first record is written.
  explicit HistoryStore(std::string path, HistoryLimits limits = {},
                        HistoryLoad load = HistoryLoad::kNow);
  // Close().
  ~HistoryStore() override;
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Lets the writer read the database now (kWhenAsked). Any thread; more calls do nothing.
  void StartLoading();

  // Any thread. The proxy's health reflects the record at once (once the summary is loaded).
  void Record(std::string_view address, const HistoryRecord& record);
  // A check's verdict: `reason` is the CheckReason's number, `http_status` the reply's status.
  void RecordCheck(std::string_view address, bool ok, int reason, int http_status,
                   double seconds);
  // The gateway sent a connection through the proxy at `address`.
  void RecordGatewayUse(std::string_view address, bool ok, double seconds);

  // Waits until every record handed in before the call has been tried once (written, or left
  // for later because another process held the database).
  void Flush();
  // Writes what is waiting and ends the writer; records handed in afterwards are dropped.
  void Close();

  // Waits until the summary is loaded, or the database could not be had at all.
  void WaitUntilLoaded();
  // nullopt until loaded and for a proxy with no record.
  std::optional<ProxyHealth> HealthOf(std::string_view address) const override;
  // Every proxy that has a record, with its health (the order is none in particular).
  std::vector<std::pair<std::string, ProxyHealth>> AllHealth() const;

  // Called on the writer's thread after each batch is written and after the summary is loaded;
  // set it before records come.
  void SetOnWritten(std::function<void()> hook);

 private:
  struct Summary {
    RecentResults results;
    ProxyHealth health;
  };
  // Looked up by a string_view as well.
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };
  using SummaryMap = std::unordered_map<std::string, Summary, KeyHash, std::equal_to<>>;

  void Run();
  // On the writer: opens the database, moving a damaged one aside. False when there is none.
  bool OpenDatabase();
  void MoveAside(const std::string& why);
  // On the writer: the summary from the database and every record still waiting.
  void LoadSummary();
  void WriteBatch(std::vector<KeyedRecord>& batch);
  // With summary_mutex_ held exclusively.
  void Apply(SummaryMap& map, const std::string& key, const HistoryRecord& record) const;
  void Written();

  const std::string path_;
  const HistoryLimits limits_;

  mutable std::shared_mutex summary_mutex_;
  SummaryMap summary_;   // guarded by summary_mutex_
  bool loaded_ = false;  // guarded by summary_mutex_
  mutable std::mutex loaded_mutex_;
  mutable std::condition_variable loaded_cv_;
  bool load_done_ = false;  // guarded by loaded_mutex_: loaded, or given up

  std::mutex queue_mutex_;
  std::condition_variable queue_cv_;
  std::condition_variable done_cv_;
  std::vector<KeyedRecord> queue_;  // all guarded by queue_mutex_
  std::uint64_t queued_ = 0;
  std::uint64_t tried_ = 0;
  bool flush_wanted_ = false;
  bool load_wanted_ = false;
  bool stop_ = false;
  bool closed_ = false;

  std::mutex hook_mutex_;
  std::function<void()> on_written_;  // guarded by hook_mutex_

  // The writer's own.
  std::unique_ptr<HistoryDb> db_;
  bool db_given_up_ = false;
  std::vector<KeyedRecord> retry_;  // a batch another process kept from being written
  std::thread writer_;
};

}  // namespace lumvex
