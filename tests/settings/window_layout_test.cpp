// The window's size, place and column widths in the data directory: what is taken back, what
// counts as malformed, and that both values are written in one replacement of the file.
#include "settings/window_layout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "scratch_dir.h"

namespace lumvex {
namespace {

using testing_support::ScratchDir;

TEST(WindowLayoutTest, GeometryText) {
  struct Case {
    const char* text;
    std::optional<WindowGeometry> want;
  };
  const Case cases[] = {
      {"50,50,725,506", WindowGeometry{50, 50, 725, 506}},
      {" -1200 , 0 ,800, 600 ", WindowGeometry{-1200, 0, 800, 600}},  // a screen on the left
      {"0,0,50,50", WindowGeometry{0, 0, 50, 50}},                    // the smallest taken
      {"100000,-100000,100000,100000", WindowGeometry{100000, -100000, 100000, 100000}},
      {"", std::nullopt},
      {"50,50,725", std::nullopt},
      {"50,50,725,506,1", std::nullopt},
      {"50,50,725,,506", std::nullopt},
      {"50,50,725,506,", std::nullopt},
      {"50,50,49,506", std::nullopt},  // too small to grab
      {"50,50,725,0", std::nullopt},
      {"50,50,-725,506", std::nullopt},
      {"100001,50,725,506", std::nullopt},
      {"50,50,725.5,506", std::nullopt},
      {"+50,50,725,506", std::nullopt},
      {"50,50,725,99999999999999999999", std::nullopt},  // would overflow
      {"a,b,c,d", std::nullopt},
      {"50 50 725 506", std::nullopt},
      {"５０,50,725,506", std::nullopt},  // full-width digits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseWindowGeometry(c.text), c.want);
  }
  EXPECT_EQ(FormatWindowGeometry({-8, 30, 725, 506}), "-8,30,725,506");
}

TEST(WindowLayoutTest, ColumnWidthText) {
  struct Case {
    std::string text;
    std::vector<int> want;  // empty: the defaults
  };
  const Case cases[] = {
      {"150,50,50,60,153,100,60,50", {150, 50, 50, 60, 153, 100, 60, 50}},
      {"1, 4000", {1, 4000}},
      {"", {}},
      {"150,0,50", {}},
      {"150,4001,50", {}},
      {"150,-5,50", {}},
      {"150,,50", {}},
      {"150,50,", {}},
      {"150;50", {}},
      {"7", {7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseColumnWidths(c.text), c.want);
  }
  // More columns than any list has is no list's widths.
  std::string many = "10";
  for (int i = 1; i < 65; ++i) many += ",10";
  EXPECT_TRUE(ParseColumnWidths(many).empty());
  EXPECT_EQ(FormatColumnWidths({150, 50, 7}), "150,50,7");
}

TEST(WindowLayoutTest, KeptAcrossRunsInOneFile) {
  ScratchDir dir;
  const Settings settings{DataDir(dir.File("data"))};
  // No file: the defaults, and reading creates nothing.
  const WindowLayout none = ReadWindowLayout(settings);
  EXPECT_EQ(none.geometry, std::nullopt);
  EXPECT_TRUE(none.column_widths.empty());
  EXPECT_FALSE(DirectoryExists(dir.File("data")));

  WindowLayout layout;
  layout.geometry = WindowGeometry{-20, 40, 900, 640};
  layout.column_widths = {120, 48, 70, 60, 180, 64, 60, 50};
  ASSERT_TRUE(WriteWindowLayout(settings, layout));
  EXPECT_EQ(ReadWholeFile(dir.File("data/window")),
            "[window]\r\ngeometry=-20,40,900,640\r\ncolumns=120,48,70,60,180,64,60,50\r\n");
  const WindowLayout back = ReadWindowLayout(settings);
  EXPECT_EQ(back.geometry, layout.geometry);
  EXPECT_EQ(back.column_widths, layout.column_widths);

  // A hand edit that broke one value loses that value only; other lines stay as they were.
  std::ofstream(dir.File("data/window"), std::ios::binary | std::ios::trunc)
      << "; kept\r\n[window]\r\ngeometry=-20,40,900\r\ncolumns=120,48,70,60,180,64,60,50\r\n";
  const WindowLayout half = ReadWindowLayout(settings);
  EXPECT_EQ(half.geometry, std::nullopt);
  EXPECT_EQ(half.column_widths, layout.column_widths);
  layout.column_widths = {};
  ASSERT_TRUE(WriteWindowLayout(settings, layout));
  EXPECT_EQ(ReadWholeFile(dir.File("data/window")),
            "; kept\r\n[window]\r\ngeometry=-20,40,900,640\r\ncolumns=\r\n");
}

TEST(WindowLayoutTest, UnreadableFileIsLeftAlone) {
  ScratchDir dir;
  const Settings settings{DataDir(dir.path())};
  // A directory where the file should be: nothing is read, nothing is written over it.
  ASSERT_TRUE(EnsureDirectory(dir.File("window")));
  EXPECT_EQ(ReadWindowLayout(settings).geometry, std::nullopt);
  WindowLayout layout;
  layout.geometry = WindowGeometry{0, 0, 725, 506};
  EXPECT_FALSE(WriteWindowLayout(settings, layout));
  EXPECT_TRUE(DirectoryExists(dir.File("window")));
}

}  // namespace
}  // namespace lumvex
