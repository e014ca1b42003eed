// Turning, shifting and cropping pictures; the viewer's layout; the printed rectangle; and the
// file commands shared by both picture windows, against fake dialogs and a recording printer.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/BmpCodec.h"
#include "platform/PlatformError.h"
#include "platform/ProgramFolder.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"
#include "viewer/PictureCommands.h"
#include "viewer/PictureOps.h"

namespace zarvo {
namespace {

// Every pixel tells where it came from: column c, row r holds (r << 12) | c.
Bitmap Numbered(int w, int h) {
  Bitmap b(w, h);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) b.SetPixel(c, r, static_cast<std::uint32_t>(r << 12 | c));
  return b;
}

TEST(PictureOps, QuarterTurns) {
  // A 3 x 2 picture
  //   a b c          left:  c f      right:  d a
  //   d e f                 b e              e b
  //                         a d              f c
  Bitmap p = Numbered(3, 2);
  const std::uint32_t a = 0, b = 1, c = 2, d = 1 << 12, e = (1 << 12) | 1, f = (1 << 12) | 2;
  RotateLeft(p);
  ASSERT_EQ(p.Width(), 2);
  ASSERT_EQ(p.Height(), 3);
  EXPECT_EQ(std::vector<std::uint32_t>(p.Data(), p.Data() + 6),
            (std::vector<std::uint32_t>{c, f, b, e, a, d}));
  p = Numbered(3, 2);
  RotateRight(p);
  EXPECT_EQ(std::vector<std::uint32_t>(p.Data(), p.Data() + 6),
            (std::vector<std::uint32_t>{d, a, e, b, f, c}));

  // A fax-sized picture: the old top-right corner becomes the top-left one, and back.
  const Bitmap fax = Numbered(1810, 1200);
  Bitmap turned = fax;
  std::vector<int> redraws;
  RotateLeft(turned, [&](int row) { redraws.push_back(row); });
  EXPECT_EQ(turned.Width(), 1200);
  EXPECT_EQ(turned.Height(), 1810);
  EXPECT_EQ(turned.Pixel(0, 0), fax.Pixel(1809, 0));
  EXPECT_EQ(redraws.size(), 75u);  // rows 0, 16, ..., 1184
  EXPECT_EQ(redraws.back(), 1184);
  RotateRight(turned);
  EXPECT_TRUE(std::equal(turned.Data(), turned.Data() + 1810 * 1200, fax.Data()));

  Bitmap four = Numbered(7, 5);
  for (int i = 0; i < 4; ++i) RotateRight(four);
  EXPECT_TRUE(std::equal(four.Data(), four.Data() + 35, Numbered(7, 5).Data()));

  Bitmap empty(10, 0);
  RotateLeft(empty);
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_EQ(empty.Height(), 10);
}

TEST(PictureOps, LeftBorderIsACyclicShift) {
  Bitmap p = Numbered(1810, 3);
  ShiftLeftBorder(p, 0);
  EXPECT_EQ(p.Pixel(0, 2), Numbered(1810, 3).Pixel(0, 2));
  ShiftLeftBorder(p, 100);
  EXPECT_EQ(p.Pixel(0, 1), (1u << 12) | 100);
  EXPECT_EQ(p.Pixel(1709, 1), (1u << 12) | 1809);
  EXPECT_EQ(p.Pixel(1710, 1), (1u << 12) | 0);
  EXPECT_EQ(p.Pixel(1809, 2), (2u << 12) | 99);

  // Right of the picture (the strip beside it): the last column becomes the edge.
  Bitmap q = Numbered(4, 1);
  ShiftLeftBorder(q, 9);
  EXPECT_EQ(std::vector<std::uint32_t>(q.Data(), q.Data() + 4),
            (std::vector<std::uint32_t>{3, 0, 1, 2}));
  Bitmap none;
  ShiftLeftBorder(none, 5);
}

// The reception window's mark: only the rows received so far move, and the line being written
// moves with them.
TEST(PictureOps, LeftBorderShiftOfTheReceivedRows) {
  Bitmap picture(1810, 2250, 0);
  for (int y = 0; y < 2250; y += 499)
    for (int x = 0; x < 1810; ++x) picture.SetPixel(x, y, static_cast<std::uint32_t>(x));
  EXPECT_EQ(ShiftLeftBorder(picture, 0, 500), 0);  // at column 0 nothing changes
  EXPECT_EQ(picture.Pixel(5, 0), 5u);

  EXPECT_EQ(ShiftLeftBorder(picture, 100, 500), 100);
  EXPECT_EQ(picture.Pixel(0, 0), 100u);
  EXPECT_EQ(picture.Pixel(1709, 499), 1809u);
  EXPECT_EQ(picture.Pixel(1710, 499), 0u);
  EXPECT_EQ(picture.Pixel(1809, 0), 99u);
  EXPECT_EQ(picture.Pixel(0, 998), 0u);  // rows from SaveHeight down stay

  // A click in the strip right of the picture takes its last column; nothing outside is read.
  EXPECT_EQ(ShiftLeftBorder(picture, 5000, 1), 1809);
  EXPECT_EQ(picture.Pixel(0, 0), (100u + 1809u) % 1810u);
  EXPECT_EQ(picture.Pixel(0, 499), 100u);
  EXPECT_EQ(ShiftLeftBorder(picture, 50, -3), 50);  // no rows: nothing moves
  EXPECT_EQ(picture.Pixel(0, 0), (100u + 1809u) % 1810u);
}

TEST(PictureOps, ClickedPixelAndTheDetailedViewsPart) {
  int left, top;
  DetailOrigin(1809, 2249, 400, 300, 1810, 2250, left, top);
  EXPECT_EQ(left, 1410);
  EXPECT_EQ(top, 1950);
  DetailOrigin(0, 0, 400, 300, 1810, 2250, left, top);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(top, 0);
  DetailOrigin(900, 1000, 400, 300, 1810, 2250, left, top);
  EXPECT_EQ(left, 700);
  EXPECT_EQ(top, 850);
  EXPECT_EQ(PictureColumn(905, 905, 1810), 1810);
  EXPECT_EQ(PictureRow(10, -100, 905, 1810), 220);
}

TEST(PictureOps, LowerBorderCrops) {
  Bitmap p = Numbered(5, 4);
  CropLowerBorder(p, 2);
  ASSERT_EQ(p.Height(), 2);
  EXPECT_EQ(p.Width(), 5);
  EXPECT_EQ(p.Pixel(4, 1), (1u << 12) | 4);
  CropLowerBorder(p, 0);
  EXPECT_EQ(p.Height(), 0);
  EXPECT_EQ(p.Width(), 5);

  // Below the picture it grows, the new rows blank paper.
  Bitmap q = Numbered(2, 1);
  CropLowerBorder(q, 3);
  ASSERT_EQ(q.Height(), 3);
  EXPECT_EQ(q.Pixel(1, 0), 1u);
  EXPECT_EQ(q.Pixel(1, 2), 0xFFFFFFu);
}

TEST(ViewerLayout, ScaledToTheWidthAndScrolled) {
  // 905 x 600 client, a whole fax: 818 columns of picture, 2250 x 818 / 1810 = 1016 rows.
  ViewerLayout l = LayOutViewer(905, 600, 1810, 2250, 0);
  EXPECT_TRUE(l.Paint);
  EXPECT_TRUE(l.PanelVisible);
  EXPECT_EQ(l.Right, 818);
  EXPECT_EQ(l.Bottom, 1016);
  EXPECT_EQ(l.ScrollLargeStep, 599);
  EXPECT_EQ(l.ScrollMax, 417);
  // Scrolled to the end, the picture ends one pixel above the window's bottom edge.
  l = LayOutViewer(905, 600, 1810, 2250, -417);
  EXPECT_EQ(l.Top, -417);
  EXPECT_EQ(l.Bottom, 599);

  l = LayOutViewer(250, 200, 1810, 2250, -40);
  EXPECT_FALSE(l.PanelVisible);
  EXPECT_EQ(l.Right, 250);
  EXPECT_EQ(l.Top, -40);  // keeps its offset although it cannot be scrolled there

  // The window grew until the whole picture fits: from its top again.
  l = LayOutViewer(905, 1100, 1810, 2250, -300);
  EXPECT_EQ(l.Top, 0);
  EXPECT_EQ(l.Bottom, 1016);
  EXPECT_EQ(l.ScrollMax, 0);

  EXPECT_FALSE(LayOutViewer(905, 600, 1810, 0, 0).Paint);
  EXPECT_EQ(LayOutViewer(905, 600, 0, 5, 0).Bottom, 5 * 818);  // no division by zero
}

TEST(PrintedArea, SmallerRatioWins) {
  // Wide picture on a portrait page: by the width, the page's lower part stays empty.
  PrintArea a = PrintedArea(2000, 1000, 4000, 6000);
  EXPECT_EQ(a.Width, 4000);
  EXPECT_EQ(a.Height, 2000);
  // A fax on a landscape page: by the height.
  a = PrintedArea(1810, 2250, 6000, 4500);
  EXPECT_EQ(a.Width, 3620);
  EXPECT_EQ(a.Height, 4500);
  // 2250 x (1000 / 1810) = 1243.09: cut, not rounded.
  a = PrintedArea(1810, 2250, 1000, 9000);
  EXPECT_EQ(a.Width, 1000);
  EXPECT_EQ(a.Height, 1243);
  EXPECT_EQ(PrintedArea(1810, 0, 1000, 1000).Height, 0);
  EXPECT_EQ(PrintedArea(0, 0, 1000, 1000).Width, 0);
}

TEST(ViewerTexts, CaptionAndFolder) {
  EXPECT_EQ(ViewCaption("/home/sea/Auto/Fax 261207 Mon 0830.bmp"), "View Fax 261207 Mon 0830.bmp");
  EXPECT_EQ(ViewCaption("C:\\Faxes\\one.bmp"), "View one.bmp");
  EXPECT_EQ(ViewCaption("bare.bmp"), "View bare.bmp");

  char field[16];
  std::memset(field, 'x', sizeof field);
  EXPECT_TRUE(StoreDialogFolder("/tmp/faxes/a.bmp", field, sizeof field));
  EXPECT_STREQ(field, "/tmp/faxes");
  EXPECT_TRUE(StoreDialogFolder("/a.bmp", field, sizeof field));
  EXPECT_STREQ(field, "/");
  // Fifteen characters and the NUL fit; sixteen do not, and the old folder stays.
  EXPECT_TRUE(StoreDialogFolder("/abcdefghijklmn/a.bmp", field, sizeof field));
  EXPECT_STREQ(field, "/abcdefghijklmn");
  EXPECT_FALSE(StoreDialogFolder("/abcdefghijklmno/a.bmp", field, sizeof field));
  EXPECT_STREQ(field, "/abcdefghijklmn");
}

class PictureCommandsTest : public ::testing::Test {
 protected:
  test::FakeFileDialogs dialogs;
  test::FakePrinter printer;
  test::TempDir dir;
  char folder[256] = "/start/here";
  DialogMemory memory{{}, folder, sizeof folder};
};

TEST_F(PictureCommandsTest, SaveWritesTheTopRowsAndRemembersTheFolder) {
  Bitmap picture(5, 4, GreyColour(200));
  picture.FillRect(0, 0, 5, 1, GreyColour(7));
  EXPECT_FALSE(SavePicture(dialogs, memory, picture, [] { return 3; }));  // Cancel
  EXPECT_STREQ(folder, "/start/here");
  ASSERT_EQ(dialogs.Saves.size(), 1u);
  EXPECT_EQ(dialogs.Saves[0].Folder, "/start/here");

  dialogs.SaveAnswer = dir.File("part.bmp");
  ASSERT_TRUE(SavePicture(dialogs, memory, picture, [] { return 3; }));
  std::ifstream in(dir.File("part.bmp"), std::ios::binary);
  const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
  // Headers and grey table 1078 bytes, then three rows of 5 padded to 8, bottom-up.
  ASSERT_EQ(bytes.size(), 1078u + 3 * 8);
  EXPECT_EQ(bytes[22], 3);            // height
  EXPECT_EQ(bytes[1078], 200);        // row 2, the first stored
  EXPECT_EQ(bytes[1078 + 2 * 8], 7);  // row 0, the last stored
  EXPECT_EQ(folder, dir.Path());
  EXPECT_EQ(picture.Height(), 4);

  // The next dialog opens there, with the name chosen last.
  SavePicture(dialogs, memory, picture, [] { return 3; });
  EXPECT_EQ(dialogs.Saves.back().Folder, dir.Path());
  EXPECT_EQ(dialogs.Saves.back().FileName, dir.File("part.bmp"));
}

// A picture being received grows while the dialog is open: what is written is what holds data
// once the user has chosen the file.
TEST_F(PictureCommandsTest, RowsAreCountedWhenTheFileIsWritten) {
  Bitmap picture(5, 10, GreyColour(50));
  int rows = 2;
  dialogs.SaveAnswer = dir.File("grown.bmp");
  dialogs.WhileOpen = [&] { rows = 7; };
  ASSERT_TRUE(SavePicture(dialogs, memory, picture, [&] { return rows; }));
  EXPECT_EQ(ReadBmpFile(dir.File("grown.bmp")).Height(), 7);
}

TEST_F(PictureCommandsTest, FailedSaveLeavesTheFolder) {
  dialogs.SaveAnswer = dir.File("missing/x.bmp");
  try {
    SavePicture(dialogs, memory, Bitmap(3, 3), [] { return 3; });
    FAIL() << "no error";
  } catch (const PlatformError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir.File("missing/x.bmp"));
  }
  EXPECT_STREQ(folder, "/start/here");
}

TEST_F(PictureCommandsTest, ViewLoadsTheFirstOfSeveralFiles) {
  std::vector<std::string> loaded;
  const auto load = [&](const std::string& f) { loaded.push_back(f); };
  EXPECT_FALSE(ViewPictureFile(dialogs, memory, true, load));
  EXPECT_TRUE(loaded.empty());
  EXPECT_TRUE(dialogs.Opens[0].DefaultExtension);

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
}

TEST_F(PictureCommandsTest, FirstDialogOpensAmongTheSavedFaxes) {
  folder[0] = '\0';
  SetProgramFolder(dir.Path());
  ViewPictureFile(dialogs, memory, false, [](const std::string&) {});
  std::filesystem::create_directory(dir.File("Auto"));
  ViewPictureFile(dialogs, memory, false, [](const std::string&) {});
  SetProgramFolder("");
  EXPECT_EQ(dialogs.Opens[0].Folder, dir.Path() + "/");
  EXPECT_EQ(dialogs.Opens[1].Folder, dir.File("Auto"));
}

TEST_F(PictureCommandsTest, PrintScalesToThePageWithTheReceptionFooter) {
  const Bitmap fax(1810, 2250);
  printer.Width = 6000;  // landscape
  printer.Height = 4500;
  EXPECT_TRUE(PrintPicture(printer, fax, true));
  EXPECT_EQ(printer.Calls, (std::vector<std::string>{"choose", "begin Zarvo Meteo",
                                                     "picture 1810x2250 into 3620x4500",
                                                     "text 0,4400 10pt Zarvo Meteo", "end"}));

  printer.Calls.clear();
  EXPECT_TRUE(PrintPicture(printer, Bitmap(1810, 0), false));
  EXPECT_EQ(printer.Calls, (std::vector<std::string>{"choose", "begin Zarvo Meteo", "end"}));

  printer.Calls.clear();
  printer.Accept = false;
  EXPECT_FALSE(PrintPicture(printer, fax, false));
  EXPECT_EQ(printer.Calls, std::vector<std::string>{"choose"});
}

}  // namespace
}  // namespace zarvo
