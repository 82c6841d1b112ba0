// Fetchers, validation workers and the cleanup threads all use the list at once; each operation
// must stay one whole step and the view must see a well-formed stream of notifications.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless_ui_thread.h"
#include "proxylist/proxy_list.h"
#include "recording_observer.h"

namespace lumvex {
namespace {

constexpr int kWriters = 3;
constexpr int kRowsPerWriter = 400;

ProxyEntry Numbered(int writer, int i) {
  ProxyEntry e;
  e.cells = {"10." + std::to_string(writer) + ".0." + std::to_string(i),
             std::to_string(i),
             "HTTP",
             "",
             "浙江省杭州市 电信",
             ""};
  return e;
}

TEST(ProxyListConcurrencyTest, ManyThreadsKeepCountsAndNotificationsConsistent) {
  HeadlessUiThread ui;
  ProxyList list(ui);
  RecordingObserver observer(list, ui, /*keep_log=*/false);
  list.AddObserver(&observer);

  std::atomic<int> added{0};
  std::atomic<int> deleted{0};
  std::atomic<int> cell_writes{0};
  std::atomic<int> torn_rows{0};
  std::atomic<bool> writers_done{false};
  std::vector<std::thread> threads;

  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < kRowsPerWriter; ++i) {
        if (i % 4 == 3) {
          if (list.InsertRow(i % 7, "inserted") >= 0) added.fetch_add(1);
        } else if (i % 50 == 0) {
          list.AddRows({Numbered(w, i), Numbered(w, i + 1000)});
          added.fetch_add(2);
        } else if (list.AddRow(Numbered(w, i)) >= 0) {
          added.fetch_add(1);
        }
      }
    });
  }
  // A validation-like worker: writes verdicts into whatever rows exist right now.
  threads.emplace_back([&] {
    unsigned n = 1;
    while (!writers_done.load()) {
      const int count = list.ListCount();
      if (count == 0) continue;
      n = n * 1103515245u + 12345u;
      if (list.SetCheckState(static_cast<int>(n % static_cast<unsigned>(count)),
                             CheckState{CheckStatus::kFailed}))
        cell_writes.fetch_add(1);
    }
  });
  // A cleanup-like thread: deletes failed rows it finds, racing with everybody else.
  threads.emplace_back([&] {
    while (!writers_done.load()) {
      const int row = list.FindRow("失败", 0, kColType);
      if (row >= 0 && list.DeleteRow(row)) deleted.fetch_add(1);
    }
  });
  // A reader: every row it gets must be a whole row (address and port written together).
  threads.emplace_back([&] {
    while (!writers_done.load()) {
      const int count = list.ListCount();
      const ProxyEntry e = list.GetRow(count / 2);
      if (!e.cells[kColAddress].empty() && e.cells[kColAddress] != "inserted" &&
          e.cells[kColLocation] != "浙江省杭州市 电信")
        torn_rows.fetch_add(1);
      list.SelectedRows();
      list.CurrentRow();
      list.SetCurrentRow(count / 3);
      list.SetSelectedRows({count / 4, count / 2});
    }
  });

  for (int w = 0; w < kWriters; ++w) threads[static_cast<std::size_t>(w)].join();
  writers_done.store(true);
  for (std::size_t t = kWriters; t < threads.size(); ++t) threads[t].join();

  const int count = list.ListCount();
  EXPECT_EQ(added.load(), kWriters * kRowsPerWriter + kWriters * 8);
  EXPECT_EQ(count, added.load() - deleted.load());
  EXPECT_EQ(torn_rows.load(), 0);
  EXPECT_GT(cell_writes.load(), 0);

  // The marks always point inside the list.
  const int current = list.CurrentRow();
  EXPECT_GE(current, -1);
  EXPECT_LT(current, count);
  for (int r : list.SelectedRows()) {
    EXPECT_GE(r, 0);
    EXPECT_LT(r, count);
  }

  ASSERT_TRUE(ui.RunSync([&] {
    EXPECT_EQ(observer.mirror_rows(), count);
    EXPECT_EQ(observer.faults(), 0);
    // Every counted change had its begin and end.
    EXPECT_EQ(observer.changes(), kWriters * kRowsPerWriter + deleted.load());
  }));
  list.RemoveObserver(&observer);
}

}  // namespace
}  // namespace lumvex
