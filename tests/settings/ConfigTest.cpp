// The configuration window on Qt's offscreen platform: what its creation makes of the record,
// the interface and port choices acting on the open port, the options, and the calibrations.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/ProgramFolder.h"
#include "reception/InVideo.h"
#include "settings/ClockCalibration.h"
#include "settings/CommaLocale.h"
#include "settings/Config.h"
#include "settings/SettingsDescription.h"
#include "support/FakeSerial.h"
#include "support/Pty.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"

// A failed comparison shows a QString as its text.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace zarvo {
namespace {

using namespace std::chrono_literals;

// The user's hand. A radio button or check box is clicked on its indicator (its label may end
// well before the middle of the control), anything else in its middle; the event loop runs after
// each action.
QPoint WhereTheUserClicks(QWidget* control) {
  QStyleOptionButton option;
  option.initFrom(control);
  if (qobject_cast<QRadioButton*>(control))
    return control->style()
        ->subElementRect(QStyle::SE_RadioButtonIndicator, &option, control)
        .center();
  if (qobject_cast<QCheckBox*>(control))
    return control->style()
        ->subElementRect(QStyle::SE_CheckBoxIndicator, &option, control)
        .center();
  return control->rect().center();
}

void Click(QWidget* control) {
  QTest::mouseClick(control, Qt::LeftButton, {}, WhereTheUserClicks(control));
  QCoreApplication::processEvents();
}

// Clicks into the edit, selects all of it and types the new text over it.
void TypeOver(QLineEdit* edit, const QString& text) {
  Click(edit);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, text);
  QCoreApplication::processEvents();
}

void Press(QWidget* control, Qt::Key key, int times = 1) {
  for (int i = 0; i < times; ++i) QTest::keyClick(control, key);
  QCoreApplication::processEvents();
}

template <typename Done>
bool WaitFor(Done done, std::chrono::milliseconds limit = 3s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    QTest::qWait(10);
  }
  return true;
}

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    SetProgramFolder(home.Path());
    ClearSettings(Settings);
    ResetMessageState();
    saved = getenv("ZARVO_COM1");
    setenv("ZARVO_COM1", line.SlavePath().c_str(), 1);
  }
  void TearDown() override {
    invid.reset();
    conf.reset();
    SetProgramFolder("");
    setenv("ZARVO_COM1", saved.c_str(), 1);
  }
  void WriteRecord(const std::string& description) {
    TSettings record{};
    std::string error;
    ASSERT_TRUE(ParseSettingsDescription(description, record, error)) << error;
    WriteBytes(record);
  }
  void WriteBytes(const TSettings& record) {
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&record);
    home.Write(kSettingsFileName, std::vector<std::uint8_t>(raw, raw + sizeof record));
  }
  void Open(bool withReception) {
    conf = std::make_unique<TConf>();
    if (withReception) invid = std::make_unique<TInVid>();
  }
  // Opened by the user before working it.
  void ShowConf() {
    conf->show();
    conf->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(conf.get()));
  }
  // A click on the reception window's picture, in its client coordinates.
  void ClickPicture(int x, int y) {
    QTest::mouseClick(invid.get(), Qt::LeftButton, {}, QPoint(x, y));
    QCoreApplication::processEvents();
  }
  test::TempDir home;
  test::Pty line;
  std::string saved;
  test::RecordingBoxes boxes;
  std::unique_ptr<TConf> conf;
  std::unique_ptr<TInVid> invid;
};

const char* kQuorvex =
    "InterfaceType = 1\nComPort = 1\nComPortName = COM1\nCalLow = 0\nCalHigh = 255\n"
    "DataRate = 7200\nBaudRate = 115200\nParity = 3\nStopBits = 2\nDeleteDays = 7\n";

TEST_F(ConfigTest, StartUpReDerivesTheStoredType) {
  WriteRecord("InterfaceType = 3\nCalLow = 50\nCalHigh = 150\nClockCal = 0.25\nComPort = 7\n");
  Open(false);
  EXPECT_TRUE(conf->InterfaceTypeItems[2]->isChecked());
  EXPECT_EQ(Settings.CalLow, 28);
  EXPECT_EQ(Settings.CalHigh, 184);
  EXPECT_EQ(Settings.DataRate, 5760);
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.1f);  // the track bar's limit
  EXPECT_EQ(conf->ClockLabel->text(), "0.1000 %");
  EXPECT_EQ(Settings.ComPort, 4);  // above the list: the last entry, stored as a click
  EXPECT_EQ(TextOf(Settings.ComPortName), "COM4");
  EXPECT_FALSE(conf->CalLow->isEnabled());
  EXPECT_TRUE(conf->AutoPTCII->isEnabled());
  EXPECT_FALSE(conf->Store->isEnabled());
  EXPECT_FALSE(conf->isVisible());
  EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(ConfigTest, StartUpEdgeValues) {
  // Type 0: nothing chosen, the stored line settings stay, the edits keep their first text.
  WriteRecord(
      "InterfaceType = 0\nBaudRate = 9600\nDataRate = 4800\nCalLow = 3\nCalHigh = 9\n"
      "ClockCal = 0.00004\n");
  Open(false);
  for (QRadioButton* item : conf->InterfaceTypeItems) EXPECT_FALSE(item->isChecked());
  EXPECT_EQ(Settings.BaudRate, 9600);
  EXPECT_EQ(Settings.CalLow, 3);
  EXPECT_EQ(conf->CalLow->text(), "123.45");
  EXPECT_TRUE(conf->AutoPTCII->isEnabled());
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.0f);  // quantized to 0.0001 %
  conf.reset();

  // A type above 5 is the last one.
  WriteRecord("InterfaceType = 9\nCalLow = 1\nCalHigh = 2\n");
  Open(false);
  EXPECT_TRUE(conf->InterfaceTypeItems[4]->isChecked());
  EXPECT_EQ(Settings.InterfaceType, 5);
  EXPECT_EQ(TextOf(Settings.InterfaceName), "Morvant 1/2/3");
}

TEST_F(ConfigTest, AllZeroFileGivesBothReports) {
  WriteBytes(TSettings{});
  Open(false);
  ASSERT_EQ(boxes.Shown.size(), 2u);
  EXPECT_EQ(boxes.Shown[0].Text, "Bad interface calibration factors, reset to default.");
  EXPECT_EQ(boxes.Shown[1].Text, "Bad Interface Data Rate, reset to default.");
  EXPECT_EQ(Settings.DataRate, 7200);
  EXPECT_EQ(Settings.CalHigh, 255);
}

TEST_F(ConfigTest, PtcChoiceReopensThePortWithItsLine) {
  WriteRecord(kQuorvex);
  Open(true);
  ShowConf();
  ASSERT_NE(invid->Receive.Link.ComHandle, nullptr);
  Click(conf->InterfaceTypeItems[2]);
  EXPECT_TRUE(conf->InterfaceTypeItems[2]->isChecked());
  EXPECT_EQ(Settings.CalLow, 28);
  EXPECT_EQ(Settings.CalHigh, 184);
  EXPECT_FALSE(conf->CalLow->isEnabled());
  EXPECT_FALSE(conf->CalcAudioCal->isEnabled());
  EXPECT_TRUE(conf->AutoPTCII->isEnabled());
  EXPECT_EQ(conf->CalLow->text(), "-7.45");
  // The pseudo-terminal's line: 57600 baud, 8 bits, one stop bit.
  termios seen{};
  ASSERT_EQ(tcgetattr(line.Master(), &seen), 0);
  EXPECT_EQ(cfgetospeed(&seen), B57600);
  EXPECT_EQ(seen.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(seen.c_cflag & CSTOPB);

  // Quorvex after PTC-II keeps the calibration and gives the edits back.
  Click(conf->InterfaceTypeItems[0]);
  EXPECT_EQ(Settings.CalLow, 28);
  EXPECT_EQ(Settings.CalHigh, 184);
  EXPECT_TRUE(conf->CalLow->isEnabled());
  EXPECT_FALSE(conf->AutoPTCII->isEnabled());
  EXPECT_EQ(Settings.BaudRate, 115200);
  EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(ConfigTest, SameChoiceDoesNothingOtherPortReopensWithoutStartUp) {
  test::FakeSerialOpener opener;
  WriteRecord(std::string(kQuorvex) + "InterfaceType = 2\n");  // Tarsk-bus sends start-up bytes
  Open(true);
  ShowConf();
  ASSERT_EQ(opener.Opened.size(), 1u);
  Click(conf->InterfaceTypeItems[1]);  // already chosen
  Click(conf->ComPortItems[0]);        // already chosen, and working
  EXPECT_EQ(opener.Opened.size(), 1u);
  Click(conf->ComPortItems[1]);
  EXPECT_TRUE(conf->ComPortItems[1]->isChecked());
  ASSERT_EQ(opener.Opened.size(), 2u);
  EXPECT_EQ(opener.Opened[1].Name, "COM2");
  EXPECT_TRUE(opener.Opened[1].Log->Get().empty());  // no start-up sequence on the new port
  const auto first = opener.Opened[0].Log->Get();
  EXPECT_EQ(std::count(first.begin(), first.end(), "write 01"), 1);  // only the program's start
}

// The chosen port chosen again once its reads fail (an unplugged adapter): the core opens it
// again, without the type's start-up commands. The chosen type chosen again still does nothing.
TEST_F(ConfigTest, FailedPortChosenAgainIsReopened) {
  test::FakeSerialOpener opener;
  WriteRecord(std::string(kQuorvex) + "InterfaceType = 2\n");
  Open(true);
  ShowConf();
  ASSERT_EQ(opener.Opened.size(), 1u);
  opener.Last->BytesPerRead = -1;
  InThread& in = *invid->Receive.InputThread;
  ASSERT_TRUE(WaitFor([&] { return in.PortFailed.load(); }));
  Click(conf->InterfaceTypeItems[1]);
  EXPECT_EQ(opener.Opened.size(), 1u);
  Click(conf->ComPortItems[0]);
  ASSERT_EQ(opener.Opened.size(), 2u);
  EXPECT_EQ(opener.Opened[1].Name, "COM1");
  EXPECT_TRUE(opener.Opened[1].Log->Get().empty());
  EXPECT_FALSE(in.PortFailed.load());
  EXPECT_TRUE(boxes.Shown.empty());
}

// The same on a real line: the adapter's device goes away, comes back under the same name, and
// its bytes arrive again once the user chooses the port again.
TEST_F(ConfigTest, UnpluggedAdapterReceivesAgainWhenItsPortIsChosen) {
  WriteRecord(kQuorvex);
  Open(true);
  ShowConf();
  InThread& in = *invid->Receive.InputThread;
  line.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return in.PortFailed.load(); }));
  test::Pty back;
  ASSERT_TRUE(back.Ok());
  setenv("ZARVO_COM1", back.SlavePath().c_str(), 1);
  Click(conf->ComPortItems[0]);
  EXPECT_FALSE(in.PortFailed.load());
  const auto arrived = [&] {
    for (std::int32_t i = 0; i < RxBufferSize; ++i)
      if (in.ByteAt(i) == 0x5A) return true;
    return false;
  };
  ASSERT_TRUE(back.Write(std::vector<std::uint8_t>(144, 0x5A)));  // one write: nobody may read it
  EXPECT_TRUE(WaitFor(arrived));
  EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(ConfigTest, LockedAtStartUpAndUnlocked) {
  WriteRecord(std::string(kQuorvex) + "InterfaceType = 3\nLockControls = 1\n");
  Open(false);
  EXPECT_TRUE(conf->LockControls->isChecked());
  QWidget* nine[] = {conf->LabelInterface,     conf->InterfaceType, conf->ComPort,
                     conf->LabelIncomingVideo, conf->CalLow,        conf->CalHigh,
                     conf->CalcAudioCal,       conf->ClockCal,      conf->CalcClockCal};
  for (QWidget* w : nine) EXPECT_FALSE(w->isEnabled());
  EXPECT_TRUE(conf->DeleteDays->isEnabled());
  ShowConf();
  Click(conf->InterfaceTypeItems[0]);  // locked: the click changes nothing
  EXPECT_TRUE(conf->InterfaceTypeItems[2]->isChecked());
  EXPECT_EQ(Settings.InterfaceType, 3);
  Click(conf->LockControls);
  EXPECT_FALSE(conf->LockControls->isChecked());
  for (QWidget* w : nine) EXPECT_TRUE(w->isEnabled());  // calibration edits too, even for PTC-II
  EXPECT_EQ(Settings.LockControls, 0);
  Click(conf->InterfaceTypeItems[0]);
  EXPECT_EQ(Settings.InterfaceType, 1);
}

TEST_F(ConfigTest, DeleteDaysSnapsBack) {
  WriteRecord(kQuorvex);
  Open(false);
  ShowConf();
  EXPECT_EQ(conf->DeleteDays->text(), "7");
  // Each key acts: "1", "10", then "100" is refused and the edit shows 10 again.
  TypeOver(conf->DeleteDays, "100");
  EXPECT_EQ(Settings.DeleteDays, 10);
  EXPECT_EQ(conf->DeleteDays->text(), "10");
  TypeOver(conf->DeleteDays, "5");
  EXPECT_EQ(Settings.DeleteDays, 5);
  Press(conf->DeleteDays, Qt::Key_Backspace);  // empty is 0, and shows so
  EXPECT_EQ(Settings.DeleteDays, 0);
  EXPECT_EQ(conf->DeleteDays->text(), "0");
  QTest::keyClicks(conf->DeleteDays, "7");  // "07"
  EXPECT_EQ(Settings.DeleteDays, 7);
  EXPECT_EQ(conf->DeleteDays->text(), "7");
  TypeOver(conf->DeleteDays, "-");
  EXPECT_EQ(Settings.DeleteDays, 0);
  EXPECT_EQ(conf->DeleteDays->text(), "0");
}

TEST_F(ConfigTest, StoreTheShownValues) {
  WriteRecord(kQuorvex);
  Open(false);
  ShowConf();
  EXPECT_EQ(conf->CalLow->text(), "-57.95");
  EXPECT_FALSE(conf->Store->isEnabled());
  TypeOver(conf->CalLow, "3.64");
  TypeOver(conf->CalHigh, "236.36");
  EXPECT_TRUE(conf->Store->isEnabled());
  Click(conf->Store);
  EXPECT_EQ(Settings.CalLow, 40);
  EXPECT_EQ(Settings.CalHigh, 200);
  EXPECT_FALSE(conf->Store->isEnabled());
  TypeOver(conf->CalLow, "12");
  TypeOver(conf->CalHigh, "12abc");
  Click(conf->Store);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Low and High factors are equal, please try again.");
  EXPECT_EQ(Settings.CalLow, 40);
}

TEST_F(ConfigTest, ClockTrackBar) {
  WriteRecord(kQuorvex);
  Open(false);
  ShowConf();
  Press(conf->ClockCal, Qt::Key_PageUp, 2);
  Press(conf->ClockCal, Qt::Key_Right, 50);
  EXPECT_EQ(conf->ClockCal->value(), 250);
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.025f);
  EXPECT_EQ(conf->ClockLabel->text(), "0.0250 %");
  EXPECT_NEAR(Settings.SamplePeriod, 0.1389236, 1e-7);
  Press(conf->ClockCal, Qt::Key_End);
  Press(conf->ClockCal, Qt::Key_PageUp);  // held at the end
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.1f);
  EXPECT_EQ(conf->ClockLabel->text(), "0.1000 %");
  Press(conf->ClockCal, Qt::Key_Home);
  EXPECT_FLOAT_EQ(Settings.ClockCal, -0.1f);
  EXPECT_EQ(conf->ClockLabel->text(), "-0.1000 %");
}

// A German desktop (decimal comma in LC_NUMERIC): the window shows its numbers with a dot, reads
// what the user types with either separator, and never stores a text that is not a number as
// something else.
TEST_F(ConfigTest, NumbersOnADecimalCommaDesktop) {
  WriteRecord(std::string(kQuorvex) + "CalLow = 40\nCalHigh = 200\n");
  test::CommaNumbers comma;
  if (!comma.Active()) GTEST_SKIP() << test::CommaNumbers::kMissing;
  Open(false);
  ShowConf();
  EXPECT_EQ(conf->CalLow->text(), "3.64");
  EXPECT_EQ(conf->CalHigh->text(), "236.36");
  EXPECT_EQ(conf->ClockLabel->text(), "0.0000 %");

  TypeOver(conf->CalLow, "-57.95");
  TypeOver(conf->CalHigh, "312.95");
  Click(conf->Store);
  EXPECT_EQ(Settings.CalLow, 0);
  EXPECT_EQ(Settings.CalHigh, 255);
  EXPECT_EQ(conf->CalLow->text(), "-57.95");
  EXPECT_EQ(conf->CalHigh->text(), "312.95");

  TypeOver(conf->CalLow, "3,64");
  TypeOver(conf->CalHigh, "236,36");
  Click(conf->Store);
  EXPECT_EQ(Settings.CalLow, 40);
  EXPECT_EQ(Settings.CalHigh, 200);
  EXPECT_EQ(conf->CalLow->text(), "3.64");
  EXPECT_EQ(conf->CalHigh->text(), "236.36");

  TypeOver(conf->CalLow, "0x10");  // read as 0 and 100
  TypeOver(conf->CalHigh, "100");
  Click(conf->Store);
  EXPECT_EQ(Settings.CalLow, 16);
  EXPECT_EQ(Settings.CalHigh, 84);

  TypeOver(conf->CalLow, "abc");  // 0 and 0
  TypeOver(conf->CalHigh, "0,0");
  Click(conf->Store);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Low and High factors are equal, please try again.");
  EXPECT_EQ(Settings.CalLow, 16);

  Press(conf->ClockCal, Qt::Key_PageUp);
  Press(conf->ClockCal, Qt::Key_Right, 25);
  EXPECT_EQ(conf->ClockLabel->text(), "0.0125 %");
  Press(conf->ClockCal, Qt::Key_Home);
  EXPECT_EQ(conf->ClockLabel->text(), "-0.1000 %");
}

// Qt's application object takes the whole C locale from the environment. It hands LC_NUMERIC
// back to "C", so that texts made printf-style show a dot, and keeps the rest (the day names of
// the saved faxes come from LC_TIME). The comma-locale run of these tests is what checks this.
TEST(ApplicationLocale, NumbersInTheCLocaleTheRestAsTheUserHasIt) {
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  char text[16];
  std::snprintf(text, sizeof text, "%.4f%%", -0.0002);
  EXPECT_STREQ(text, "-0.0002%");
  const char* all = std::getenv("LC_ALL");
  if (all && *all) {
    EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), all);
  }
}

// A tone generator on the line: the box's bytes are 40 for the first tone and 200 for the second.
TEST_F(ConfigTest, ToneCalibrationThroughTheLine) {
  WriteRecord(kQuorvex);
  Open(true);
  ShowConf();
  std::atomic<int> level{40};
  std::atomic<bool> stop{false};
  std::thread box([&] {
    while (!stop) {
      line.Write(std::vector<std::uint8_t>(144, static_cast<std::uint8_t>(level.load())));
      std::this_thread::sleep_for(2ms);
    }
  });
  boxes.OnPrompt = [&](const std::string& prompt) {
    level = prompt.find("2300 Hz") != std::string::npos ? 200 : 40;
    std::this_thread::sleep_for(300ms);  // the tone is on before OK is pressed
  };
  // On a German desktop where the locale exists: the question's numbers must not follow it.
  test::CommaNumbers comma;
  Click(conf->CalcAudioCal);
  stop = true;
  box.join();
  ASSERT_EQ(boxes.Prompts.size(), 2u);
  EXPECT_EQ(boxes.Prompts[0],
            "Apply a 1200 Hz tone to the audio input of the Quorvex.\n"
            "Press OK when ready...");
  EXPECT_EQ(boxes.Shown.back().Text,
            "Computed Calibration Factor Low: 3.64, High: 236.36.\n"
            "Do you want to store these values?");
  EXPECT_EQ(boxes.Shown.back().Title, "");
  EXPECT_EQ(Settings.CalLow, 40);
  EXPECT_EQ(Settings.CalHigh, 200);
  EXPECT_EQ(conf->CalLow->text(), "3.63636363636364");
  EXPECT_TRUE(conf->Store->isEnabled());
}

TEST_F(ConfigTest, EqualTonesAndCancelChangeNothing) {
  WriteRecord(kQuorvex);
  Open(true);
  ShowConf();
  std::atomic<bool> stop{false};
  std::thread box([&] {
    while (!stop) {
      line.Write(std::vector<std::uint8_t>(144, 99));
      std::this_thread::sleep_for(2ms);
    }
  });
  Click(conf->CalcAudioCal);
  boxes.ConfirmAnswer = false;
  Click(conf->CalcAudioCal);
  stop = true;
  box.join();
  EXPECT_EQ(boxes.Prompts.size(), 3u);
  EXPECT_EQ(boxes.Shown.back().Text,
            "Apply a 1200 Hz tone to the audio input of the Quorvex.\n"
            "Press OK when ready...");
  EXPECT_EQ(std::count_if(boxes.Shown.begin(), boxes.Shown.end(),
                          [](const auto& b) {
                            return b.Text == "Low and High factors are equal, please try again.";
                          }),
            1);
  EXPECT_EQ(Settings.CalLow, 0);
  EXPECT_EQ(Settings.CalHigh, 255);
}

// With no port open nothing ever arrives: the measurement shows itself and the user stops it.
TEST_F(ConfigTest, ToneMeasurementCanBeCancelled) {
  test::FakeSerialOpener opener;
  opener.Refuse = true;
  WriteRecord(kQuorvex);
  Open(true);
  ShowConf();
  bool sawProgress = false;
  QTimer::singleShot(800, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* progress = qobject_cast<QProgressDialog*>(w); progress && progress->isVisible()) {
        sawProgress = true;
        if (auto* cancel = progress->findChild<QPushButton*>()) Click(cancel);
      }
  });
  Click(conf->CalcAudioCal);
  EXPECT_TRUE(sawProgress);
  EXPECT_EQ(boxes.Prompts.size(), 1u);  // ended after the first tone
  EXPECT_EQ(Settings.CalLow, 0);
  EXPECT_EQ(Settings.CalHigh, 255);
}

TEST_F(ConfigTest, PictureClockCalibrationIsArmed) {
  WriteRecord(kQuorvex);
  Open(true);
  ShowConf();
  Click(conf->CalcClockCal);
  EXPECT_TRUE(ClockCalibration().Pending());
  EXPECT_EQ(invid->cursor().shape(), Qt::ArrowCursor);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Click on the top left (or right) corner of the picture.");

  // IOC 576, and one picture pixel per client pixel, so that the clicks are the corners.
  Settings.IOC = 1;
  invid->resize(1810 + 87, 1900);
  ASSERT_EQ(invid->DisplayRect.Right, 1810);
  ClickPicture(100, 50);
  EXPECT_EQ(boxes.Shown.back().Text,
            "Now click on the bottom left (or right) corner of the picture.");
  ClickPicture(110, 50);  // the same row: wait for another corner
  EXPECT_TRUE(ClockCalibration().Pending());
  ClickPicture(110, 1850);
  EXPECT_EQ(boxes.Shown.back().Text,
            "Incoming Clock Calibration needs to be corrected with -0.0002%, continue?");
  EXPECT_EQ(conf->ClockCal->value(), -1);
  EXPECT_FLOAT_EQ(Settings.ClockCal, -0.0001f);
  EXPECT_EQ(conf->ClockLabel->text(), "-0.0001 %");
  EXPECT_FALSE(ClockCalibration().Pending());
  EXPECT_EQ(invid->cursor().shape(), Qt::CrossCursor);
  EXPECT_EQ(ClockCalibration().Stage(), 1);
}

TEST_F(ConfigTest, StraightPictureNeedsNoClockCorrection) {
  WriteRecord(std::string(kQuorvex) + "IOC = 1\n");
  Open(true);
  ShowConf();
  invid->resize(1810 + 87, 1900);
  Click(conf->CalcClockCal);
  ClickPicture(100, 50);
  ClickPicture(100, 1850);
  EXPECT_EQ(boxes.Shown.back().Text, "Incoming Clock Calibration already accurate.");
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.0f);
  EXPECT_FALSE(ClockCalibration().Pending());
}

TEST_F(ConfigTest, WindowAsShown) {
  WriteRecord(kQuorvex);
  Open(false);
  conf->show();
  const QImage shot = conf->grab().toImage();
  if (const char* out = getenv("ZARVO_SHOTS")) shot.save(QString(out) + "/configuration.png");
  EXPECT_EQ(shot.size(), QSize(593, 303));
  EXPECT_EQ(conf->windowTitle(), "Configuration Menu");
  conf->close();
  EXPECT_FALSE(conf->isVisible());  // closing only hides it
  EXPECT_NE(Conf, nullptr);
}

}  // namespace
}  // namespace zarvo
