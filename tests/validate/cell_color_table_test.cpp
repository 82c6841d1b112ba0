#include "validate/cell_color_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

namespace lumvex {
namespace {

constexpr std::uint32_t kRed = 0x000000FF;  // 0x00BBGGRR
constexpr std::uint32_t kBlue = 0x00FF0000;
constexpr std::uint32_t kWhite = 0x00FFFFFF;

TEST(CellColorTableTest, EntriesAreKeptPerCellAndReplaced) {
  CellColorTable table;
  EXPECT_EQ(table.size(), 0u);
  EXPECT_FALSE(table.Lookup(0, 2).has_value());

  // Without a background the list's own one is used, whatever value came along.
  table.SetCellColor(3, 2, kRed, kWhite, /*back_given=*/false);
  ASSERT_TRUE(table.Lookup(3, 2).has_value());
  EXPECT_EQ(*table.Lookup(3, 2), (CellColours{kRed, std::nullopt}));
  // Neighbouring cells, and the transposed one, are untouched.
  EXPECT_FALSE(table.Lookup(2, 3).has_value());
  EXPECT_FALSE(table.Lookup(3, 1).has_value());
  EXPECT_FALSE(table.Lookup(4, 2).has_value());

  // The same cell again replaces its colours: still one entry.
  table.SetCellColor(3, 2, kBlue, kWhite, /*back_given=*/true);
  EXPECT_EQ(table.size(), 1u);
  EXPECT_EQ(*table.Lookup(3, 2), (CellColours{kBlue, kWhite}));
  table.SetCellColor(3, 2, kRed, 0, /*back_given=*/false);
  EXPECT_EQ(*table.Lookup(3, 2), (CellColours{kRed, std::nullopt}));

  table.SetCellColor(0, 0, kRed, 0, false);
  table.SetCellColor(100000, 5, kRed, 0, false);
  EXPECT_EQ(table.size(), 3u);
  EXPECT_TRUE(table.Lookup(100000, 5).has_value());

  // Positions that name no cell are not stored.
  table.SetCellColor(-1, 2, kRed, 0, false);
  table.SetCellColor(2, -1, kRed, 0, false);
  EXPECT_EQ(table.size(), 3u);
  EXPECT_FALSE(table.Lookup(-1, 2).has_value());

  table.ClearCellColors();
  EXPECT_EQ(table.size(), 0u);
  EXPECT_FALSE(table.Lookup(3, 2).has_value());
  EXPECT_FALSE(table.Lookup(0, 0).has_value());
}

TEST(CellColorTableTest, ChangesAreAnnouncedOutsideTheLock) {
  CellColorTable table;
  std::vector<std::pair<int, int>> calls;
  std::vector<std::size_t> sizes_seen;
  table.SetChangeCallback([&](int row, int column) {
    calls.emplace_back(row, column);
    // Looking at the table from the callback must not deadlock.
    sizes_seen.push_back(table.size());
  });
  const std::uint64_t g0 = table.Generation();
  table.ClearCellColors();  // nothing to clear: no change
  EXPECT_EQ(table.Generation(), g0);
  table.SetCellColor(1, 2, kRed, 0, false);
  table.SetCellColor(1, 2, kRed, 0, false);
  table.SetCellColor(4, 2, kRed, 0, false);
  table.ClearCellColors();
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 2}, {1, 2}, {4, 2}, {-1, -1}}));
  EXPECT_EQ(sizes_seen, (std::vector<std::size_t>{1, 1, 2, 0}));
  EXPECT_EQ(table.Generation(), g0 + 4);

  table.SetChangeCallback(nullptr);
  table.SetCellColor(7, 2, kRed, 0, false);
  EXPECT_EQ(calls.size(), 4u);
}

TEST(CellColorTableTest, ConcurrentWorkersLeaveOneEntryPerCell) {
  constexpr int kThreads = 4;
  constexpr int kRows = 300;
  CellColorTable table;
  std::atomic<int> callbacks{0};
  table.SetChangeCallback([&](int, int) { callbacks.fetch_add(1); });
  std::atomic<bool> stop{false};
  std::atomic<int> bad_reads{0};

  std::thread painter([&] {
    while (!stop.load()) {
      for (int r = 0; r < kRows; ++r) {
        auto c = table.Lookup(r, 2);
        if (c && c->text != kRed && c->text != kBlue) bad_reads.fetch_add(1);
        if (c && c->back.has_value() && *c->back != kWhite) bad_reads.fetch_add(1);
      }
    }
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      // Every worker fails every row once, in its own order: the same cells from all sides.
      for (int i = 0; i < kRows; ++i) {
        const int row = (i * (t + 1) * 7) % kRows;
        table.SetCellColor(row, 2, t % 2 ? kBlue : kRed, kWhite, t % 2 == 1);
      }
      for (int row = 0; row < kRows; ++row) table.SetCellColor(row, 2, kRed, 0, false);
    });
  }
  for (auto& w : workers) w.join();
  stop.store(true);
  painter.join();

  EXPECT_EQ(table.size(), static_cast<std::size_t>(kRows));
  EXPECT_EQ(bad_reads.load(), 0);
  EXPECT_EQ(callbacks.load(), kThreads * kRows * 2);
  for (int row = 0; row < kRows; ++row) {
    ASSERT_TRUE(table.Lookup(row, 2).has_value()) << row;
    EXPECT_FALSE(table.Lookup(row, 1).has_value()) << row;
  }
}

TEST(CellColorTableTest, ClearRacingWithWritersAndReaders) {
  CellColorTable table;
  std::atomic<bool> stop{false};
  std::atomic<int> bad_reads{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 3000; ++i) table.SetCellColor((i + t) % 50, 2, kRed, 0, false);
    });
  }
  threads.emplace_back([&] {
    while (!stop.load()) {
      if (table.size() > 50) bad_reads.fetch_add(1);
      auto c = table.Lookup(7, 2);
      if (c && (c->text != kRed || c->back.has_value())) bad_reads.fetch_add(1);
    }
  });
  std::thread clearer([&] {
    while (!stop.load()) table.ClearCellColors();
  });
  for (int t = 0; t < 3; ++t) threads[static_cast<std::size_t>(t)].join();
  stop.store(true);
  threads.back().join();
  clearer.join();

  EXPECT_EQ(bad_reads.load(), 0);
  EXPECT_LE(table.size(), 50u);
  table.ClearCellColors();
  EXPECT_EQ(table.size(), 0u);
}

}  // namespace
}  // namespace lumvex
