// Turning, shifting and cropping pictures; the viewer's layout; the printed rectangle; and the
// file commands shared by both picture windows, against fake dialogs and a recording printer.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <tuple>

#include "platform/BmpCodec.h"
#include "platform/PlatformError.h"
#include "platform/ProgramFolder.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"
#include "viewer/PictureCommands.h"
#include "viewer/PictureOps.h"

namespace zarvo {
namespace {

using Pixels = std::vector<std::uint32_t>;

// Every pixel tells where it came from: column c, row r holds At(c, r).
constexpr std::uint32_t At(int c, int r) {
  return static_cast<std::uint32_t>(r << 12 | c);
}
Bitmap Numbered(int w, int h) {
  Bitmap b(w, h);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) b.SetPixel(c, r, At(c, r));
  return b;
}
Pixels All(const Bitmap& b) {
  return {b.Data(), b.Data() + b.Width() * b.Height()};
}
// The pixels at the given points, (column, row) each.
Pixels Read(const Bitmap& b, std::initializer_list<std::pair<int, int>> points) {
  Pixels p;
  for (const auto& [c, r] : points) p.push_back(b.Pixel(c, r));
  return p;
}

TEST(PictureOps, QuarterTurns) {
  // a b c    left:  c f    right:  d a
  // d e f           b e            e b
  //                 a d            f c
  Bitmap p = Numbered(3, 2);
  RotateLeft(p);
  EXPECT_EQ(std::pair(p.Width(), p.Height()), std::pair(2, 3));
  EXPECT_EQ(All(p), (Pixels{At(2, 0), At(2, 1), At(1, 0), At(1, 1), At(0, 0), At(0, 1)}));
  p = Numbered(3, 2);
  RotateRight(p);
  EXPECT_EQ(All(p), (Pixels{At(0, 1), At(0, 0), At(1, 1), At(1, 0), At(2, 1), At(2, 0)}));

  // A fax-sized picture, redrawn every 16 source rows as it turns, and back.
  const Bitmap fax = Numbered(1810, 1200);
  Bitmap turned = fax;
  std::vector<int> redraws;
  RotateLeft(turned, [&](int row) { redraws.push_back(row); });
  EXPECT_EQ(std::pair(turned.Width(), turned.Height()), std::pair(1200, 1810));
  EXPECT_EQ(turned.Pixel(0, 0), At(1809, 0));
  EXPECT_EQ(redraws.size(), 75u);  // rows 0, 16, ..., 1184
  EXPECT_EQ(redraws.back(), 1184);
  RotateRight(turned);
  EXPECT_TRUE(All(turned) == All(fax));

  Bitmap empty(10, 0);
  RotateLeft(empty);
  EXPECT_EQ(std::pair(empty.Width(), empty.Height()), std::pair(0, 10));
}

TEST(PictureOps, LeftBorderIsACyclicShift) {
  Bitmap p = Numbered(1810, 3);
  EXPECT_EQ(ShiftLeftBorder(p, 0), 0);
  EXPECT_TRUE(All(p) == All(Numbered(1810, 3)));
  ShiftLeftBorder(p, 100);
  EXPECT_EQ(Read(p, {{0, 1}, {1709, 1}, {1710, 1}, {1809, 2}}),
            (Pixels{At(100, 1), At(1809, 1), At(0, 1), At(99, 2)}));
  // Right of the picture (the strip beside it): the last column becomes the edge.
  Bitmap q = Numbered(4, 1);
  ShiftLeftBorder(q, 9);
  EXPECT_EQ(All(q), (Pixels{3, 0, 1, 2}));
  Bitmap none;
  ShiftLeftBorder(none, 5);

  // The reception window's mark: only the rows received so far move, and the shift is returned
  // so that the line being written moves with them.
  Bitmap r = Numbered(1810, 600);
  EXPECT_EQ(ShiftLeftBorder(r, 100, 500), 100);
  EXPECT_EQ(Read(r, {{0, 0}, {1709, 499}, {1809, 0}, {0, 500}}),
            (Pixels{At(100, 0), At(1809, 499), At(99, 0), At(0, 500)}));
  // The strip right of the picture takes its last column; no rows: nothing moves.
  EXPECT_EQ(ShiftLeftBorder(r, 5000, 1), 1809);
  EXPECT_EQ(ShiftLeftBorder(r, 50, -3), 50);
  EXPECT_EQ(Read(r, {{0, 0}, {0, 499}}), (Pixels{At(99, 0), At(100, 499)}));
}

TEST(PictureOps, LowerBorderCropsAndGrows) {
  Bitmap p = Numbered(5, 4);
  CropLowerBorder(p, 2);
  EXPECT_EQ(std::tuple(p.Width(), p.Height(), p.Pixel(4, 1)), std::tuple(5, 2, At(4, 1)));
  CropLowerBorder(p, 0);
  EXPECT_EQ(std::pair(p.Width(), p.Height()), std::pair(5, 0));
  // Below the picture it grows, the new rows blank paper.
  Bitmap q = Numbered(1, 1);
  CropLowerBorder(q, 3);
  EXPECT_EQ(All(q), (Pixels{At(0, 0), 0xFFFFFF, 0xFFFFFF}));
}

TEST(PictureOps, ClickedPixelAndTheDetailedViewsPart) {
  // A 400 x 300 view of a whole fax, kept inside it.
  const std::tuple<int, int, int, int> cases[] = {
      {1809, 2249, 1410, 1950}, {0, 0, 0, 0}, {900, 1000, 700, 850}};
  for (const auto& [x, y, left, top] : cases) {
    int l, t;
    DetailOrigin(x, y, 400, 300, 1810, 2250, l, t);
    EXPECT_EQ(std::pair(l, t), std::pair(left, top)) << x << "," << y;
  }
  EXPECT_EQ(PictureColumn(905, 905, 1810), 1810);
  EXPECT_EQ(PictureRow(10, -100, 905, 1810), 220);
}

TEST(ViewerLayout, ScaledToTheWidthAndScrolled) {
  // 905 x 600 client, a whole fax: 818 columns of picture, 2250 x 818 / 1810 = 1016 rows.
  ViewerLayout l = LayOutViewer(905, 600, 1810, 2250, 0);
  EXPECT_EQ(std::tuple(l.Paint, l.PanelVisible, l.Right, l.Bottom, l.ScrollLargeStep, l.ScrollMax),
            std::tuple(true, true, 818, 1016, 599, 417));
  // Scrolled to the end, the picture ends one pixel above the window's bottom edge.
  l = LayOutViewer(905, 600, 1810, 2250, -417);
  EXPECT_EQ(std::pair(l.Top, l.Bottom), std::pair(-417, 599));
  // No panel; the offset is kept although it cannot be scrolled there.
  l = LayOutViewer(250, 200, 1810, 2250, -40);
  EXPECT_EQ(std::tuple(l.PanelVisible, l.Right, l.Top), std::tuple(false, 250, -40));
  // The window grew until the whole picture fits: from its top again.
  l = LayOutViewer(905, 1100, 1810, 2250, -300);
  EXPECT_EQ(std::tuple(l.Top, l.Bottom, l.ScrollMax), std::tuple(0, 1016, 0));
  EXPECT_FALSE(LayOutViewer(905, 600, 1810, 0, 0).Paint);
  EXPECT_EQ(LayOutViewer(905, 600, 0, 5, 0).Bottom, 5 * 818);  // no division by zero
}

// By the width on a portrait page, the bottom staying empty; by the height on a landscape one;
// 2250 x 1000 / 1810 = 1243.09 cut, not rounded; nothing for an empty picture.
TEST(PrintedArea, SmallerRatioWins) {
  const std::tuple<int, int, int, int, int, int> cases[] = {{2000, 1000, 4000, 6000, 4000, 2000},
                                                            {1810, 2250, 6000, 4500, 3620, 4500},
                                                            {1810, 2250, 1000, 9000, 1000, 1243},
                                                            {1810, 0, 1000, 1000, 0, 0},
                                                            {0, 0, 1000, 1000, 0, 0}};
  for (const auto& [w, h, pageW, pageH, width, height] : cases) {
    const PrintArea a = PrintedArea(w, h, pageW, pageH);
    EXPECT_EQ(std::pair(a.Width, a.Height), std::pair(width, height)) << w << "x" << h;
  }
}

TEST(ViewerTexts, CaptionAndFolder) {
  EXPECT_EQ(ViewCaption("/home/sea/Auto/Fax 261207 Mon 0830.bmp"), "View Fax 261207 Mon 0830.bmp");
  EXPECT_EQ(ViewCaption("C:\\Faxes\\one.bmp"), "View one.bmp");
  EXPECT_EQ(ViewCaption("bare.bmp"), "View bare.bmp");
  char field[16];
  std::memset(field, 'x', sizeof field);
  // Fifteen characters and the NUL fit; sixteen do not, and the old folder stays.
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"/tmp/faxes/a.bmp", true, "/tmp/faxes"},
      {"/a.bmp", true, "/"},
      {"/abcdefghijklmn/a.bmp", true, "/abcdefghijklmn"},
      {"/abcdefghijklmno/a.bmp", false, "/abcdefghijklmn"}};
  for (const auto& [file, stored, folder] : cases) {
    EXPECT_EQ(StoreDialogFolder(file, field, sizeof field), stored) << file;
    EXPECT_STREQ(field, folder);
  }
}

class PictureCommandsTest : public ::testing::Test {
 protected:
  test::FakeFileDialogs dialogs;
  test::FakePrinter printer;
  test::TempDir dir;
  char folder[256] = "/start/here";
  DialogMemory memory{{}, folder, sizeof folder};
};

// The folder and the name are taken once the file is written; the rows are counted then, as a
// picture being received grows while the dialog is open.
TEST_F(PictureCommandsTest, SaveWritesTheRowsHeldWhenWrittenAndRemembersWhere) {
  const Bitmap picture(5, 4, GreyColour(200));
  int rows = 1;
  EXPECT_FALSE(SavePicture(dialogs, memory, picture, [&] { return rows; }));  // Cancel
  EXPECT_STREQ(folder, "/start/here");
  dialogs.SaveAnswer = dir.File("part.bmp");
  dialogs.WhileOpen = [&] { rows = 3; };
  ASSERT_TRUE(SavePicture(dialogs, memory, picture, [&] { return rows; }));
  EXPECT_EQ(ReadBmpFile(dir.File("part.bmp")).Height(), 3);
  EXPECT_EQ(folder, dir.Path());
  // A save that fails leaves the folder.
  dialogs.SaveAnswer = dir.File("missing/x.bmp");
  try {
    SavePicture(dialogs, memory, picture, [] { return 3; });
    ADD_FAILURE() << "no error";
  } catch (const PlatformError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir.File("missing/x.bmp"));
  }
  EXPECT_EQ(folder, dir.Path());
  ASSERT_EQ(dialogs.Saves.size(), 3u);
  EXPECT_EQ(dialogs.Saves[0].Folder, "/start/here");
  EXPECT_EQ(std::pair(dialogs.Saves[2].Folder, dialogs.Saves[2].FileName),
            std::pair(dir.Path(), dir.File("part.bmp")));
}

TEST_F(PictureCommandsTest, ViewLoadsTheFirstOfSeveralFiles) {
  std::vector<std::string> loaded;
  const auto load = [&](const std::string& f) { loaded.push_back(f); };
  EXPECT_FALSE(ViewPictureFile(dialogs, memory, true, load));
  EXPECT_TRUE(loaded.empty());
  dialogs.OpenAnswer = {"/faxes/a.bmp", "/faxes/b.bmp", "/faxes/c.bmp"};
  EXPECT_TRUE(ViewPictureFile(dialogs, memory, false, load));
  EXPECT_EQ(loaded, std::vector<std::string>{"/faxes/a.bmp"});
  EXPECT_STREQ(folder, "/faxes");
  // A file that does not load: the folder is not taken.
  dialogs.OpenAnswer = {"/elsewhere/bad.bmp"};
  EXPECT_THROW(
      ViewPictureFile(dialogs, memory, false,
                      [](const std::string&) { throw PlatformError("Stream read error"); }),
      PlatformError);
  EXPECT_STREQ(folder, "/faxes");
  // With no folder yet, the dialog opens beside the program, or in its Auto folder once there is
  // one.
  folder[0] = '\0';
  dialogs.OpenAnswer.clear();
  SetProgramFolder(dir.Path());
  ViewPictureFile(dialogs, memory, false, load);
  std::filesystem::create_directory(dir.File("Auto"));
  ViewPictureFile(dialogs, memory, false, load);
  SetProgramFolder("");
  ASSERT_EQ(dialogs.Opens.size(), 5u);
  EXPECT_TRUE(dialogs.Opens[0].DefaultExtension);
  EXPECT_EQ(dialogs.Opens[3].Folder, dir.Path() + "/");
  EXPECT_EQ(dialogs.Opens[4].Folder, dir.File("Auto"));
}

TEST_F(PictureCommandsTest, PrintScalesToThePageWithTheReceptionFooter) {
  printer.Width = 6000;  // landscape
  printer.Height = 4500;
  using Calls = std::vector<std::string>;
  const std::tuple<Bitmap, bool, bool, Calls> cases[] = {
      {Bitmap(1810, 2250),
       true,
       true,
       {"choose", "begin Zarvo Meteo", "picture 1810x2250 into 3620x4500",
        "text 0,4400 10pt Zarvo Meteo", "end"}},
      {Bitmap(1810, 0), false, true, {"choose", "begin Zarvo Meteo", "end"}},
      {Bitmap(1810, 2250), false, false, {"choose"}}};  // Cancel
  for (const auto& [picture, footer, accept, calls] : cases) {
    printer.Calls.clear();
    printer.Accept = accept;
    EXPECT_EQ(PrintPicture(printer, picture, footer), accept);
    EXPECT_EQ(printer.Calls, calls);
  }
}

}  // namespace
}  // namespace zarvo
