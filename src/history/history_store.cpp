#include "history/history_store.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "history/history_key.h"
#include "settings/data_dir.h"
#include "settings/stored_files.h"

namespace lumvex {
namespace {

// Records written in one transaction at most; more wait for the next.
constexpr std::size_t kLargestBatch = 50000;
// Records kept waiting while the database cannot be written; the oldest go beyond.
constexpr std::size_t kMostWaiting = 1000000;

}  // namespace

std::string HistoryPath(const DataDir& data_dir) { return data_dir.PathOf(DataFile::kHistory); }

HistoryStore::HistoryStore(std::string path, HistoryLimits limits, HistoryLoad load)
    : path_(std::move(path)), limits_(limits), load_wanted_(load == HistoryLoad::kNow) {
  writer_ = std::thread([this] { Run(); });
}

HistoryStore::~HistoryStore() { Close(); }

void HistoryStore::Record(std::string_view address, const HistoryRecord& record) {
  std::string key = HistoryKey(address);
  {
    // One lock over both: a record is either in the loaded summary or still waiting when the
    // writer loads it, never neither nor both.
    std::unique_lock summary(summary_mutex_);
    if (loaded_) Apply(summary_, key, record);
    std::lock_guard queue(queue_mutex_);
    if (closed_) return;
    if (queue_.size() >= kMostWaiting) {
      queue_.erase(queue_.begin());
      ++tried_;  // given up
    }
    queue_.push_back({std::move(key), record});
    ++queued_;
  }
  queue_cv_.notify_one();
}

void HistoryStore::RecordCheck(std::string_view address, bool ok, int reason, int http_status,
                               double seconds) {
  Record(address, {HistoryNowMs(), HistoryKind::kCheck, ok, reason, http_status, seconds});
}

void HistoryStore::RecordGatewayUse(std::string_view address, bool ok, double seconds) {
  Record(address, {HistoryNowMs(), HistoryKind::kGateway, ok, 0, 0, seconds});
}

void HistoryStore::StartLoading() {
  {
    std::lock_guard lock(queue_mutex_);
    if (load_wanted_) return;
    load_wanted_ = true;
  }
  queue_cv_.notify_all();
}

void HistoryStore::Flush() {
  StartLoading();
  std::unique_lock lock(queue_mutex_);
  const std::uint64_t wanted = queued_;
  if (tried_ >= wanted || !writer_.joinable()) return;
  flush_wanted_ = true;
  queue_cv_.notify_one();
  done_cv_.wait(lock, [&] { return tried_ >= wanted || stop_; });
}

void HistoryStore::Close() {
  {
    std::lock_guard lock(queue_mutex_);
    if (closed_) return;
    closed_ = true;
    stop_ = true;
  }
  queue_cv_.notify_one();
  if (writer_.joinable()) writer_.join();
  std::lock_guard lock(loaded_mutex_);
  load_done_ = true;
  loaded_cv_.notify_all();
}

void HistoryStore::WaitUntilLoaded() {
  StartLoading();
  std::unique_lock lock(loaded_mutex_);
  loaded_cv_.wait(lock, [this] { return load_done_; });
}

std::optional<ProxyHealth> HistoryStore::HealthOf(std::string_view address) const {
  std::shared_lock lock(summary_mutex_);
  if (summary_.empty()) return std::nullopt;
  // The usual address is its own key: looked up without a copy.
  const auto found =
      IsHistoryKey(address) ? summary_.find(address) : summary_.find(HistoryKey(address));
  if (found == summary_.end()) return std::nullopt;
  return found->second.health;
}

std::vector<std::pair<std::string, ProxyHealth>> HistoryStore::AllHealth() const {
  std::shared_lock lock(summary_mutex_);
  std::vector<std::pair<std::string, ProxyHealth>> all;
  all.reserve(summary_.size());
  for (const auto& [key, summary] : summary_) all.emplace_back(key, summary.health);
  return all;
}

void HistoryStore::SetOnWritten(std::function<void()> hook) {
  std::lock_guard lock(hook_mutex_);
  on_written_ = std::move(hook);
}

void HistoryStore::Apply(SummaryMap& map, const std::string& key,
                         const HistoryRecord& record) const {
  Summary& summary = map[key];
  summary.results.Add(record.ok, record.seconds, record.time_ms / 1000, limits_.per_proxy);
  summary.health = summary.results.Health();
}

void HistoryStore::Written() {
  std::lock_guard lock(hook_mutex_);
  if (on_written_) on_written_();
}

bool HistoryStore::OpenDatabase() {
  if (db_) return true;
  if (db_given_up_) return false;
  HistoryDb::Result result = HistoryDb::Result::kOk;
  std::string error;
  // The data directory is made with the first record, as with every file of it (its parent must
  // exist).
  std::error_code ignored;
  std::filesystem::create_directory(std::filesystem::path(path_).parent_path(), ignored);
  db_ = HistoryDb::Open(path_, true, result, error);
  if (!db_ && result == HistoryDb::Result::kDamaged) {
    MoveAside(error);
    db_ = HistoryDb::Open(path_, true, result, error);
  }
  if (!db_ && result != HistoryDb::Result::kBusy) {
    std::fprintf(stderr, "lumvexip: the check history %s cannot be opened (%s); nothing is recorded\n",
                 path_.c_str(), error.c_str());
    db_given_up_ = true;
  }
  return db_ != nullptr;
}

void HistoryStore::MoveAside(const std::string& why) {
  db_.reset();
  const std::string aside = path_ + std::string(FileNameOf(DataFile::kDamagedHistory))
                                        .substr(FileNameOf(DataFile::kHistory).size());
  std::error_code ignored;
  std::filesystem::rename(path_, aside, ignored);
  for (const char* suffix : {"-wal", "-shm"}) {
    std::filesystem::remove(aside + suffix, ignored);
    std::filesystem::rename(path_ + suffix, aside + suffix, ignored);
  }
  std::fprintf(stderr, "lumvexip: the check history %s is damaged (%s): moved to %s, a new one begun\n",
               path_.c_str(), why.c_str(), aside.c_str());
}

void HistoryStore::LoadSummary() {
  SummaryMap loaded;
  if (db_) {
    const HistoryDb::Result result = db_->ForEach(
        [&](const std::string& key, const HistoryRecord& record) { Apply(loaded, key, record); });
    if (result == HistoryDb::Result::kDamaged) {
      MoveAside(db_->LastError());
      loaded.clear();
      OpenDatabase();
    }
  }
  {
    std::unique_lock summary(summary_mutex_);
    std::lock_guard queue(queue_mutex_);
    for (const KeyedRecord& item : retry_) Apply(loaded, item.key, item.record);
    for (const KeyedRecord& item : queue_) Apply(loaded, item.key, item.record);
    summary_ = std::move(loaded);
    loaded_ = true;
  }
  {
    std::lock_guard lock(loaded_mutex_);
    load_done_ = true;
  }
  loaded_cv_.notify_all();
  Written();
}

void HistoryStore::WriteBatch(std::vector<KeyedRecord>& batch) {
  if (!retry_.empty()) {
    batch.insert(batch.begin(), std::make_move_iterator(retry_.begin()),
                 std::make_move_iterator(retry_.end()));
    retry_.clear();
  }
  if (batch.empty() || !OpenDatabase()) {
    if (!db_given_up_) retry_ = std::move(batch);
    return;
  }
  HistoryDb::Result result = db_->Write(batch, limits_.per_proxy);
  if (result == HistoryDb::Result::kDamaged) {
    MoveAside(db_->LastError());
    if (OpenDatabase()) result = db_->Write(batch, limits_.per_proxy);
  }
  if (result == HistoryDb::Result::kBusy) {
    if (batch.size() > kMostWaiting) batch.erase(batch.begin(), batch.end() - kMostWaiting);
    retry_ = std::move(batch);
    return;
  }
  if (result != HistoryDb::Result::kOk) {
    std::fprintf(stderr, "lumvexip: %zu records of the check history were not written (%s)\n",
                 batch.size(), db_ ? db_->LastError().c_str() : "no database");
    return;
  }
  // Over the size cap: the oldest records go, and the summary is read again from what is left.
  if (db_->UsedBytes() > limits_.max_bytes) {
    if (db_->ShrinkTo(limits_.max_bytes * 9 / 10) == HistoryDb::Result::kOk) LoadSummary();
  }
  Written();
}

void HistoryStore::Run() {
  {
    std::unique_lock lock(queue_mutex_);
    queue_cv_.wait(lock, [this] { return load_wanted_ || stop_; });
  }
  // Nothing is made before there is something to record.
  std::error_code ignored;
  if (std::filesystem::exists(path_, ignored)) OpenDatabase();
  LoadSummary();
  const auto delay = std::chrono::milliseconds(limits_.batch_ms);
  std::unique_lock lock(queue_mutex_);
  for (;;) {
    queue_cv_.wait(lock, [this] { return stop_ || flush_wanted_ || !queue_.empty(); });
    // Records gather for a moment, so a transaction carries many.
    queue_cv_.wait_for(lock, delay,
                       [this] { return stop_ || flush_wanted_ || queue_.size() >= kLargestBatch; });
    std::vector<KeyedRecord> batch;
    if (queue_.size() <= kLargestBatch) {
      batch.swap(queue_);
    } else {
      batch.assign(std::make_move_iterator(queue_.begin()),
                   std::make_move_iterator(queue_.begin() + kLargestBatch));
      queue_.erase(queue_.begin(), queue_.begin() + kLargestBatch);
    }
    const std::uint64_t taken = batch.size();
    const bool stopping = stop_;
    lock.unlock();
    WriteBatch(batch);
    lock.lock();
    tried_ += taken;
    if (queue_.empty()) flush_wanted_ = false;
    done_cv_.notify_all();
    if (stopping && queue_.empty()) break;
  }
  lock.unlock();
  db_.reset();
}

}  // namespace lumvex
