// The picture viewer on the offscreen platform: loading, marks, turns, and the file commands it
// shares with the reception window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>

#include "platform/BmpCodec.h"
#include "settings/Settings.h"
#include "support/FakeDialogs.h"
#include "support/RealInput.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"
#include "viewer/DetailView.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

using test::MouseClick;

class ViewPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    Settings.ViewPicWindow = {0, 0, 687, 500};
    std::strcpy(Settings.ViewDir, "/view/start");
    view = std::make_unique<TViewPic>();
    dialogs.WhileOpen = [] { QTest::qWait(20); };
  }
  // Loads a picture as the reception window's View command does, and waits for the window.
  void Show(const std::string& file) {
    view->LoadPicture(file);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
  }
  bool ChooseFromMenu(const QString& caption) {
    return test::ChooseFromPopup(view.get(), {300, 200}, view->PopupMenu, caption);
  }
  void TearDown() override { view.reset(); }

  // A fax whose grey value tells the column (mod 256) on every row, with a darker first row.
  std::string WriteFax(const std::string& name, int height) {
    Bitmap fax(1810, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < 1810; ++x) fax.SetPixel(x, y, GreyColour(y == 0 ? 3 : x % 256));
    WriteGreyBmp(dir.File(name), fax, height);
    return dir.File(name);
  }

  test::RecordingBoxes boxes;
  test::FakeFileDialogs dialogs;
  test::FakePrinter printer;
  test::TempDir dir;
  std::unique_ptr<TViewPic> view;
};

TEST_F(ViewPictureTest, OpensTheFirstChosenFileAndKeepsItsPictureOnFailure) {
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "View");
  Show(WriteFax("first.bmp", 10));
  EXPECT_EQ(view->windowTitle(), "View first.bmp");
  const std::string a = WriteFax("Fax a.bmp", 1200);
  dialogs.OpenAnswer = {a, WriteFax("b.bmp", 10), WriteFax("c.bmp", 10)};
  MouseClick(view->ViewBtn);
  ASSERT_EQ(dialogs.Opens.size(), 1u);
  EXPECT_EQ(dialogs.Opens[0].Folder, "/view/start");
  EXPECT_TRUE(dialogs.Opens[0].DefaultExtension);
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "View Fax a.bmp");
  EXPECT_EQ(view->Picture.Height(), 1200);
  EXPECT_EQ(view->Picture.Pixel(300, 5), GreyColour(300 % 256));
  EXPECT_EQ(std::string(Settings.ViewDir), dir.Path());
  // 687 - 87 = 600 columns; 1200 x 600 / 1810 = 397 rows fit into 500.
  EXPECT_TRUE(view->Panel->isVisible());
  EXPECT_EQ(view->DisplayRect.Right, 600);
  EXPECT_EQ(view->DisplayRect.Bottom, 397);
  EXPECT_EQ(view->ScrollBar->maximum(), 0);

  // Not a bitmap: reported, and nothing of the window changes.
  dir.Write("bad.bmp", {'X', 'Y', 0, 0, 0, 0});
  dialogs.OpenAnswer = {dir.File("bad.bmp")};
  std::strcpy(Settings.ViewDir, "/unchanged");
  ASSERT_TRUE(ChooseFromMenu("&View"));
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Bitmap image is not valid.");
  EXPECT_EQ(view->windowTitle(), "View Fax a.bmp");
  EXPECT_EQ(view->Picture.Height(), 1200);
  EXPECT_STREQ(Settings.ViewDir, "/unchanged");

  // An empty file is an empty picture, not an error.
  dir.Write("empty.bmp", {});
  view->LoadPicture(dir.File("empty.bmp"));
  EXPECT_EQ(view->windowTitle(), "View empty.bmp");
  EXPECT_EQ(view->Picture.Height(), 0);
  view->grab();  // painting an empty picture
}

// Pictures of other programs, chosen in the open dialog: colours kept, transparency laid over
// white as the window shows it; a damaged one is refused and the picture shown stays.
TEST_F(ViewPictureTest, OpensPngJpegAndTiffAndRefusesADamagedOne) {
  Show(WriteFax("first.bmp", 10));
  QImage chart(40, 30, QImage::Format_ARGB32);
  chart.fill(QColor(255, 0, 0));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 40; ++x) chart.setPixel(x, y, qRgba(0, 0, 0, 0));
  ASSERT_TRUE(chart.save(QString::fromStdString(dir.File("chart.png"))));
  dialogs.OpenAnswer = {dir.File("chart.png")};
  MouseClick(view->ViewBtn);
  ASSERT_EQ(view->windowTitle(), "View chart.png");
  EXPECT_EQ(std::pair(view->Picture.Width(), view->Picture.Height()), std::pair(40, 30));
  // 40 x 30 stretched to 600 x 450: rows 0..9 of the picture end at the window's row 150.
  const QImage shot = view->grab().toImage();
  EXPECT_EQ(shot.pixel(300, 50) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(shot.pixel(300, 300) & 0xFFFFFF, 0xFF0000u);

  QImage photo(64, 48, QImage::Format_Grayscale8);
  photo.fill(QColor(100, 100, 100));
  for (const char* name : {"photo.jpg", "scan.tif"}) {
    ASSERT_TRUE(photo.save(QString::fromStdString(dir.File(name)), nullptr, 100)) << name;
    dialogs.OpenAnswer = {dir.File(name)};
    MouseClick(view->ViewBtn);
    EXPECT_EQ(view->windowTitle().toStdString(), std::string("View ") + name);
    ASSERT_EQ(std::pair(view->Picture.Width(), view->Picture.Height()), std::pair(64, 48));
    EXPECT_NEAR(static_cast<int>(view->Picture.Pixel(30, 20) & 0xFF), 100, 2) << name;
  }

  const std::vector<unsigned char> png = dir.Read("chart.png");
  dir.Write("cut.png", {png.begin(), png.begin() + 60});
  dialogs.OpenAnswer = {dir.File("cut.png")};
  MouseClick(view->ViewBtn);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text.rfind("PNG image is not valid: ", 0), 0u) << boxes.Shown[0].Text;
  EXPECT_EQ(view->windowTitle(), "View scan.tif");
}

// The panel is not the picture: with a mark armed, a press on its empty part neither crops nor
// shifts the picture (there is no undo); the right button still opens the menu. On the picture,
// both marks armed: the left border first, then the lower.
TEST_F(ViewPictureTest, BothMarksArmedShiftThenCropButNeverFromThePanel) {
  Show(WriteFax("fax.bmp", 2250));
  TDetail detail;
  const QPoint empty(45, view->Panel->height() - 40);
  ASSERT_EQ(view->Panel->childAt(empty), nullptr);
  ASSERT_TRUE(ChooseFromMenu("&Mark Left"));
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
  MouseClick(view->MarkLowerBtn);
  MouseClick(view->Panel, empty);
  test::MousePress(view->Panel, empty);
  test::MouseMove(view->Panel, empty + QPoint(0, 10));
  test::MouseRelease(view->Panel, empty + QPoint(0, 10));
  EXPECT_TRUE(view->MarkLeftBtn->isChecked());
  EXPECT_TRUE(view->MarkLowerBtn->isChecked());
  EXPECT_EQ(view->Picture.Height(), 2250);
  EXPECT_EQ(view->Picture.Pixel(0, 5), GreyColour(0));
  EXPECT_FALSE(detail.isVisible());

  // x 30 is column 1810 x 30 / 600 = 90.
  MouseClick(view.get(), {30, 300});
  EXPECT_FALSE(view->MarkLeftBtn->isChecked());
  EXPECT_TRUE(view->MarkLowerBtn->isChecked());
  EXPECT_EQ(view->cursor().shape(), Qt::CrossCursor);
  EXPECT_EQ(view->Picture.Pixel(0, 5), GreyColour(90));
  EXPECT_EQ(view->Picture.Pixel(1809, 5), GreyColour(89));
  EXPECT_EQ(view->Picture.Height(), 2250);
  // y 100 at the top is row 1810 x 100 / 600 = 301.
  MouseClick(view.get(), {500, 100});
  EXPECT_FALSE(view->MarkLowerBtn->isChecked());
  EXPECT_EQ(view->Picture.Height(), 301);
  // No mark armed: the click goes to the detailed view.
  MouseClick(view.get(), {30, 10});
  EXPECT_TRUE(detail.isVisible());
  EXPECT_EQ(detail.DetailPicture, &view->Picture);
  EXPECT_EQ(detail.DetailCentreX, 90);
  EXPECT_EQ(detail.DetailCentreY, 30);
  ASSERT_TRUE(test::ChooseFromPopup(view->Panel, empty, view->PopupMenu, "Rotate &Right"));
  EXPECT_EQ(view->Picture.Width(), 301);
}

TEST_F(ViewPictureTest, TurnsAndScrolls) {
  Show(WriteFax("fax.bmp", 2250));
  // 2250 x 600 / 1810 = 745 rows: the scroll range is 745 + 1 - 500.
  EXPECT_EQ(view->ScrollBar->maximum(), 246);
  EXPECT_EQ(view->ScrollBar->pageStep(), 499);
  // The thumb dragged down as far as it goes.
  const QPoint grip = test::ScrollThumb(view->ScrollBar).center();
  test::MousePress(view->ScrollBar, grip);
  test::MouseMove(view->ScrollBar, grip + QPoint(0, 200));
  EXPECT_EQ(view->DisplayRect.Top, -246);
  test::MouseRelease(view->ScrollBar, grip + QPoint(0, 200));
  EXPECT_EQ(view->DisplayRect.Top, -246);

  MouseClick(view->RotateRightBtn);
  EXPECT_FALSE(view->RotateRightBtn->isChecked());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(view->Picture.Width(), 2250);
  EXPECT_EQ(view->Picture.Height(), 1810);
  EXPECT_EQ(view->DisplayRect.Top, 0);
  // The old first row (grey 3) is now the right-hand column.
  EXPECT_EQ(view->Picture.Pixel(2249, 700), GreyColour(3));
  ASSERT_TRUE(ChooseFromMenu("Rotate &Left"));
  EXPECT_EQ(view->Picture.Width(), 1810);
  EXPECT_EQ(view->Picture.Pixel(700, 0), GreyColour(3));

  // A narrow window hides the panel; the picture takes the whole width.
  view->resize(250, 400);
  EXPECT_FALSE(view->Panel->isVisible());
  EXPECT_EQ(view->DisplayRect.Right, 250);
}

TEST_F(ViewPictureTest, PaintsSavesAndPrintsWhatItShows) {
  Show(WriteFax("fax.bmp", 40));  // 40 x 600 / 1810 = 13 rows on screen
  // The grey below a short picture stops at the panel, which shows one colour from top to bottom;
  // left of it the area below the picture has the border colour.
  const QImage shot = view->grab().toImage();
  const int x = view->Panel->x() + 45;
  const QColor panel = view->Panel->palette().color(QPalette::Window);
  EXPECT_EQ(shot.pixelColor(x, 120), panel);
  EXPECT_EQ(shot.pixelColor(x, view->height() - 10), panel);
  EXPECT_NE(shot.pixelColor(100, view->height() - 10), panel);

  ASSERT_TRUE(ChooseFromMenu("Rotate &Left"));
  dialogs.SaveAnswer = dir.File("turned.bmp");
  MouseClick(view->SaveAsBtn);
  const Bitmap saved = ReadBmpFile(dir.File("turned.bmp"));
  EXPECT_EQ(saved.Width(), 40);
  EXPECT_EQ(saved.Height(), 1810);
  EXPECT_EQ(saved.Pixel(0, 1809), GreyColour(3));
  EXPECT_EQ(std::string(Settings.SaveDir), dir.Path());

  printer.Height = 3620;  // twice the picture's height
  MouseClick(view->PrintBtn);
  EXPECT_EQ(printer.Calls, (std::vector<std::string>{"choose", "begin Zarvo Meteo",
                                                     "picture 40x1810 into 80x3620", "end"}));
  printer.FailBegin = true;
  ASSERT_TRUE(ChooseFromMenu("&Print"));
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Printer selected is not valid.");
}

}  // namespace
}  // namespace zarvo
