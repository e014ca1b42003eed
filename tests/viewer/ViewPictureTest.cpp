// The picture viewer on the offscreen platform: loading, marks, turns, and the file commands it
// shares with the reception window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QMenu>
#include <QScrollBar>
#include <QToolButton>

#include "app/Windows.h"
#include "platform/BmpCodec.h"
#include "settings/Settings.h"
#include "support/FakeDialogs.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"
#include "viewer/DetailView.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

QAction* MenuItem(QMenu* menu, const QString& caption) {
  for (QAction* a : menu->actions())
    if (a->text() == caption) return a;
  return nullptr;
}

class ViewPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    Settings.ViewPicWindow = {0, 0, 687, 500};
    std::strcpy(Settings.ViewDir, "/view/start");
    view = std::make_unique<TViewPic>();
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
  const std::string a = WriteFax("Fax a.bmp", 1200);
  dialogs.OpenAnswer = {a, WriteFax("b.bmp", 10), WriteFax("c.bmp", 10)};
  view->ViewBtn->click();
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
  view->ViewBtn->click();
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

TEST_F(ViewPictureTest, BothMarksArmedShiftThenCrop) {
  view->LoadPicture(WriteFax("fax.bmp", 2250));
  MenuItem(view->PopupMenu, "&Mark Left")->trigger();
  EXPECT_TRUE(view->MarkLeftBtn->isChecked());
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
  view->MarkLowerBtn->click();
  EXPECT_TRUE(view->MarkLowerBtn->isChecked());
  // x 30 is column 1810 x 30 / 600 = 90.
  view->FormMouseDown(30, 300);
  EXPECT_FALSE(view->MarkLeftBtn->isChecked());
  EXPECT_TRUE(view->MarkLowerBtn->isChecked());
  EXPECT_EQ(view->cursor().shape(), Qt::CrossCursor);
  EXPECT_EQ(view->Picture.Pixel(0, 5), GreyColour(90));
  EXPECT_EQ(view->Picture.Pixel(1809, 5), GreyColour(89));
  EXPECT_EQ(view->Picture.Height(), 2250);
  // y 100 at the top is row 1810 x 100 / 600 = 301.
  view->FormMouseDown(500, 100);
  EXPECT_FALSE(view->MarkLowerBtn->isChecked());
  EXPECT_EQ(view->Picture.Height(), 301);
  // No mark armed: the click goes to the detailed view.
  TDetail detail;
  view->FormMouseDown(30, 10);
  EXPECT_TRUE(detail.isVisible());
  EXPECT_EQ(detail.DetailPicture, &view->Picture);
  EXPECT_EQ(detail.DetailCentreX, 90);
  EXPECT_EQ(detail.DetailCentreY, 30);
}

TEST_F(ViewPictureTest, TurnsAndScrolls) {
  view->LoadPicture(WriteFax("fax.bmp", 2250));
  // 2250 x 600 / 1810 = 745 rows: the scroll range is 745 + 1 - 500.
  EXPECT_EQ(view->ScrollBar->maximum(), 246);
  EXPECT_EQ(view->ScrollBar->pageStep(), 499);
  view->ScrollBar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(view->DisplayRect.Top, -246);

  view->RotateRightBtn->click();
  EXPECT_FALSE(view->RotateRightBtn->isChecked());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(view->Picture.Width(), 2250);
  EXPECT_EQ(view->Picture.Height(), 1810);
  EXPECT_EQ(view->DisplayRect.Top, 0);
  // The old first row (grey 3) is now the right-hand column.
  EXPECT_EQ(view->Picture.Pixel(2249, 700), GreyColour(3));
  MenuItem(view->PopupMenu, "Rotate &Left")->trigger();
  EXPECT_EQ(view->Picture.Width(), 1810);
  EXPECT_EQ(view->Picture.Pixel(700, 0), GreyColour(3));

  // A narrow window hides the panel; the picture takes the whole width.
  view->resize(250, 400);
  EXPECT_FALSE(view->Panel->isVisible());
  EXPECT_EQ(view->DisplayRect.Right, 250);
}

TEST_F(ViewPictureTest, SavesAndPrintsWhatItShows) {
  view->LoadPicture(WriteFax("fax.bmp", 40));
  MenuItem(view->PopupMenu, "Rotate &Left")->trigger();
  dialogs.SaveAnswer = dir.File("turned.bmp");
  view->SaveAsBtn->click();
  const Bitmap saved = ReadBmpFile(dir.File("turned.bmp"));
  EXPECT_EQ(saved.Width(), 40);
  EXPECT_EQ(saved.Height(), 1810);
  EXPECT_EQ(saved.Pixel(0, 1809), GreyColour(3));
  EXPECT_EQ(std::string(Settings.SaveDir), dir.Path());

  printer.Height = 3620;  // twice the picture's height
  view->PrintBtn->click();
  EXPECT_EQ(printer.Calls, (std::vector<std::string>{"choose", "begin Zarvo Meteo",
                                                     "picture 40x1810 into 80x3620", "end"}));
  printer.FailBegin = true;
  view->PrintBtn->click();
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Printer selected is not valid.");
}

}  // namespace
}  // namespace zarvo
