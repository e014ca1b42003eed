// The reception window's commands, its scrolling, and the mode dialog, on the offscreen platform.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>

#include "app/Windows.h"
#include "platform/ProgramFolder.h"
#include "reception/InVideo.h"
#include "reception/ModeDialog.h"
#include "settings/Settings.h"
#include "support/FakeSerial.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <fstream>
#include "platform/BmpCodec.h"
#include "support/FakeDialogs.h"
#include "viewer/DetailView.h"
#include "viewer/ViewPicture.h"

#include <QMenu>

namespace zarvo {
namespace {

class InVideoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    SetInterfaceTypeFields(1);
    SetComPortFields(1);
    Settings.CalHigh = 255;
    Settings.IOC = 1;
    Settings.DrumSpeed = 2;
    Settings.InVidWindow = {0, 0, 500, 700};
    opener.NextBytesPerRead = 0;
    invid = std::make_unique<TInVid>();
    mode = std::make_unique<TModeDlg>();
  }
  void TearDown() override {
    mode.reset();
    invid.reset();
  }
  test::FakeSerialOpener opener;
  test::RecordingBoxes boxes;
  std::unique_ptr<TInVid> invid;
  std::unique_ptr<TModeDlg> mode;
};

TEST_F(InVideoTest, CaptionFromTheModeAndTheStatus) {
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 120 LPM, IOC 576");
  EXPECT_TRUE(invid->TitleTimer.isActive());
  EXPECT_EQ(invid->TitleTimer.interval(), 5000);
  invid->TitleTimerTimer();
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax     Zarvo Meteo");
  invid->TitleTimerTimer();
  EXPECT_FALSE(invid->TitleTimer.isActive());
}

TEST_F(InVideoTest, StartReceptionMidPicture) {
  invid->Decoder.ManualStart();
  invid->Decoder.CurrentLine = 900;
  invid->RxTopBtn->click();
  EXPECT_EQ(invid->Decoder.CurrentLine, 0);
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: manual start");
  EXPECT_EQ(invid->ScrollBar->value(), 0);
}

TEST_F(InVideoTest, ExitAsksFirst) {
  boxes.Answer = false;
  invid->ExitBtn->click();
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Are you sure you want to exit Zarvo Meteo?");
  EXPECT_EQ(boxes.CloseCount, 0);
  boxes.Answer = true;
  invid->ExitBtn->click();
  EXPECT_EQ(boxes.Shown.size(), 2u);
}

TEST_F(InVideoTest, HideSpectrumToggles) {
  invid->ToggleHideSpectrum();
  EXPECT_TRUE(IsOn(Settings.HideSpectrum));
  EXPECT_TRUE(invid->HideSpectrumItem->isChecked());
  invid->ToggleHideSpectrum();
  EXPECT_FALSE(IsOn(Settings.HideSpectrum));
}

TEST_F(InVideoTest, UserScrollingHoldsUntilTenSecondsAfterTheThumb) {
  invid->Decoder.ManualStart();
  invid->ScrollBarScroll(5, 200);  // dragging the thumb
  EXPECT_TRUE(invid->UserScrolling);
  EXPECT_EQ(invid->DisplayRect.Top, -200);
  EXPECT_EQ(invid->ScrollTimer.interval(), 10000);
  invid->Decoder.CurrentLine = 2000;
  invid->Decoder.EndOfTick();
  EXPECT_EQ(invid->DisplayRect.Top, -200);  // new lines do not move the view
  invid->ScrollTimerTimer();                // still held
  EXPECT_TRUE(invid->UserScrolling);
  invid->ScrollBarScroll(4, 200);  // released
  invid->ScrollTimerTimer();
  EXPECT_FALSE(invid->UserScrolling);
  EXPECT_FALSE(invid->ScrollTimer.isActive());
}

TEST_F(InVideoTest, WheelScrollingGivesTheViewBackAfterItsTimer) {
  invid->Decoder.ManualStart();
  invid->ScrollBar->setRange(0, 1000);
  invid->ScrollBar->setSliderPosition(300);
  invid->ScrollBar->triggerAction(QAbstractSlider::SliderMove);  // as a wheel turn does
  EXPECT_TRUE(invid->UserScrolling);
  invid->ScrollTimerTimer();
  EXPECT_FALSE(invid->UserScrolling);
}

// A fax that cannot be saved is reported after the timer's tick, so decoding never waits for
// the user's answer.
TEST_F(InVideoTest, FailedSaveIsReportedOutsideTheTick) {
  test::TempDir home;
  std::ofstream(home.File("Auto")) << "a file where the folder should be";
  SetProgramFolder(home.Path());
  Settings.DeleteDays = 7;
  invid->Decoder.ManualStart();
  invid->Decoder.SaveHeight = 5;
  invid->Decoder.SavePending = true;
  invid->InVidTimerTimer();
  EXPECT_TRUE(boxes.Shown.empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text.rfind("Cannot create file " + home.Path() + "/Auto/Fax ", 0), 0u);
  SetProgramFolder("");
}

TEST_F(InVideoTest, HintsFollowTheOption) {
  EXPECT_EQ(invid->RxTopBtn->toolTip(), "Start reception");
  invid->ShowHints(false);
  EXPECT_TRUE(invid->RxTopBtn->toolTip().isEmpty());
}

TEST_F(InVideoTest, ModeDialogSetsAndFollowsTheMode) {
  invid->ModeBtn->click();
  EXPECT_TRUE(mode->isVisible());
  EXPECT_EQ(mode->windowTitle(), "Mode");
  EXPECT_EQ(mode->size(), QSize(111, 180));
  EXPECT_TRUE(mode->windowFlags() & Qt::WindowStaysOnTopHint);
  mode->grab();  // a paint, as the window system would ask for
  EXPECT_TRUE(mode->DrumSpeedItems->button(2)->isChecked());
  EXPECT_TRUE(mode->IOCItems->button(1)->isChecked());
  // 288 while 120 LPM is chosen: the status at once.
  mode->IOCItems->button(0)->click();
  EXPECT_EQ(Settings.IOC, 0);
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 120 LPM, IOC 288");
  mode->DrumSpeedItems->button(4)->click();
  EXPECT_EQ(Settings.DrumSpeed, 4);
  EXPECT_FLOAT_EQ(invid->Decoder.LinePeriodMs, 250.0f);
  // The decoder changes the mode: the dialog follows without setting it again.
  invid->Decoder.SetMode(0);
  mode->grab();  // a paint, as the window system would ask for
  EXPECT_TRUE(mode->DrumSpeedItems->button(0)->isChecked());
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 60 LPM, IOC 288");
}

TEST_F(InVideoTest, ClicksGoToTheMarkThenTheCalibrationThenTheDetail) {
  TDetail detail;
  invid->Decoder.SaveHeight = 10;
  invid->Decoder.Picture.SetPixel(100, 0, 0x123456);
  const int right = invid->DisplayRect.Right;
  ASSERT_GT(right, 0);
  // Armed mark and pending calibration: the mark wins, the calibration waits.
  invid->MarkLeftBtn->click();
  EXPECT_TRUE(invid->MarkLeftBtn->isChecked());
  EXPECT_EQ(invid->cursor().shape(), Qt::ArrowCursor);
  const int x100 = (100 * right + 1809) / 1810;  // the client column of picture column 100
  invid->FormMouseDown(x100, 0);
  EXPECT_FALSE(invid->MarkLeftBtn->isChecked());
  EXPECT_EQ(invid->Decoder.Picture.Pixel(0, 0), 0x123456u);
  EXPECT_FALSE(detail.isVisible());
  // A plain click shows the detailed view; once closed, new lines do not reopen it.
  invid->FormMouseDown(10, 10);
  EXPECT_TRUE(detail.isVisible());
  EXPECT_EQ(detail.DetailPicture, &invid->Decoder.Picture);
  detail.close();
  invid->Decoder.ManualStart();
  invid->Decoder.EndOfTick();
  EXPECT_FALSE(detail.isVisible());
  invid->FormMouseMove(-5, 10);  // dragged off the window's left edge: ignored
  EXPECT_FALSE(detail.isVisible());
}

TEST_F(InVideoTest, EveryCommandOnThePanelAndInTheMenu) {
  QStringList captions;
  for (QAction* a : invid->PopupMenu->actions()) captions << a->text();
  EXPECT_EQ(captions, (QStringList{"&Start Reception", "Mark &Left Border", "&Mode", "&Print",
                                   "&View", "Save &As", "", "&Configuration Menu", "&Hide Spectrum",
                                   "A&bout...", "&Help", "&Exit"}));
  // Right-hand column from the top: Exit, Print, View, Save as.
  EXPECT_EQ(invid->PrintBtn->toolTip(), "Print");
  EXPECT_EQ(invid->ViewBtn->toolTip(), "View");
  EXPECT_EQ(invid->SaveAsBtn->toolTip(), "Save as");
  EXPECT_EQ(invid->PrintBtn->x(), invid->ExitBtn->x());
  EXPECT_LT(invid->ExitBtn->y(), invid->PrintBtn->y());
  EXPECT_LT(invid->ViewBtn->y(), invid->SaveAsBtn->y());
  EXPECT_EQ(invid->SaveAsBtn->y(), invid->ConfigurationMenuBtn->y());
}

TEST_F(InVideoTest, SaveAsWritesTheRowsReceivedSoFar) {
  test::FakeFileDialogs dialogs;
  test::TempDir dir;
  invid->Decoder.ManualStart();
  invid->Decoder.Picture.FillRect(0, 0, 1810, 2250, GreyColour(90));
  invid->Decoder.SaveHeight = 3;
  dialogs.SaveAnswer = dir.File("mid.bmp");
  invid->SaveAsBtn->click();
  Bitmap saved = ReadBmpFile(dir.File("mid.bmp"));
  EXPECT_EQ(saved.Width(), 1810);
  EXPECT_EQ(saved.Height(), 3);
  EXPECT_EQ(saved.Pixel(1809, 2), GreyColour(90));
  EXPECT_EQ(std::string(Settings.SaveDir), dir.Path());
  EXPECT_EQ(invid->Decoder.CurrentLine, 0);  // reception goes on where it was

  // After Start reception the next tick leaves one row to save.
  invid->RxTopBtn->click();
  invid->InVidTimerTimer();
  EXPECT_EQ(invid->Decoder.SaveHeight, 1);
  invid->SaveAsBtn->click();
  EXPECT_EQ(ReadBmpFile(dir.File("mid.bmp")).Height(), 1);

  // The viewer's save dialog opens where the reception window saved.
  TViewPic view;
  view.Picture = Bitmap(4, 4);
  dialogs.SaveAnswer.reset();
  view.SaveAsBtnClick();
  EXPECT_EQ(dialogs.Saves.back().Folder, dir.Path());
}

TEST_F(InVideoTest, PrintsTheWholePictureWithItsFooterAndViewsInTheViewer) {
  test::FakePrinter printer;
  printer.Width = 3620;
  printer.Height = 4500;
  invid->Decoder.SaveHeight = 10;
  invid->PrintBtn->click();
  EXPECT_EQ(printer.Calls, (std::vector<std::string>{"choose", "begin Zarvo Meteo",
                                                     "picture 1810x2250 into 3620x4500",
                                                     "text 0,4400 10pt Zarvo Meteo", "end"}));

  test::FakeFileDialogs dialogs;
  test::TempDir dir;
  WriteGreyBmp(dir.File("old.bmp"), Bitmap(30, 20, GreyColour(40)), 20);
  TViewPic view;
  dialogs.OpenAnswer = {dir.File("old.bmp"), dir.File("other.bmp")};
  invid->ViewBtn->click();
  EXPECT_FALSE(dialogs.Opens[0].DefaultExtension);
  EXPECT_TRUE(view.isVisible());
  EXPECT_EQ(view.windowTitle(), "View old.bmp");
  EXPECT_EQ(std::string(Settings.ViewDir), dir.Path());
  // A file that does not open: the standard report, and the folder stays.
  std::strcpy(Settings.ViewDir, "/kept");
  dialogs.OpenAnswer = {dir.File("gone.bmp")};
  invid->ViewBtn->click();
  ASSERT_FALSE(boxes.Shown.empty());
  EXPECT_EQ(boxes.Shown.back().Text, "Cannot open file " + dir.File("gone.bmp") + ".");
  EXPECT_STREQ(Settings.ViewDir, "/kept");
}

}  // namespace
}  // namespace zarvo
