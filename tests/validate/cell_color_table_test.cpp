#include "validate/cell_color_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/headless_ui_thread.h"
#include "proxylist/proxy_list.h"

namespace lumvex {
namespace {

constexpr std::uint32_t kRed = 0x000000FF;  // 0x00BBGGRR
constexpr std::uint32_t kBlue = 0x00FF0000;
constexpr std::uint32_t kWhite = 0x00FFFFFF;

ProxyEntry Row(const std::string& address) {
  ProxyEntry entry;
  entry.cells[kColAddress] = address;
  entry.cells[kColPort] = "80";
  return entry;
}

// A list of `count` rows named "r0", "r1", ... on a headless UI thread.
struct ColourRig {
  explicit ColourRig(int count) {
    std::vector<ProxyEntry> rows;
    for (int i = 0; i < count; ++i) rows.push_back(Row("r" + std::to_string(i)));
    list.AddRows(std::move(rows));
  }
  // The addresses of the rows whose verdict cell is red, top to bottom.
  std::vector<std::string> RedRows() {
    std::vector<std::string> red;
    for (int row = 0; row < list.ListCount(); ++row) {
      const auto colours = table.Lookup(row, kColType);
      if (colours && colours->text == kRed) red.push_back(list.GetCell(row, kColAddress));
    }
    return red;
  }

  HeadlessUiThread ui;
  ProxyList list{ui};
  CellColorTable table{list};
};

TEST(CellColorTableTest, EntriesAreKeptPerCellAndReplaced) {
  ColourRig rig(10);
  CellColorTable& table = rig.table;
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
  table.SetCellColor(3, 2, kRed, 0, false);
  EXPECT_EQ(*table.Lookup(3, 2), (CellColours{kRed, std::nullopt}));

  table.SetCellColor(0, 0, kRed, 0, false);
  table.SetCellColor(9, 5, kRed, 0, false);
  EXPECT_EQ(table.size(), 3u);

  // Positions that name no cell of the list are not stored.
  for (auto [row, column] : {std::pair{-1, 2}, {2, -1}, {10, 2}, {0, kProxyColumnCount}}) {
    table.SetCellColor(row, column, kRed, 0, false);
    EXPECT_FALSE(table.Lookup(row, column).has_value()) << row << "," << column;
  }
  EXPECT_EQ(table.size(), 3u);

  table.RemoveCellColor(9, 5);
  EXPECT_FALSE(table.Lookup(9, 5).has_value());
  table.ClearCellColors();
  EXPECT_EQ(table.size(), 0u);
  EXPECT_FALSE(table.Lookup(3, 2).has_value());
  EXPECT_FALSE(table.Lookup(0, 0).has_value());
}

// The red of a failed verdict belongs to its proxy, whatever happens to the rows around it.
TEST(CellColorTableTest, ColoursFollowTheirRows) {
  struct Case {
    const char* what;
    std::function<void(ProxyList&)> change;
    std::vector<std::string> red_after;
  };
  const std::vector<Case> cases = {
      {"insert above", [](ProxyList& l) { l.InsertRow(0, "new"); }, {"r1", "r3"}},
      {"insert between", [](ProxyList& l) { l.InsertRow(2, "new"); }, {"r1", "r3"}},
      {"delete above", [](ProxyList& l) { l.DeleteRow(0); }, {"r1", "r3"}},
      {"delete a red row", [](ProxyList& l) { l.DeleteRow(1); }, {"r3"}},
      {"append", [](ProxyList& l) { l.AddRow(Row("new")); }, {"r1", "r3"}},
      {"rows replaced by a cleaning",
       [](ProxyList& l) {
         std::vector<ProxyEntry> kept = l.Snapshot();
         kept.erase(kept.begin());  // r0 goes, as a duplicate would
         l.ReplaceAll(std::move(kept));
       },
       {"r1", "r3"}},
      {"a passing re-check",
       [](ProxyList& l) { l.SetCellAndColours(3, kColType, "成功", {}); },
       {"r1"}},
      {"a failing re-check",
       [](ProxyList& l) {
         l.SetCellAndColours(2, kColType, "失败", CellColours{kRed, {}});
       },
       {"r1", "r2", "r3"}},
      {"list emptied", [](ProxyList& l) { l.DeleteAllRows(); }, {}},
  };
  for (const Case& c : cases) {
    ColourRig rig(5);
    rig.table.SetCellColor(1, kColType, kRed, 0, false);
    rig.table.SetCellColor(3, kColType, kRed, 0, false);
    c.change(rig.list);
    EXPECT_EQ(rig.RedRows(), c.red_after) << c.what;
    // No other cell picked a colour up on the way.
    EXPECT_EQ(rig.table.size(), c.red_after.size()) << c.what;
  }
}

TEST(CellColorTableTest, ConcurrentWorkersLeaveOneEntryPerCell) {
  constexpr int kThreads = 4;
  constexpr int kRows = 300;
  ColourRig rig(kRows);
  CellColorTable& table = rig.table;
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
  for (int row = 0; row < kRows; ++row) {
    ASSERT_TRUE(table.Lookup(row, 2).has_value()) << row;
    EXPECT_FALSE(table.Lookup(row, 1).has_value()) << row;
  }
}

TEST(CellColorTableTest, ClearRacingWithWritersAndReaders) {
  ColourRig rig(50);
  CellColorTable& table = rig.table;
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
