// Turning, shifting, straightening and cropping pictures; their reduction for the screen by area
// averaging, each output pixel the exact mean of what it covers; the viewer's layout; the printed
// rectangle; and the file commands shared by both picture windows, against fake dialogs and a
// recording printer. The common cases go through the windows in their tests; here the edges.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/AreaAverage.h"
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
  for (int i = 0; i < w * h; ++i) b.Data()[i] = At(i % w, i / w);
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
  const std::tuple<int, int, int, int, bool, const char*> shears[] = {{2, 0, 4, 4, true, "01122"},
                                                                      {4, 4, 2, 0, true, "88990"},
                                                                      {3, 0, 3, 4, true, "00000"},
                                                                      {1, 2, 5, 2, false, "00000"}};
  for (const auto& [x1, y1, x2, y2, sheared, starts] : shears) {
    p = Numbered(10, 5);
    EXPECT_EQ(ShearRows(p, x1, y1, x2, y2), sheared);
    Pixels rows;  // what leaves on the left comes in on the right
    for (int i = 0; i < 50; ++i) rows.push_back(At((starts[i / 10] - '0' + i) % 10, i / 10));
    EXPECT_EQ(All(p), rows) << x1 << "," << y1;
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
  // A 905 x 600 client shows 818 columns, 2250 x 818 / 1810 = 1016 rows. Without the panel the
  // offset is kept although it cannot be scrolled there; once the whole picture fits, from its
  // top again. (Scrolled to the end, in the viewer's window test.)
  ViewerLayout l = LayOutViewer(250, 200, 1810, 2250, -40);
  EXPECT_EQ(std::tuple(l.PanelVisible, l.Right, l.Top), std::tuple(false, 250, -40));
  l = LayOutViewer(905, 1100, 1810, 2250, -300);
  EXPECT_EQ(std::tuple(l.Top, l.Bottom, l.ScrollMax), std::tuple(0, 1016, 0));
  EXPECT_FALSE(LayOutViewer(905, 600, 1810, 0, 0).Paint);
  EXPECT_EQ(LayOutViewer(905, 600, 0, 5, 0).Bottom, 5 * 818);  // no division by zero
  // The rest of the printed area is worked out in the windows' print tests.
  EXPECT_EQ(PrintedArea(0, 0, 1000, 1000).Height, 0);
}

using Greys = std::vector<int>;

// A picture `width` pixels wide of the greys `g`, row by row.
Bitmap Grey(int width, const Greys& g) {
  Bitmap picture(width, static_cast<int>(g.size()) / width);
  for (std::size_t i = 0; i < g.size(); ++i) picture.Data()[i] = GreyColour(g[i]);
  return picture;
}

// Rows first..end-1 (of them columns left..right-1) reduced to `width` x `height`; the others
// keep the buffer's 7.
Greys Reduce(const Bitmap& picture, int width, int height, int first = 0, int end = 1 << 30,
             int left = 0, int right = 1 << 30) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width * height), 7);
  AreaAverage(picture, width, height, first, end, out.data(), width, left, right);
  return {out.begin(), out.end()};
}

TEST(AreaAverage, EachPixelTheMeanOfWhatItCovers) {
  const struct {
    const char* Case;
    Bitmap Picture;
    int Width, Height;
    Greys Expected;
  } cases[] = {
      // A black line one pixel wide on white, 3:1: a third of the way to black, not gone.
      {"thin line 3:1", Grey(6, {255, 0, 255, 255, 255, 255}), 2, 1, {170, 255}},
      // 2 x 2 regions: (10 + 20 + 30 + 41) / 4 = 25.25, (1 + 2 + 3 + 4) / 4 = 2.5 rounds up.
      {"2x2", Grey(4, {10, 20, 1, 2, 30, 41, 3, 4, 9, 9, 0, 0, 9, 9, 0, 2}), 2, 2, {25, 3, 9, 1}},
      // 5 onto 2: the middle column (row) is cut in half, each half counting in its own pixel.
      {"5:2 columns", Grey(5, {0, 0, 100, 200, 200}), 2, 1, {20, 180}},
      {"5:2 rows", Grey(1, {0, 0, 100, 200, 200}), 1, 2, {20, 180}},
      // 3 onto 2 both ways: the middle row and column are shared; (4 x 90 + 2 x 0 ...) / 2.25.
      {"3:2 corner", Grey(3, {90, 90, 0, 90, 90, 0, 0, 0, 0}), 2, 2, {90, 30, 30, 10}},
      // 7 onto 3: the middle pixel shares a column with each neighbour; 660 / 7 = 94.3.
      {"7:3 columns", Grey(7, {0, 0, 210, 60, 30, 0, 0}), 3, 1, {30, 94, 4}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Reduce(c.Picture, c.Width, c.Height), c.Expected) << c.Case;
    if (c.Width == 1) continue;
    // Output column 1 alone: the same value, from the same shares of the columns it cuts.
    Greys column(c.Expected.size(), 7);
    for (std::size_t i = 1; i < column.size(); i += c.Width) column[i] = c.Expected[i];
    EXPECT_EQ(Reduce(c.Picture, c.Width, c.Height, 0, 1 << 30, 1, 2), column) << c.Case;
  }
  // A colour's grey: (0 + 0 + 255) / 3 and (255 + 0 + 0) / 3. Rows 1 and 2 of four only.
  Bitmap colour(2, 1);
  colour.SetPixel(0, 0, 0x0000FF);
  colour.SetPixel(1, 0, 0xFF0000);
  EXPECT_EQ(Reduce(colour, 1, 1), Greys{85});
  EXPECT_EQ(Reduce(Grey(1, {10, 20, 30, 40}), 1, 4, 1, 3), (Greys{7, 20, 30, 7}));
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
  const auto load = [](const std::string&) { ADD_FAILURE() << "loaded on Cancel"; };
  EXPECT_FALSE(ViewPictureFile(dialogs, memory, true, load));
  folder[0] = '\0';
  SetProgramFolder(dir.Path());
  ViewPictureFile(dialogs, memory, false, load);
  std::filesystem::create_directory(dir.File("Auto"));
  ViewPictureFile(dialogs, memory, false, load);
  SetProgramFolder("");
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
