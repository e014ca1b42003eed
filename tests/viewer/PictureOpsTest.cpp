// Turning, shifting, straightening and cropping pictures; the viewer's layout; the printed
// rectangle; and the file commands shared by both picture windows, against fake dialogs and a
// recording printer. The common cases go through the windows in InVideoTest; here the edges.
#include <gtest/gtest.h>

#include <filesystem>
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

TEST(PictureOps, TurnsShiftsAndCrops) {
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
  Bitmap empty(10, 0), none;
  RotateLeft(empty);
  ShiftLeftBorder(none, 5);
  EXPECT_EQ(std::pair(empty.Width(), empty.Height()), std::pair(0, 10));

  // Right of the picture (the strip beside it): the last column becomes the edge. The reception
  // window's mark moves only the rows received so far.
  p = Numbered(4, 2);
  EXPECT_EQ(ShiftLeftBorder(p, 9, 1), 3);
  EXPECT_EQ(All(p), (Pixels{At(3, 0), At(0, 0), At(1, 0), At(2, 0), At(0, 1), At(1, 1), At(2, 1),
                            At(3, 1)}));
  EXPECT_EQ(ShiftLeftBorder(p, 2, -3), 2);  // no rows: nothing moves
  EXPECT_EQ(p.Pixel(0, 0), At(3, 0));

  // Straightening a 10 x 5 picture: the source column each row starts with. From (2,0) to (4,4)
  // rows move left by 0, 0.5, 1, 1.5, 2, halves rounded away from zero; the same points the
  // other way round move the rows above the first point right. One column or one row: no move.
  for (const auto& [x1, y1, x2, y2, sheared, starts] :
       {std::tuple{2, 0, 4, 4, true, std::vector{0, 1, 1, 2, 2}},
        {4, 4, 2, 0, true, std::vector{8, 8, 9, 9, 0}},
        {3, 0, 3, 4, true, std::vector{0, 0, 0, 0, 0}},
        {1, 2, 5, 2, false, std::vector{0, 0, 0, 0, 0}}}) {
    p = Numbered(10, 5);
    EXPECT_EQ(ShearRows(p, x1, y1, x2, y2), sheared);
    for (int r = 0; r < 5; ++r)  // what leaves on the left comes in on the right
      EXPECT_EQ(std::pair(p.Pixel(0, r), p.Pixel(9, r)),
                std::pair(At(starts[r], r), At((starts[r] + 9) % 10, r)))
          << x1 << "," << y1 << " row " << r;
  }

  // Below the picture the crop grows it, the new rows blank paper.
  p = Numbered(1, 1);
  CropLowerBorder(p, 3);
  EXPECT_EQ(All(p), (Pixels{At(0, 0), 0xFFFFFF, 0xFFFFFF}));
  CropLowerBorder(p, 0);
  EXPECT_EQ(std::pair(p.Width(), p.Height()), std::pair(1, 0));
}

TEST(PictureOps, DetailLayoutAndPrintedArea) {
  // A 400 x 300 detailed view of a whole fax, kept inside it.
  for (const auto& [x, y, left, top] :
       {std::tuple{1809, 2249, 1410, 1950}, {0, 0, 0, 0}, {900, 1000, 700, 850}}) {
    int l, t;
    DetailOrigin(x, y, 400, 300, 1810, 2250, l, t);
    EXPECT_EQ(std::pair(l, t), std::pair(left, top)) << x << "," << y;
  }
  // A 905 x 600 client shows 818 columns, 2250 x 818 / 1810 = 1016 rows; scrolled to the end,
  // the picture ends one pixel above the window's bottom edge. Without the panel the offset is
  // kept although it cannot be scrolled there; once the whole picture fits, from its top again.
  ViewerLayout l = LayOutViewer(905, 600, 1810, 2250, -417);
  EXPECT_EQ(std::tuple(l.Top, l.Bottom, l.ScrollMax), std::tuple(-417, 599, 417));
  l = LayOutViewer(250, 200, 1810, 2250, -40);
  EXPECT_EQ(std::tuple(l.PanelVisible, l.Right, l.Top), std::tuple(false, 250, -40));
  l = LayOutViewer(905, 1100, 1810, 2250, -300);
  EXPECT_EQ(std::tuple(l.Top, l.Bottom, l.ScrollMax), std::tuple(0, 1016, 0));
  EXPECT_FALSE(LayOutViewer(905, 600, 1810, 0, 0).Paint);
  EXPECT_EQ(LayOutViewer(905, 600, 0, 5, 0).Bottom, 5 * 818);  // no division by zero
  // The rest of the printed area is worked out in the windows' print tests.
  EXPECT_EQ(PrintedArea(0, 0, 1000, 1000).Height, 0);
}

TEST(ViewerTexts, DialogFolder) {
  char field[16] = "xxxxxxxxxxxxxxx";
  // Fifteen characters and the NUL fit; sixteen do not, and the old folder stays.
  for (const auto& [file, stored, folder] :
       {std::tuple{"/a.bmp", true, "/"},
        {"/abcdefghijklmn/a.bmp", true, "/abcdefghijklmn"},
        {"/abcdefghijklmno/a.bmp", false, "/abcdefghijklmn"}}) {
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

// The folder is taken once the file is written: not on Cancel, nor from a save that fails.
// The dialog offers the folder and the name last chosen.
TEST_F(PictureCommandsTest, SaveKeepsTheFolderUntilTheFileIsWritten) {
  const Bitmap picture(5, 4, GreyColour(200));
  const auto save = [&] { return SavePicture(dialogs, memory, picture, [] { return 3; }); };
  EXPECT_FALSE(save());
  dialogs.SaveAnswer = dir.File("part.bmp");
  ASSERT_TRUE(save());
  EXPECT_EQ(ReadBmpFile(dir.File("part.bmp")).Height(), 3);
  dialogs.SaveAnswer = dir.File("missing/x.bmp");
  EXPECT_THROW(save(), PlatformError);  // its text is the writer's, worked in PictureFileTest
  EXPECT_EQ(folder, dir.Path());
  ASSERT_EQ(dialogs.Saves.size(), 3u);  // the second dialog still offered the first folder
  EXPECT_EQ(std::tuple(dialogs.Saves[1].Folder, dialogs.Saves[2].Folder, dialogs.Saves[2].FileName),
            std::tuple("/start/here", dir.Path(), dir.File("part.bmp")));
}

// Cancel loads nothing. With no folder yet, the dialog opens beside the program, or in its Auto
// folder once there is one.
TEST_F(PictureCommandsTest, ViewOpensBesideTheProgramOrInAuto) {
  int loads = 0;
  const auto load = [&](const std::string&) { ++loads; };
  EXPECT_FALSE(ViewPictureFile(dialogs, memory, true, load));
  folder[0] = '\0';
  SetProgramFolder(dir.Path());
  ViewPictureFile(dialogs, memory, false, load);
  std::filesystem::create_directory(dir.File("Auto"));
  ViewPictureFile(dialogs, memory, false, load);
  SetProgramFolder("");
  EXPECT_EQ(loads, 0);
  ASSERT_EQ(dialogs.Opens.size(), 3u);
  EXPECT_EQ(std::pair(dialogs.Opens[1].Folder, dialogs.Opens[2].Folder),
            std::pair(dir.Path() + "/", dir.File("Auto")));
}

TEST_F(PictureCommandsTest, NothingPrintedOnCancelOrForAnEmptyPicture) {
  EXPECT_TRUE(PrintPicture(printer, Bitmap(1810, 0), false));
  printer.Accept = false;
  EXPECT_FALSE(PrintPicture(printer, Bitmap(1810, 2250), true));
  EXPECT_EQ(printer.Calls,
            (std::vector<std::string>{"choose", "begin Zarvo Meteo", "end", "choose"}));
}

}  // namespace
}  // namespace zarvo
