// The reception window's commands, its scrolling, its picture clicks and the mode dialog, driven
// with the mouse and the keyboard as the window system delivers them, on the offscreen platform.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCoreApplication>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/MainProg.h"
#include "audio/AudioFile.h"
#include "platform/BmpCodec.h"
#include "platform/ProgramFolder.h"
#include "reception/InVideo.h"
#include "reception/ModeDialog.h"
#include "reception/PlayDialog.h"
#include "settings/ClockCalibration.h"
#include "settings/Config.h"
#include "settings/Settings.h"
#include "sim/AudioSynth.h"
#include "support/FakeDialogs.h"
#include "support/FakeSerial.h"
#include "support/Pty.h"
#include "support/RealInput.h"
#include "support/RecordingBoxes.h"
#include "support/Signals.h"
#include "support/TempDir.h"
#include "viewer/DetailView.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

using test::MouseClick;

// The last speed played is the user's: it passes to no other test.
void ForgetSoundChoices() {
  QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo")).remove("SoundInput");
}

class InVideoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetSoundChoices();
    Open(nullptr);
    mode = std::make_unique<TModeDlg>();
    dialogs.WhileOpen = [] { QTest::qWait(20); };
  }
  void TearDown() override {
    mode.reset();
    invid.reset();
    ForgetSoundChoices();
    setenv("ZARVO_COM1", com1.c_str(), 1);
    SetProgramFolder("");
  }
  // A Quorvex box on COM1 at 120 LPM, IOC 576, with a 700 x 500 window: on `line`, where the test
  // plays the box, else on a port that sends nothing.
  void Open(const test::Pty* line) {
    invid.reset();
    ClearSettings(Settings);
    SetInterfaceTypeFields(1);
    SetComPortFields(1);
    Settings.CalHigh = 255;
    Settings.IOC = 1;
    Settings.DrumSpeed = 2;
    Settings.InVidWindow = {0, 0, 500, 700};
    if (line) {
      opener.reset();
      setenv("ZARVO_COM1", line->SlavePath().c_str(), 1);
    }
    invid = std::make_unique<TInVid>();
    EXPECT_TRUE(!line || QTest::qWaitForWindowExposed(invid.get()));
  }
  bool Menu(const QString& caption) {
    return test::ChooseFromPopup(invid.get(), {100, 100}, invid->PopupMenu, caption);
  }
  // `colour` at the picture's top left, and the line being written at column 500, where it stays.
  void PrepareMark(std::uint32_t colour) {
    invid->InVidTimer.stop();
    invid->Decoder.SaveHeight = 10;
    invid->Decoder.Picture.SetPixel(0, 0, colour);
    invid->Decoder.CurrentColumn = 500;
  }
  // The client point of picture column `column` on the picture's first rows.
  QPoint PictureColumnAt(int column) const {
    return {(column * invid->DisplayRect.Right + TDecoder::W - 1) / TDecoder::W, 2};
  }
  std::pair<int, int> ModeChecked() const {
    return {mode->DrumSpeedItems->checkedId(), mode->IOCItems->checkedId()};
  }
  // Sends `samples` on `line` and waits until the decoder has taken them all.
  void Receive(const test::Pty& line, const test::Samples& samples) {
    const std::int32_t before = invid->Receive.ReadPos;
    for (std::size_t sent = 0; sent < samples.size(); sent += 1200) {
      const std::size_t n = std::min<std::size_t>(1200, samples.size() - sent);
      ASSERT_TRUE(line.Write({samples.begin() + sent, samples.begin() + sent + n}));
      QTest::qWait(1);
    }
    // A silent line also advances the buffer a block per read time-out: at least all of ours.
    const auto taken = [&] {
      return static_cast<std::size_t>((invid->Receive.ReadPos - before + RxBufferSize) %
                                      RxBufferSize);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return taken() >= samples.size(); }, 10000));
  }
  // Answers the next Play Recording dialog as the user does: the speed, then OK; notes the speed
  // it opened with.
  void AnswerPlayDialog(bool fast) {
    auto* timer = new QTimer(invid.get());
    QObject::connect(timer, &QTimer::timeout, [this, timer, fast] {
      auto* dialog = qobject_cast<TPlayDlg*>(QApplication::activeModalWidget());
      if (!dialog || !QTest::qWaitForWindowExposed(dialog)) return;
      timer->deleteLater();
      openedFast = dialog->FastItem->isChecked();
      QRadioButton* speed = fast ? dialog->FastItem : dialog->RealTimeItem;
      MouseClick(speed, QPoint(6, speed->height() / 2));
      MouseClick(dialog->OkBtn);
    });
    timer->start(20);
  }
  bool openedFast = false;
  std::string com1 = getenv("ZARVO_COM1");
  std::optional<test::FakeSerialOpener> opener{std::in_place};
  test::RecordingBoxes boxes;
  test::FakeFileDialogs dialogs;
  test::TempDir dir;
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

TEST_F(InVideoTest, CommandsOnThePanelAndInTheMenu) {
  QStringList captions;
  for (QAction* a : invid->PopupMenu->actions()) captions << a->text();
  EXPECT_EQ(captions,
            (QStringList{"&Start Reception", "Mark &Left Border", "&Mode", "&Print", "&View",
                         "Save &As", "Play &recording...", "", "&Configuration Menu",
                         "Hi&de Spectrum", "Smoo&th Display", "A&bout...", "&Help", "&Exit"}));
  // Right-hand column from the top: Exit, Print, View, Save as.
  QStringList hints;
  for (QToolButton* b :
       {invid->RxTopBtn, invid->ExitBtn, invid->PrintBtn, invid->ViewBtn, invid->SaveAsBtn})
    hints << b->toolTip();
  EXPECT_EQ(hints, (QStringList{"Start reception", "Exit", "Print", "View", "Save as"}));
  EXPECT_EQ(invid->PrintBtn->x(), invid->ExitBtn->x());
  EXPECT_LT(invid->ExitBtn->y(), invid->PrintBtn->y());
  EXPECT_LT(invid->ViewBtn->y(), invid->SaveAsBtn->y());
  EXPECT_EQ(invid->SaveAsBtn->y(), invid->ConfigurationMenuBtn->y());
  invid->ShowHints(false);  // as the configuration window switches them
  EXPECT_TRUE(invid->RxTopBtn->toolTip().isEmpty());

  // Start reception, mid-picture, from the button and from the menu.
  invid->Decoder.ManualStart();
  invid->Decoder.CurrentLine = 900;
  MouseClick(invid->RxTopBtn);
  EXPECT_EQ(invid->Decoder.CurrentLine, 0);
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: manual start");
  EXPECT_EQ(invid->ScrollBar->value(), 0);
  invid->Decoder.CurrentLine = 700;
  ASSERT_TRUE(Menu("&Start Reception"));
  EXPECT_EQ(invid->Decoder.CurrentLine, 0);

  for (const bool hidden : {true, false}) {
    ASSERT_TRUE(Menu("Hi&de Spectrum"));
    EXPECT_EQ(IsOn(Settings.HideSpectrum), hidden);
    EXPECT_EQ(invid->HideSpectrumItem->isChecked(), hidden);
  }

  // Exit asks first.
  boxes.Answer = false;
  MouseClick(invid->ExitBtn);
  EXPECT_FALSE(MainClosed());
  boxes.Answer = true;
  MouseClick(invid->ExitBtn);
  EXPECT_TRUE(MainClosed());
  ASSERT_EQ(boxes.Shown.size(), 2u);
  EXPECT_EQ(boxes.Shown[0].Text, "Are you sure you want to exit Zarvo Meteo?");
}

TEST_F(InVideoTest, ScrollingKeepsTheUsersPlaceUntilItsTimer) {
  invid->Decoder.ManualStart();
  invid->Decoder.CurrentLine = 200;
  invid->Decoder.EndOfTick();
  QScrollBar* bar = invid->ScrollBar;
  ASSERT_GT(bar->maximum(), 0);
  const QPoint grip = test::ScrollThumb(bar).center(), down = grip + QPoint(0, 100);
  test::MousePress(bar, grip);
  test::MouseMove(bar, down);  // dragging the thumb down
  EXPECT_TRUE(invid->UserScrolling);
  EXPECT_EQ(invid->LastScrollCode, 5);
  EXPECT_EQ(invid->ScrollTimer.interval(), 10000);
  const int top = invid->DisplayRect.Top;
  EXPECT_EQ(top, -bar->sliderPosition());
  invid->Decoder.CurrentLine = 210;
  invid->Decoder.EndOfTick();
  EXPECT_EQ(invid->DisplayRect.Top, top);  // new lines do not move the view
  invid->ScrollTimerTimer();               // ten seconds later, still held
  EXPECT_TRUE(invid->UserScrolling);
  test::MouseRelease(bar, down);
  EXPECT_NE(invid->LastScrollCode, 5);
  invid->ScrollTimerTimer();
  EXPECT_FALSE(invid->UserScrolling);
  EXPECT_FALSE(invid->ScrollTimer.isActive());

  // A wheel moves the thumb without holding it: the timer gives the view back as well.
  bar->setSliderPosition(bar->sliderPosition() - 30);
  bar->triggerAction(QAbstractSlider::SliderMove);
  EXPECT_TRUE(invid->UserScrolling);
  invid->ScrollTimerTimer();
  EXPECT_FALSE(invid->UserScrolling);
}

// A fax that cannot be saved is reported after the timer's tick, so decoding never waits for
// the user's answer.
TEST_F(InVideoTest, FailedSaveIsReportedOutsideTheTick) {
  std::ofstream(dir.File("Auto")) << "a file where the folder should be";
  SetProgramFolder(dir.Path());
  Settings.DeleteDays = 7;
  invid->Decoder.ManualStart();
  invid->Decoder.SaveHeight = 5;
  invid->Decoder.SavePending = true;
  invid->InVidTimerTimer();
  EXPECT_TRUE(boxes.Shown.empty());
  QCoreApplication::processEvents();
  EXPECT_EQ(boxes.Shown.size(), 1u);
  // The fax still open is saved at the close as well; nothing would run a queued report then.
  invid.reset();
  ASSERT_EQ(boxes.Shown.size(), 2u);
  for (const auto& box : boxes.Shown)
    EXPECT_EQ(box.Text.rfind("Cannot create file " + dir.Path() + "/Auto/Fax ", 0), 0u);
}

// A click repaints the button, and with it the dialog under it, before Qt reports it: the
// dialog's groups must keep the user's choice through that paint.
TEST_F(InVideoTest, ModeDialogTakesClicksAndKeysAndFollowsTheDecoder) {
  invid->Decoder.ManualStart();  // while no picture is open every tick shows the empty status
  MouseClick(invid->ModeBtn);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(mode.get()));
  EXPECT_TRUE(mode->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(ModeChecked(), std::pair(2, 1));

  // 288 while 120 LPM is chosen: the status at once.
  MouseClick(mode->IOCItems->button(0));
  EXPECT_EQ(Settings.IOC, 0);
  EXPECT_EQ(ModeChecked(), std::pair(2, 0));
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 120 LPM, IOC 288");
  MouseClick(mode->DrumSpeedItems->button(4));
  EXPECT_EQ(Settings.DrumSpeed, 4);
  EXPECT_EQ(ModeChecked(), std::pair(4, 0));
  EXPECT_FLOAT_EQ(invid->Decoder.LinePeriodMs, 250.0f);
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 240 LPM, IOC 288");

  // Space on a focused item chooses it too.
  QTest::keyClick(mode->DrumSpeedItems->button(1), Qt::Key_Space);
  EXPECT_EQ(Settings.DrumSpeed, 1);
  EXPECT_EQ(ModeChecked(), std::pair(1, 0));
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 90 LPM, IOC 288");

  // The decoder changes the mode: the dialog follows, and a repaint keeps it there.
  invid->Decoder.SetMode(0);
  Settings.IOC = 1;
  invid->Decoder.SetMode(0);
  mode->repaint();
  EXPECT_EQ(ModeChecked(), std::pair(0, 1));
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 60 LPM, IOC 576");

  // Hidden while the mode changes: shown again, it shows the mode as it is now.
  mode->hide();
  Settings.IOC = 0;
  invid->Decoder.SetMode(3);
  MouseClick(invid->ModeBtn);
  EXPECT_EQ(ModeChecked(), std::pair(3, 0));
}

TEST_F(InVideoTest, ClicksGoToTheMarkThenTheDetail) {
  TDetail detail;
  PrepareMark(0x111111);
  invid->Decoder.Picture.SetPixel(100, 0, 0x123456);
  MouseClick(invid->MarkLeftBtn);
  EXPECT_TRUE(invid->MarkLeftBtn->isChecked());
  EXPECT_EQ(invid->cursor().shape(), Qt::ArrowCursor);
  ASSERT_TRUE(Menu("Mark &Left Border"));  // chosen again, it stays armed
  EXPECT_TRUE(invid->MarkLeftBtn->isChecked());
  MouseClick(invid.get(), PictureColumnAt(100));
  EXPECT_FALSE(invid->MarkLeftBtn->isChecked());
  EXPECT_EQ(invid->cursor().shape(), Qt::CrossCursor);
  EXPECT_EQ(invid->Decoder.Picture.Pixel(0, 0), 0x123456u);
  EXPECT_EQ(invid->Decoder.CurrentColumn, 400);
  EXPECT_FALSE(detail.isVisible());

  // A plain click shows the detailed view, and a drag moves it; once closed, new lines do not
  // reopen it.
  MouseClick(invid.get(), {10, 10});
  EXPECT_TRUE(detail.isVisible());
  EXPECT_EQ(detail.DetailPicture, &invid->Decoder.Picture);
  test::MousePress(invid.get(), {10, 10});
  test::MouseMove(invid.get(), {200, 10});
  EXPECT_EQ(detail.DetailCentreX, 1810 * 200 / invid->DisplayRect.Right);
  test::MouseRelease(invid.get(), {200, 10});
  detail.close();
  invid->Decoder.ManualStart();
  invid->InVidTimerTimer();
  EXPECT_FALSE(detail.isVisible());
}

// The panel's empty part is not the picture: with the mark armed or the clock calibration
// pending, a press there must not shift the received rows or count as a corner.
TEST_F(InVideoTest, PressesOnThePanelNeverReachThePicture) {
  TDetail detail;
  PrepareMark(0x111111);
  const QPoint empty(45, invid->Panel->height() - 30);  // below the buttons, beside the bar
  ASSERT_EQ(invid->Panel->childAt(empty), nullptr);

  MouseClick(invid->MarkLeftBtn);
  MouseClick(invid->Panel, empty);
  test::MousePress(invid->Panel, empty);
  test::MouseMove(invid->Panel, empty - QPoint(20, 0));
  test::MouseRelease(invid->Panel, empty - QPoint(20, 0));
  EXPECT_TRUE(invid->MarkLeftBtn->isChecked());
  EXPECT_EQ(invid->Decoder.Picture.Pixel(0, 0), 0x111111u);
  EXPECT_EQ(invid->Decoder.CurrentColumn, 500);
  EXPECT_FALSE(detail.isVisible());
  MouseClick(invid.get(), PictureColumnAt(1));  // the picture still takes the mark
  EXPECT_FALSE(invid->MarkLeftBtn->isChecked());

  // The configuration window's clock calibration waits for its first corner.
  std::filesystem::create_directory(dir.File("Auto"));
  const auto* raw = reinterpret_cast<const unsigned char*>(&Settings);
  dir.Write(kSettingsFileName, {raw, raw + sizeof Settings});
  SetProgramFolder(dir.Path());
  {
    TConf conf;
    conf.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&conf));
    MouseClick(conf.CalcClockCal);
    ASSERT_TRUE(ClockCalibration().Pending());
    const std::size_t boxesBefore = boxes.Shown.size();
    MouseClick(invid->Panel, empty);
    EXPECT_EQ(ClockCalibration().Stage(), 1);
    EXPECT_EQ(boxes.Shown.size(), boxesBefore);
    MouseClick(invid.get(), {50, 20});
    EXPECT_EQ(ClockCalibration().Stage(), 2);
    ASSERT_EQ(boxes.Shown.size(), boxesBefore + 1);
    EXPECT_EQ(boxes.Shown.back().Text,
              "Now click on the bottom left (or right) corner of the picture.");
  }

  // The right button on the panel still opens the window's menu.
  ASSERT_TRUE(test::ChooseFromPopup(invid->Panel, empty, invid->PopupMenu, "Hi&de Spectrum"));
  EXPECT_TRUE(IsOn(Settings.HideSpectrum));
}

TEST_F(InVideoTest, SaveAsWritesTheRowsReceivedSoFar) {
  invid->Decoder.ManualStart();
  invid->Decoder.Picture.FillRect(0, 0, 1810, 2250, GreyColour(90));
  invid->Decoder.CurrentLine = 2;
  invid->InVidTimerTimer();
  ASSERT_EQ(invid->Decoder.SaveHeight, 3);
  dialogs.SaveAnswer = dir.File("mid.bmp");
  MouseClick(invid->SaveAsBtn);
  const Bitmap saved = ReadBmpFile(dir.File("mid.bmp"));
  EXPECT_EQ(saved.Width(), 1810);
  EXPECT_EQ(saved.Height(), 3);
  EXPECT_EQ(saved.Pixel(1809, 2), GreyColour(90));
  EXPECT_EQ(std::string(Settings.SaveDir), dir.Path());
  EXPECT_EQ(invid->Decoder.CurrentLine, 2);  // reception goes on where it was

  // After Start reception the next tick leaves one row to save.
  MouseClick(invid->RxTopBtn);
  invid->InVidTimerTimer();
  EXPECT_EQ(invid->Decoder.SaveHeight, 1);
  ASSERT_TRUE(Menu("Save &As"));
  EXPECT_EQ(ReadBmpFile(dir.File("mid.bmp")).Height(), 1);

  // The viewer's save dialog opens where the reception window saved.
  TViewPic view;
  view.LoadPicture(dir.File("mid.bmp"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  dialogs.SaveAnswer.reset();
  MouseClick(view.SaveAsBtn);
  EXPECT_EQ(dialogs.Saves.back().Folder, dir.Path());
}

TEST_F(InVideoTest, PrintsTheWholePictureWithItsFooterAndViewsInTheViewer) {
  test::FakePrinter printer;
  printer.Width = 3620;
  printer.Height = 4500;
  invid->Decoder.SaveHeight = 10;
  MouseClick(invid->PrintBtn);
  EXPECT_EQ(printer.Calls, (std::vector<std::string>{"choose", "begin Zarvo Meteo",
                                                     "picture 1810x2250 into 3620x4500",
                                                     "text 0,4400 10pt Zarvo Meteo", "end"}));

  WriteGreyBmp(dir.File("old.bmp"), Bitmap(30, 20, GreyColour(40)), 20);
  TViewPic view;
  dialogs.OpenAnswer = {dir.File("old.bmp"), dir.File("other.bmp")};
  MouseClick(invid->ViewBtn);
  EXPECT_FALSE(dialogs.Opens[0].DefaultExtension);
  EXPECT_TRUE(view.isVisible());
  EXPECT_EQ(view.windowTitle(), "View old.bmp");
  EXPECT_EQ(std::string(Settings.ViewDir), dir.Path());
}

// Reception goes on while the save dialog is open; the file holds what the picture holds once
// the user has chosen it: the rows that came meanwhile, or the new fax that began meanwhile.
TEST_F(InVideoTest, SaveAsWritesWhatHoldsDataWhenTheFileIsWritten) {
  test::Pty line;
  ASSERT_TRUE(line.Ok());
  Open(&line);
  const auto lines = [&](int n) { return test::Samples(3600 * n, test::SampleFor(1900)); };
  MouseClick(invid->RxTopBtn);
  Receive(line, lines(2));
  const int before = invid->Decoder.SaveHeight;
  ASSERT_GE(before, 2);
  dialogs.SaveAnswer = dir.File("grown.bmp");
  dialogs.WhileOpen = [&] { Receive(line, lines(5)); };
  MouseClick(invid->SaveAsBtn);
  EXPECT_GE(invid->Decoder.SaveHeight, before + 5);
  EXPECT_EQ(ReadBmpFile(dir.File("grown.bmp")).Height(), invid->Decoder.SaveHeight);

  // A start tone while the dialog is open: the new fax's rows, not the old fax's count.
  const int old = invid->Decoder.SaveHeight;
  test::Samples start;
  test::AppendTone(start, 300, 1200, Settings.SamplePeriod);  // taken after its first half second
  test::Append(start, 3600, test::SampleFor(1900));
  dialogs.SaveAnswer = dir.File("new.bmp");
  dialogs.WhileOpen = [&] { Receive(line, start); };
  MouseClick(invid->SaveAsBtn);
  ASSERT_LT(invid->Decoder.SaveHeight, old);
  EXPECT_EQ(ReadBmpFile(dir.File("new.bmp")).Height(), invid->Decoder.SaveHeight);
}

// A short broadcast as a receiver's sound, played in place of the box's port: as fast as the
// decoder goes, its fax saved into Auto as one from the box; in real time, stopped from the menu.
// What is no recording is refused, and the port stays as it was.
TEST_F(InVideoTest, PlaysARecordingInPlaceOfTheInput) {
  SetProgramFolder(dir.Path());
  Settings.DeleteDays = 7;
  const auto sound =
      sim::MakeBroadcastAudio(sim::TestChart(200), {.Lpm = 240}, sim::kDefaultAudioRate);
  AudioFileWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Create(dir.File("broadcast.wav"), sim::kDefaultAudioRate, error) &&
              writer.Write(sound.data(), sound.size(), error) && writer.Close(error))
      << error;
  std::ofstream(dir.File("notes.txt")) << "no sound in here\n";

  SerialPort* box = invid->Receive.Link.ComHandle.get();
  dialogs.OpenAnswer = {dir.File("notes.txt")};
  AnswerPlayDialog(true);
  ASSERT_TRUE(Menu("Play &recording..."));
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text.rfind("Unable to play \"notes.txt\": ", 0), 0u);
  EXPECT_EQ(invid->Receive.Link.ComHandle.get(), box);

  QSignalSpy titles(invid.get(), &QWidget::windowTitleChanged);
  const auto shown = [&titles](const char* title) {
    return std::any_of(titles.begin(), titles.end(), [title](auto& t) { return t[0] == title; });
  };
  dialogs.OpenAnswer = {dir.File("broadcast.wav")};
  AnswerPlayDialog(true);
  ASSERT_TRUE(Menu("Play &recording..."));
  EXPECT_TRUE(shown("Incoming Fax: Playing broadcast.wav"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !invid->Receive.Playing(); }, 120000));
  EXPECT_TRUE(shown("Incoming Fax: Recording played"));
  EXPECT_EQ(invid->PlayItem->text(), "Play &recording...");
  std::vector<std::filesystem::path> saved;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("Auto")))
    saved.push_back(entry.path());
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_NEAR(ReadBmpFile(saved[0].string()).Height(), 200, 8);  // a row a line at IOC 576
  EXPECT_EQ(opener->Opened.size(), 2u);                          // the box's port again

  AnswerPlayDialog(false);
  ASSERT_TRUE(Menu("Play &recording..."));
  EXPECT_TRUE(openedFast);  // as last played
  EXPECT_TRUE(invid->Receive.Playing());
  ASSERT_TRUE(Menu("Stop playing &recording"));
  EXPECT_FALSE(invid->Receive.Playing());
  EXPECT_EQ(opener->Opened.size(), 3u);
  EXPECT_EQ(boxes.Shown.size(), 1u);
}

}  // namespace
}  // namespace zarvo
