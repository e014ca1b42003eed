// What both picture windows share, through the viewer: smooth display as the user sees it, the
// zoom, scrolling by keys and wheel, Esc, the file shortcuts with the menu closed, a whole fax
// turned, saved, printed and cut at its marks, straightening a slanted picture, and pictures of
// other programs opened in the viewer. Qt's file dialog and printer behind the seams: the default
// extension, the PNG filter, the overwrite question, the print dialog's choices kept for the run,
// and a document printed into a file.
#include <gtest/gtest.h>

#include <QtWidgets>
#include <cmath>
#include <functional>

#include "platform/BmpCodec.h"
#include "platform/QtDialogs.h"
#include "support/FakeDialogs.h"
#include "support/FreshState.h"
#include "support/RealInput.h"
#include "viewer/DetailView.h"
#include "viewer/PictureCommands.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

class PictureWindowTest : public test::FreshStateTest {
 protected:
  void SetUp() override {
    SmoothDisplay().Set(true);
    Settings.ViewPicWindow = {0, 0, 687, 500};  // 600 columns of picture beside the panel
    view = std::make_unique<TViewPic>();
    dialogs.WhileOpen = [] { QTest::qWait(20); };
  }
  void TearDown() override { SmoothDisplay().Set(true); }
  // Shows `picture` as a loaded file is shown, in the active window.
  void Show(const Bitmap& picture) {
    WriteGreyBmp(dir.File("fax.bmp"), picture, picture.Height());
    view->LoadPicture(dir.File("fax.bmp"));
    ASSERT_TRUE(Activate(view.get()));
  }
  static bool Activate(QWidget* w) { return w->activateWindow(), QTest::qWaitForWindowActive(w); }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(view.get(), key, mods); }

  test::FakeFileDialogs dialogs;
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

// Each pixel's colour names its column and row, so the screen tells which pixel is where. At the
// window's width 745 rows are on screen, 246 to scroll.
TEST_F(PictureWindowTest, ZoomScrollShortcutsAndEscByKeysWheelAndMouse) {
  Bitmap fax(1810, 2250);
  for (int i = 0; i < 1810 * 2250; ++i)
    fax.Data()[i] = static_cast<std::uint32_t>(i % 1810 << 12 | i / 1810);
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
  ASSERT_TRUE(Activate(view.get()));  // the detailed view came to the front

  Key(Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(std::tuple(view->Zoom, view->DisplayRect.Left, view->DisplayRect.Right,
                       view->SidewaysBar->isVisible()),
            std::tuple(0.0, 0, 600, false));
  const std::pair<Qt::Key, int> keys[] = {{Qt::Key_End, -246},      {Qt::Key_Up, -236},
                                          {Qt::Key_Home, 0},        {Qt::Key_Down, -10},
                                          {Qt::Key_PageDown, -246}, {Qt::Key_PageUp, 0}};
  for (const auto& [key, top] : keys) {
    Key(key);
    EXPECT_EQ(view->DisplayRect.Top, top) << QKeySequence(key).toString().toStdString();
  }
  // A notch down: the desktop's three lines of 10 pixels.
  test::Wheel(view.get(), {300, 200}, {0, -120});
  EXPECT_EQ(std::pair(view->DisplayRect.Top, view->ScrollBar->value()), std::pair(-30, 30));

  // Ctrl+S with the menu closed saves.
  dialogs.SaveAnswer = dir.File("copy.bmp");
  Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(ReadBmpFile(dir.File("copy.bmp")).Height(), 2250);
  EXPECT_FALSE(view->PopupMenu->isVisible());

  // A turn averages again only the columns each step wrote: it leaves what a whole redraw
  // (smooth display off and on) shows.
  test::MouseClick(view->RotateRightBtn);
  const QImage turned = view->grab().toImage();
  SmoothDisplay().Set(false);
  view->grab();
  SmoothDisplay().Set(true);
  EXPECT_EQ(view->grab().toImage(), turned);

  // Esc closes the detailed view, then the viewer.
  test::MouseClick(view.get(), {100, 100});
  ASSERT_TRUE(detail.isVisible() && detail.DetailPicture == &view->Picture && Activate(&detail));
  QTest::keyClick(&detail, Qt::Key_Escape);
  EXPECT_TRUE(!detail.isVisible() && view->isVisible());
  ASSERT_TRUE(Activate(view.get()));
  Key(Qt::Key_Escape);
  EXPECT_FALSE(view->isVisible());
}

// A dark edge leaning a quarter column a row, shown at half size. A mark armed as well takes the
// first click; a bottom point on the top point's row is refused; the two points then stand the
// edge upright at the first one's column, in the picture (which Save As writes, as the whole
// fax's test shows) and on screen. Esc only disarms.
TEST_F(PictureWindowTest, StraightensASlantedEdgeWithTwoClicks) {
  Bitmap fax(1200, 800, GreyColour(255));
  for (int y = 0; y < 800; ++y)  // black from the edge to short of the row's end: no row wraps
    fax.FillRect(204 + static_cast<int>(std::lround((y - 20) / 4.0)), y, 1190, y + 1, 0);
  const auto edge = [](const Bitmap& b, int y) {  // the first black column
    return std::find(b.Row(y), b.Row(y) + b.Width(), 0u) - b.Row(y);
  };
  Show(fax);
  boxes.WhileOpen = [](const test::ShownBox&) { QTest::qWait(20); };
  test::MouseClick(view->StraightenBtn);
  test::MouseClick(view->MarkLeftBtn);
  // The mark's at column 0, which moves nothing; the top at picture column 204, row 20; one on
  // its row; the bottom at column 394 = 204 + (780 - 20) / 4, row 780.
  for (const QPoint at : {QPoint(0, 200), {102, 10}, {150, 10}, {197, 390}})
    test::MouseClick(view.get(), at);
  EXPECT_EQ(boxes.Shown.size(), 3u);  // armed, the top taken, a bottom on the top's row refused
  EXPECT_EQ(std::tuple(view->StraightenBtn->isChecked(), view->cursor().shape()),
            std::tuple(false, Qt::CrossCursor));
  for (int y = 0; y < 800; ++y) ASSERT_EQ(edge(view->Picture, y), 204) << "row " << y;
  // Averaged again: rows 10 and 11 had their edge at columns 201 and 202.
  EXPECT_EQ(qGray(view->grab().toImage().pixel(100, 5)), 255);

  test::MouseClick(view->StraightenBtn);
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
  Key(Qt::Key_Escape);
  EXPECT_EQ(std::tuple(view->isVisible(), view->StraightenBtn->isChecked(), view->cursor().shape()),
            std::tuple(true, false, Qt::CrossCursor));
}

// The viewer on a whole fax: scrolled, turned right, painted, saved and printed as turned, and
// turned back; then both marks armed, the left border taken first, then the lower. (A click for
// the detailed view: the zoom test's.)
TEST_F(PictureWindowTest, CommandsOnAWholeFax) {
  // Its grey tells the column (mod 256) on every row, with a darker first row.
  Bitmap fax(1810, 2250, GreyColour(3));
  for (int x = 0; x < 1810; ++x) fax.FillRect(x, 1, x + 1, 2250, GreyColour(x % 256));
  std::strcpy(Settings.ViewDir, "/view/start");
  Show(fax);
  test::FakePrinter printer;
  test::MouseClick(view->ViewBtn);  // and cancelled
  EXPECT_EQ(std::pair(dialogs.Opens.at(0).Folder, dialogs.Opens[0].DefaultExtension),
            std::pair(std::string("/view/start"), true));
  test::Wheel(view.get(), {300, 200}, {0, -120});  // scrolled 30 rows down, as the turn undoes

  // The old first row (grey 3) is now the right-hand column; 1810 x 600 / 2250 = 482 rows.
  test::MouseClick(view->RotateRightBtn);
  EXPECT_FALSE(view->RotateRightBtn->isChecked() || QApplication::overrideCursor());
  EXPECT_EQ(
      std::tuple(view->Picture.Width(), view->DisplayRect.Top, view->Picture.Pixel(2249, 700)),
      std::tuple(2250, 0, GreyColour(3)));
  // The grey below the picture stops at the panel, which keeps its colour to the bottom.
  const QImage shot = view->grab().toImage();
  const QColor panel = view->Panel->palette().color(QPalette::Window);
  EXPECT_EQ(shot.pixelColor(view->Panel->x() + 45, view->height() - 10), panel);
  EXPECT_NE(shot.pixelColor(100, view->height() - 10), panel);
  dialogs.SaveAnswer = dir.File("turned.bmp");
  test::MouseClick(view->SaveAsBtn);
  const Bitmap saved = ReadBmpFile(dir.File("turned.bmp"));
  EXPECT_EQ(std::tuple(saved.Width(), saved.Height(), saved.Pixel(2249, 1809)),
            std::tuple(2250, 1810, GreyColour(3)));
  printer.Height = 3000;  // by the height: 2250 x 3000 / 1810 = 3729.3, cut
  test::MouseClick(view->PrintBtn);
  EXPECT_EQ(printer.Calls.at(2), "picture 2250x1810 into 3729x3000");
  ASSERT_TRUE(test::ChooseFromPopup(view.get(), {100, 100}, view->PopupMenu, "Rotate &Left"));
  EXPECT_EQ(std::pair(view->Picture.Width(), view->Picture.Pixel(700, 0)),
            std::pair(1810, GreyColour(3)));

  ASSERT_TRUE(test::ChooseFromPopup(view.get(), {100, 100}, view->PopupMenu, "&Mark Left"));
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
  test::MouseClick(view->MarkLowerBtn);
  test::MouseClick(view.get(), {30, 300});  // column 1810 x 30 / 600 = 90
  EXPECT_TRUE(!view->MarkLeftBtn->isChecked() && view->MarkLowerBtn->isChecked() &&
              view->cursor().shape() == Qt::CrossCursor);
  EXPECT_EQ(
      std::tuple(view->Picture.Height(), view->Picture.Pixel(0, 5), view->Picture.Pixel(1809, 5)),
      std::tuple(2250, GreyColour(90), GreyColour(89)));
  test::MouseClick(view.get(), {500, 100});  // row 1810 x 100 / 600 = 301
  EXPECT_EQ(std::pair(view->MarkLowerBtn->isChecked(), view->Picture.Height()),
            std::pair(false, 301));
}

// Pictures of other programs, chosen in the open dialog: colours kept, transparency laid over
// white as the window shows it; a damaged one is refused and the picture shown stays.
TEST_F(PictureWindowTest, OpensPngJpegAndTiffAndRefusesADamagedOne) {
  Show(Bitmap(10, 10));
  QImage chart(40, 30, QImage::Format_ARGB32);  // its top third transparent
  chart.fill(Qt::transparent);
  QPainter(&chart).fillRect(0, 10, 40, 20, Qt::red);
  ASSERT_TRUE(chart.save(QString::fromStdString(dir.File("chart.png"))));
  const auto open = [&](const std::string& name) {  // chosen in the dialog; the title then
    dialogs.OpenAnswer = {dir.File(name)};
    test::MouseClick(view->ViewBtn);
    return view->windowTitle().toStdString();
  };
  ASSERT_EQ(open("chart.png"), "View chart.png");
  // 40 x 30 stretched to 600 x 450: rows 0..9 of the picture end at the window's row 150.
  const QImage shot = view->grab().toImage();
  EXPECT_EQ(std::pair(shot.pixel(300, 50) & 0xFFFFFF, shot.pixel(300, 300) & 0xFFFFFF),
            std::pair(0xFFFFFFu, 0xFF0000u));

  QImage photo(64, 48, QImage::Format_Grayscale8);
  photo.fill(QColor(100, 100, 100));
  for (const char* name : {"photo.jpg", "scan.tif"}) {
    ASSERT_TRUE(photo.save(QString::fromStdString(dir.File(name)), nullptr, 100)) << name;
    EXPECT_EQ(open(name), std::string("View ") + name);
    ASSERT_EQ(std::pair(view->Picture.Width(), view->Picture.Height()), std::pair(64, 48));
    EXPECT_NEAR(static_cast<int>(view->Picture.Pixel(30, 20) & 0xFF), 100, 2) << name;
  }

  const std::vector<unsigned char> png = dir.Read("chart.png");
  dir.Write("cut.png", {png.begin(), png.begin() + 60});
  EXPECT_EQ(open("cut.png"), "View scan.tif");
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text.rfind("PNG image is not valid: ", 0), 0u) << boxes.Shown[0].Text;
}

// Runs `step` on each modal window as it comes up, until `step` returns false.
void WhileModal(std::function<bool(QWidget*)> step) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer, step] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      step(modal) ? timer->start(20) : timer->deleteLater();
    }
  });
  timer->start(20);
}

// Types over the dialog's name field and presses Return, as the user does, after choosing the
// PNG filter with the arrow key if asked. The field's completer offers the folder's files: Escape
// puts its list away. Queued: what Return raises may be a modal loop of its own.
void TypeAndEnter(QWidget* dialog, const char* field, const QString& name, bool png = false) {
  EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
  auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(field));
  auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_TRUE(edit && (types || !png));
  if (png) QTest::keyClick(types, Qt::Key_Down);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, name);
  if (QWidget* list = QApplication::activePopupWidget()) QTest::keyClick(list, Qt::Key_Escape);
  QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
}

TEST(QtFileDialogs, SaveAddsTheFiltersExtensionAndAsksBeforeReplacing) {
  test::TempDir dir;
  QtFileDialogs dialogs;
  for (const bool png : {false, true}) {
    WhileModal(
        [png](QWidget* modal) { return TypeAndEnter(modal, "fileNameEdit", "chart", png), false; });
    const SaveChoice expected{dir.File(png ? "chart.png" : "chart.bmp"),
                              png ? PictureFormat::Png : PictureFormat::Bmp};
    EXPECT_EQ(dialogs.SaveFile(dir.Path(), ""), expected);
  }

  // An existing file: the question comes; No keeps the dialog open, Cancel then ends it.
  dir.Write("old.bmp", {'B', 'M'});
  int questions = 0;
  WhileModal([&questions](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      ++questions;
      EXPECT_TRUE(QTest::qWaitForWindowExposed(box));
      test::MouseClick(box->button(QMessageBox::No));
      return true;
    }
    if (questions == 0) return TypeAndEnter(modal, "fileNameEdit", "old.bmp"), true;
    return QTest::keyClick(modal, Qt::Key_Escape), false;
  });
  EXPECT_FALSE(dialogs.SaveFile(dir.Path(), "").has_value());
  EXPECT_EQ(questions, 1);
}

// The file typed into the print dialog is what it offers the next time in the run, on a page in
// portrait.
TEST(QtPrintTarget, OffersTheLastChoicesAgain) {
  test::TempDir dir;
  QtPrintTarget printer;
  const QString file = QString::fromStdString(dir.File("chart.pdf"));
  const Bitmap picture(1810, 2250, 0x808080);
  QString offered;
  for (int run = 0; run < 2; ++run) {
    WhileModal([&](QWidget* modal) {
      if (auto* name = modal->findChild<QLineEdit*>(QStringLiteral("filename")))
        offered = name->text();
      return TypeAndEnter(modal, "filename", file), false;
    });
    ASSERT_TRUE(PrintPicture(printer, picture, false));
    EXPECT_TRUE(printer.PageWidth() < printer.PageHeight() && QFile::remove(file));  // portrait
  }
  EXPECT_EQ(offered, file);
}

}  // namespace
}  // namespace zarvo
