// The reception window and the windows it opens: its commands, scrolling and picture clicks, the
// mode dialog, the spectrum over its buffer and the picture viewer, driven with the mouse and the
// keyboard as the window system delivers them, on the offscreen platform.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "platform/BmpCodec.h"
#include "platform/RunState.h"
#include "reception/InVideo.h"
#include "reception/ModeDialog.h"
#include "reception/PlayDialog.h"
#include "spectrum/Spectrum.h"
#include "support/FakeDialogs.h"
#include "support/FakeSerial.h"
#include "support/FreshState.h"
#include "support/RealInput.h"
#include "viewer/DetailView.h"
#include "viewer/ViewPicture.h"

namespace zarvo {
namespace {

using test::MouseClick;

// A click at `at` in `widget`, then a drag from there to `to`.
void ClickAndDrag(QWidget* widget, QPoint at, QPoint to) {
  MouseClick(widget, at);
  test::MousePress(widget, at);
  test::MouseMove(widget, to);
  test::MouseRelease(widget, to);
}

class InVideoTest : public test::FreshStateTest {
 protected:
  // A Quorvex box on COM1 at 120 LPM, IOC 576, in a 700 x 500 window; the viewer 687 x 500.
  void SetUp() override {
    SetInterfaceTypeFields(1);
    SetComPortFields(1);
    Settings.CalHigh = 255;
    Settings.IOC = 1;
    Settings.DrumSpeed = 2;
    Settings.InVidWindow = {0, 0, 500, 700};
    Settings.ViewPicWindow = {0, 0, 687, 500};
    invid = std::make_unique<TInVid>();
    dialogs.WhileOpen = [] { QTest::qWait(20); };
  }
  void TearDown() override {
    spec.reset();
    invid.reset();
    // The last speed played is the user's: it passes to no other test.
    QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo")).remove("SoundInput");
  }
  bool Menu(const QString& caption) {
    return test::ChooseFromPopup(invid.get(), {100, 100}, invid->PopupMenu, caption);
  }
  // Chooses Play Recording and answers its dialog once it is shown, as the user does: the speed,
  // then OK; notes the speed it opened with.
  bool Play(bool fast) {
    AnswerPlayDialog(fast);
    return Menu("Play &recording...");
  }
  void AnswerPlayDialog(bool fast) {
    QTimer::singleShot(20, invid.get(), [this, fast] {
      auto* dialog = qobject_cast<TPlayDlg*>(QApplication::activeModalWidget());
      if (!dialog || !QTest::qWaitForWindowExposed(dialog)) return AnswerPlayDialog(fast);
      openedFast = dialog->FastItem->isChecked();
      QRadioButton* speed = fast ? dialog->FastItem : dialog->RealTimeItem;
      MouseClick(speed, QPoint(6, speed->height() / 2));
      MouseClick(dialog->OkBtn);
    });
  }
  // The spectrum over this window's buffer, with the test as the writer: the port is closed and
  // the samples laid in by hand.
  void OpenSpectrum() {
    invid->Receive.Link.ClosePort(*invid->Receive.InputThread);
    invid->Receive.InputThread->ResetWritePos();
    spec.reset();
    spec = std::make_unique<TSpec>();
  }
  // Lays in the samples and lets the spectrum thread's requests run until they are taken.
  void Feed(std::initializer_list<std::uint8_t> values, int times) {
    InThread& in = *invid->Receive.InputThread;
    for (int i = 0; i < times; ++i)
      for (std::uint8_t v : values) invid->Receive.RxBuffer[in.WritePos++] = v;
    ASSERT_TRUE(QTest::qWaitFor([&] { return spec->Histogram->SpecReadPos == in.WritePos; }));
  }
  bool openedFast = false;
  test::FakeSerialOpener opener;
  test::FakeFileDialogs dialogs;
  test::FakePrinter printer;
  std::unique_ptr<TInVid> invid;
  std::unique_ptr<TSpec> spec;
  std::unique_ptr<TViewPic> view;
};

// The mode dialog's groups must keep the user's choice through the paint that a click makes
// before Qt reports it.
TEST_F(InVideoTest, CaptionModeDialogAndCommands) {
  // The mode for five seconds, then the title cycle's two steps.
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 120 LPM, IOC 576");
  invid->TitleTimerTimer();
  invid->TitleTimerTimer();
  EXPECT_FALSE(invid->TitleTimer.isActive());

  QStringList captions;
  for (QAction* a : invid->PopupMenu->actions()) captions << a->text();
  EXPECT_EQ(captions,
            (QStringList{"&Start Reception", "Mark &Left Border", "&Mode", "&Print", "&View",
                         "Save &As", "Play &recording...", "", "&Configuration Menu",
                         "Hi&de Spectrum", "Smoo&th Display", "A&bout...", "&Help", "&Exit"}));
  EXPECT_EQ(invid->ExitBtn->toolTip(), "Exit");
  invid->ShowHints(false);  // as the configuration window switches them
  EXPECT_TRUE(invid->ExitBtn->toolTip().isEmpty());

  TModeDlg mode;
  const auto checked = [&] {
    return std::pair(mode.DrumSpeedItems->checkedId(), mode.IOCItems->checkedId());
  };
  invid->Decoder.ManualStart();  // while no picture is open every tick shows the empty status
  MouseClick(invid->ModeBtn);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&mode));
  EXPECT_EQ(checked(), std::pair(2, 1));
  MouseClick(mode.IOCItems->button(0));  // 288 while 120 LPM is chosen: shown at once
  EXPECT_EQ(checked(), std::pair(2, 0));
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 120 LPM, IOC 288");
  QTest::keyClick(mode.DrumSpeedItems->button(1), Qt::Key_Space);
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: 90 LPM, IOC 288");
  // The decoder changes the mode: the dialog follows, and a repaint keeps it there.
  Settings.IOC = 1;
  invid->Decoder.SetMode(0);
  mode.repaint();
  EXPECT_EQ(checked(), std::pair(0, 1));

  // Start reception, mid-picture, from the button and from the menu.
  for (const bool byMenu : {false, true}) {
    invid->Decoder.CurrentLine = 900;
    byMenu ? (void)Menu("&Start Reception") : MouseClick(invid->RxTopBtn);
    EXPECT_EQ(invid->Decoder.CurrentLine, 0) << byMenu;
  }
  EXPECT_EQ(invid->windowTitle(), "Incoming Fax: manual start");

  // Exit asks first.
  for (const bool answer : {false, true}) {
    boxes.Answer = answer;
    MouseClick(invid->ExitBtn);
    EXPECT_EQ(MainClosed(), answer);
  }
  EXPECT_EQ(boxes.Shown.at(0).Text, "Are you sure you want to exit Zarvo Meteo?");
}

// Of a new line only the rows since the last one are repainted: on the screen, not in a grab.
TEST_F(InVideoTest, NewRowsPaintedAndScrollingKeepsTheUsersPlaceUntilItsTimer) {
  ASSERT_TRUE(QTest::qWaitFor([&] { return !invid->ScrollTimer.isActive(); }));
  QTest::qWait(20);  // laid out once and painted
  invid->Decoder.ManualStart();
  invid->Decoder.Picture.FillRect(0, 0, 1810, 200, 0);
  invid->Decoder.CurrentLine = 200;
  invid->Decoder.EndOfTick();
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return (invid->screen()->grabWindow(invid->winId()).toImage().pixel(100, 50) & 0xFFFFFF) == 0;
  }));
  QScrollBar* bar = invid->ScrollBar;
  const QPoint grip = test::ScrollThumb(bar).center(), down = grip + QPoint(0, 100);
  test::MousePress(bar, grip);
  test::MouseMove(bar, down);  // dragging the thumb down
  const int top = invid->DisplayRect.Top;
  EXPECT_EQ(std::tuple(invid->UserScrolling, invid->ScrollTimer.interval(), top),
            std::tuple(true, 10000, -bar->sliderPosition()));
  invid->Decoder.CurrentLine = 210;
  invid->Decoder.EndOfTick();  // new lines do not move the view
  invid->ScrollTimerTimer();   // ten seconds later, still held
  EXPECT_TRUE(invid->UserScrolling && invid->DisplayRect.Top == top);
  test::MouseRelease(bar, down);
  invid->ScrollTimerTimer();
  EXPECT_FALSE(invid->UserScrolling || invid->ScrollTimer.isActive());

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
  dir.Write("Auto", {'x'});  // a file where the folder should be
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
  EXPECT_EQ(boxes.Shown.size(), 2u);
}

// Clicks on the picture go to the armed mark, else to the detailed view. The panel's empty part
// is not the picture: a press or a drag there must not shift the received rows (there is no
// undo) nor show the detail.
TEST_F(InVideoTest, ClicksGoToTheMarkThenTheDetailButNeverFromThePanel) {
  TDetail detail;
  invid->InVidTimer.stop();
  invid->Decoder.SaveHeight = 10;
  invid->Decoder.Picture.SetPixel(100, 0, 0x123456);
  invid->Decoder.CurrentColumn = 500;                   // the line being written moves with its row
  const QPoint empty(45, invid->Panel->height() - 30);  // below the buttons, beside the bar
  ASSERT_EQ(invid->Panel->childAt(empty), nullptr);
  MouseClick(invid->MarkLeftBtn);
  EXPECT_EQ(invid->cursor().shape(), Qt::ArrowCursor);
  ASSERT_TRUE(Menu("Mark &Left Border"));  // chosen again, it stays armed
  ClickAndDrag(invid->Panel, empty, empty - QPoint(20, 0));
  EXPECT_TRUE(invid->MarkLeftBtn->isChecked() && invid->Decoder.CurrentColumn == 500);
  MouseClick(invid.get(), {(100 * invid->DisplayRect.Right + TDecoder::W - 1) / TDecoder::W, 2});
  EXPECT_TRUE(!invid->MarkLeftBtn->isChecked() && invid->cursor().shape() == Qt::CrossCursor);
  EXPECT_EQ(std::pair(invid->Decoder.Picture.Pixel(0, 0), invid->Decoder.CurrentColumn),
            std::pair(0x123456u, 400));
  EXPECT_FALSE(detail.isVisible());

  // A plain click shows the detailed view, and a drag moves it; once closed, new lines do not
  // reopen it.
  ClickAndDrag(invid.get(), {10, 10}, {200, 10});
  EXPECT_TRUE(detail.isVisible() && detail.DetailPicture == &invid->Decoder.Picture);
  EXPECT_EQ(detail.DetailCentreX, 1810 * 200 / invid->DisplayRect.Right);
  detail.close();
  invid->Decoder.ManualStart();
  invid->InVidTimerTimer();
  EXPECT_FALSE(detail.isVisible());

  // The right button on the panel still opens the window's menu.
  ASSERT_TRUE(test::ChooseFromPopup(invid->Panel, empty, invid->PopupMenu, "Hi&de Spectrum"));
  EXPECT_TRUE(IsOn(Settings.HideSpectrum));
}

// Twenty seconds of sound played in place of the box's port: as fast as the decoder goes, over
// well before their time; in real time, stopped from the menu; the box's port opened again after
// each. What is no recording is refused, and the port stays as it was. Save as writes the rows
// received when the file is chosen, as reception goes on while the dialog is open; Print gives
// the whole picture with its footer; View shows a file in the viewer.
TEST_F(InVideoTest, FileCommands) {
  dir.WriteSound("sound.wav", std::vector<float>(20 * 8000, 0.25f), 8000);
  dir.Write("bad.bmp", {'X', 'Y', 0, 0, 0, 0});

  dialogs.OpenAnswer = {dir.File("bad.bmp")};
  ASSERT_TRUE(Play(true));
  EXPECT_EQ(boxes.Shown.at(0).Text.rfind("Unable to play \"bad.bmp\": ", 0), 0u);

  QSignalSpy titles(invid.get(), &QWidget::windowTitleChanged);
  const auto shown = [&](const char* title) { return titles.contains({QString(title)}); };
  dialogs.OpenAnswer = {dir.File("sound.wav")};
  ASSERT_TRUE(Play(true));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !invid->Receive.Playing(); }, 10000));
  EXPECT_TRUE(shown("Incoming Fax: Playing sound.wav") && shown("Incoming Fax: Recording played"));

  ASSERT_TRUE(Play(false));
  EXPECT_TRUE(openedFast);  // as last played
  ASSERT_TRUE(Menu("Stop playing &recording"));
  EXPECT_EQ(opener.Opened.size(), 3u);  // the box's port again after each

  invid->InVidTimer.stop();
  invid->Decoder.ManualStart();
  invid->Decoder.Picture.FillRect(0, 0, 1810, 2250, GreyColour(90));
  invid->Decoder.CurrentLine = 2;  // its rows counted at the next tick, while the dialog is open
  dialogs.SaveAnswer = dir.File("mid.bmp");
  dialogs.WhileOpen = [&] { invid->InVidTimerTimer(); };
  MouseClick(invid->SaveAsBtn);
  const Bitmap mid = ReadBmpFile(dir.File("mid.bmp"));
  EXPECT_EQ(std::tuple(mid.Height(), mid.Pixel(1809, 2), std::string(Settings.SaveDir)),
            std::tuple(3, GreyColour(90), dir.Path()));

  MouseClick(invid->PrintBtn);
  EXPECT_EQ(printer.Calls.at(2), "picture 1810x2250 into 4500x5593");  // the whole picture
  EXPECT_EQ(printer.Calls.at(3), "text 0,5900 10pt Zarvo Meteo");

  // View takes the first of the files chosen, and its folder; a file that is no bitmap is
  // reported, and the picture shown and the folder stay.
  view = std::make_unique<TViewPic>();
  dialogs.OpenAnswer = {dir.File("mid.bmp"), dir.File("bad.bmp")};
  MouseClick(invid->ViewBtn);
  EXPECT_EQ(std::string(Settings.ViewDir), dir.Path());
  std::strcpy(Settings.ViewDir, "/unchanged");
  dialogs.OpenAnswer = {dir.File("bad.bmp")};
  MouseClick(invid->ViewBtn);
  EXPECT_EQ(boxes.Shown.at(1).Text, "Bitmap image is not valid.");
  EXPECT_EQ(std::tuple(view->windowTitle(), view->Picture.Height(), std::string(Settings.ViewDir),
                       dialogs.Opens[0].DefaultExtension),
            std::tuple(QString("View mid.bmp"), 3, std::string("/unchanged"), false));
}

// The worst moment: a request waits for the GUI thread, which is busy destroying the window.
// Tones at 1500 and 2300 Hz, four screen pixels to a picture pixel. A double click gives back the
// picture's own size; a close is refused; the reception window's Hide Spectrum hides it. Hidden,
// the spectrum is kept current all the same; without the receive side nothing is taken.
TEST_F(InVideoTest, SpectrumDestroyedWhileItsThreadWaitsStretchedAndHidden) {
  Settings.SpecWindow = {30, 40, 128, 512};  // left, top, client height, client width
  for (int round = 0; round < 10; ++round) {
    OpenSpectrum();
    Feed({static_cast<std::uint8_t>(60 + round)}, 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a request is now waiting
    const auto start = std::chrono::steady_clock::now();
    spec.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    QTest::qWait(30);  // a request still queued must not reach the window that has gone
  }
  OpenSpectrum();
  Feed({70, 255}, 400);
  const QImage shot = spec->grab().toImage();
  ASSERT_EQ(shot.size(), QSize(512, 128));
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(shot.pixel(x, y) & 0xFFFFFFu, spec->Histogram->SpecBitmap.Pixel(x / 4, y / 4))
          << x << "," << y;
  spec->showMaximized();
  QTest::mouseDClick(spec.get(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE((spec->windowState() & Qt::WindowMaximized) || spec->close() ||
               spec->windowHandle()->close());
  EXPECT_EQ(std::pair(spec->width(), spec->height()), std::pair(128, 32));
  ASSERT_TRUE(Menu("Hi&de Spectrum"));
  EXPECT_TRUE(IsOn(Settings.HideSpectrum) && !spec->isVisible());

  OpenSpectrum();
  EXPECT_FALSE(spec->isVisible());
  Feed({70}, 100);
  invid->Receive.ReleaseBuffer();
  QTest::qWait(50);
  invid.reset();
  QTest::qWait(50);
  EXPECT_EQ(spec->Histogram->SpecReadPos, 100);
}

// Wired as the program wires the two windows, a spectrum update that took samples drains the
// decoder with it: at each, the decoder's reader is where the spectrum's is.
TEST_F(InVideoTest, SpectrumUpdateDrainsTheDecoderWithIt) {
  OpenSpectrum();
  QObject::connect(spec.get(), &TSpec::Updated, invid.get(), &TInVid::SpectrumUpdated);
  std::vector<std::pair<std::int32_t, std::int32_t>> readers;
  QObject::connect(spec.get(), &TSpec::Updated, [&] {
    readers.emplace_back(invid->Receive.ReadPos, spec->Histogram->SpecReadPos);
  });
  Feed({90, 160}, 300);
  Feed({120}, 200);
  ASSERT_FALSE(readers.empty());
  for (const auto& [decoder, spectrum] : readers) EXPECT_EQ(decoder, spectrum);
}

}  // namespace
}  // namespace zarvo
