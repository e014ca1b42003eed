// What both picture windows share, through the viewer: smooth display as the user sees it, the
// zoom, scrolling by keys and wheel, Esc, and the file shortcuts with the menu closed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <cmath>

#include "platform/BmpCodec.h"
#include "settings/Settings.h"
#include "support/FakeDialogs.h"
#include "support/RealInput.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"
#include "viewer/DetailView.h"
#include "viewer/PictureWindow.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

class PictureWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    SmoothDisplay().Set(true);
    Settings.ViewPicWindow = {0, 0, 687, 500};  // 600 columns of picture beside the panel
    view = std::make_unique<TViewPic>();
    dialogs.WhileOpen = [] { QTest::qWait(20); };
  }
  void TearDown() override {
    view.reset();
    SmoothDisplay().Set(true);
  }
  // Shows `picture` as a loaded file is shown, in the active window.
  void Show(const Bitmap& picture) {
    WriteGreyBmp(dir.File("fax.bmp"), picture, picture.Height());
    view->LoadPicture(dir.File("fax.bmp"));
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(view.get(), static_cast<Qt::Key>(key), modifiers);
  }

  test::RecordingBoxes boxes;
  test::FakeFileDialogs dialogs;
  test::TempDir dir;
  std::unique_ptr<TViewPic> view;
};

// The darkest grey of screen row `y` from x 0 to 599.
int Darkest(const QImage& shot, int y) {
  int darkest = 255;
  for (int x = 0; x < 600; ++x) darkest = std::min(darkest, qGray(shot.pixel(x, y)));
  return darkest;
}

// A one-pixel black line down a white fax, at a column that 600 of 1810 columns leave out.
TEST_F(PictureWindowTest, SmoothDisplayKeepsAThinLineThatDroppingColumnsLoses) {
  Bitmap fax(1810, 300, GreyColour(255));
  fax.FillRect(904, 0, 905, 300, GreyColour(0));
  Show(fax);
  const QImage smooth = view->grab().toImage();
  // 1810 / 600 columns a screen pixel: a third of the way to black, in one screen column.
  EXPECT_NEAR(Darkest(smooth, 50), 255 - 255 * 600 / 1810, 2);
  EXPECT_EQ(qGray(smooth.pixel(904 * 600 / 1810, 50)), Darkest(smooth, 50));

  ASSERT_TRUE(test::ChooseFromPopup(view.get(), {300, 60}, view->PopupMenu, "Smoo&th Display"));
  EXPECT_FALSE(SmoothDisplay().On());
  EXPECT_EQ(Darkest(view->grab().toImage(), 50), 255);
  // Back on from the setting, as the other window's item does: this one follows and redraws.
  SmoothDisplay().Set(true);
  EXPECT_TRUE(view->PopupMenu->actions().last()->isChecked());
  EXPECT_LT(Darkest(view->grab().toImage(), 50), 200);
}

// Each pixel's colour names its column and row, so the screen tells which pixel is where.
TEST_F(PictureWindowTest, ZoomsByWheelAndKeysAndAClickHitsThePixelUnderTheMouse) {
  Bitmap fax(1810, 2250);
  for (int y = 0; y < fax.Height(); ++y)
    for (int x = 0; x < fax.Width(); ++x) fax.SetPixel(x, y, (x << 12) | y);
  Show(fax);
  view->Picture = fax;  // the file holds grey; the coded colours go in as a picture of its own
  view->FormResize();
  TDetail detail;

  // One notch with Ctrl over column 1810 x 300 / 600 = 905: the next level, 1.25^-4, with that
  // column still under the mouse.
  test::Wheel(view.get(), {300, 200}, {0, 120}, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom, std::pow(1.25, -4));
  EXPECT_NEAR((300 - view->DisplayRect.Left) / view->Zoom, 905, 2);
  for (int step = 0; step < 8; ++step)
    Key(step % 2 ? Qt::Key_Equal : Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Zoom, std::pow(1.25, 4));
  Key(Qt::Key_Minus, Qt::ControlModifier);
  ASSERT_DOUBLE_EQ(view->Zoom, std::pow(1.25, 3));  // 195 %: each pixel two screen pixels
  EXPECT_TRUE(view->SidewaysBar->isVisible());

  // Shift and the wheel go sideways; the click then lands on the pixel the screen shows there.
  const int left = view->DisplayRect.Left;
  test::Wheel(view.get(), {300, 200}, {0, -120}, Qt::ShiftModifier);
  EXPECT_EQ(view->DisplayRect.Left, left - 3 * 10);
  const QPoint spot(123, 321);
  const QRgb shown = view->grab().toImage().pixel(spot);
  test::MouseClick(view.get(), spot);
  EXPECT_NEAR(detail.DetailCentreX, (shown & 0xFFFFFF) >> 12, 1);
  EXPECT_NEAR(detail.DetailCentreY, shown & 0xFFF, 1);
  view->activateWindow();  // the detailed view came to the front
  ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));

  Key(Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(view->Zoom, 0);
  EXPECT_EQ(view->DisplayRect.Left, 0);
  EXPECT_EQ(view->DisplayRect.Right, 600);
  EXPECT_FALSE(view->SidewaysBar->isVisible());
}

TEST_F(PictureWindowTest, KeysAndWheelScrollShortcutsActAndEscCloses) {
  Show(Bitmap(1810, 2250, GreyColour(200)));  // 745 rows on screen, 246 to scroll
  const struct {
    int Key;
    int Top;
  } keys[] = {{Qt::Key_End, -246}, {Qt::Key_Up, -236},       {Qt::Key_Home, 0},
              {Qt::Key_Down, -10}, {Qt::Key_PageDown, -246}, {Qt::Key_PageUp, 0}};
  for (const auto& k : keys) {
    Key(k.Key);
    EXPECT_EQ(view->DisplayRect.Top, k.Top) << QKeySequence(k.Key).toString().toStdString();
  }
  // A notch down: the desktop's three lines of 10 pixels.
  test::Wheel(view.get(), {300, 200}, {0, -120});
  EXPECT_EQ(view->DisplayRect.Top, -30);
  EXPECT_EQ(view->ScrollBar->value(), 30);

  // Ctrl+S with the menu closed saves.
  dialogs.SaveAnswer = dir.File("copy.bmp");
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ReadBmpFile(dir.File("copy.bmp")).Height(), 2250);
  EXPECT_FALSE(view->PopupMenu->isVisible());

  TDetail detail;
  test::MouseClick(view.get(), {100, 100});
  ASSERT_TRUE(detail.isVisible());
  detail.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&detail));
  QTest::keyClick(&detail, Qt::Key_Escape);
  EXPECT_FALSE(detail.isVisible());
  EXPECT_TRUE(view->isVisible());
  view->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
  Key(Qt::Key_Escape);
  EXPECT_FALSE(view->isVisible());
}

}  // namespace
}  // namespace zarvo
