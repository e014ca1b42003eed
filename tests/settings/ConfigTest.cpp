// The configuration window on Qt's offscreen platform: what its creation makes of the record,
// the interface and port choices acting on the open port, the options, and the calibrations.
#include <gtest/gtest.h>

#include <cstring>

#include "reception/InVideo.h"
#include "settings/ClockCalibration.h"
#include "settings/Config.h"
#include "sim/Broadcast.h"
#include "support/FakeDevices.h"
#include "support/FakeSerial.h"
#include "support/FreshState.h"
#include "support/ProgramRun.h"
#include "support/RealInput.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

// A radio button or check box is clicked on its mark (its label may end well before its
// middle), anything else in its middle.
void Click(QWidget* control) {
  auto* button = qobject_cast<QAbstractButton*>(control);
  test::MouseClick(control, button && button->isCheckable() ? QPoint(6, control->height() / 2)
                                                            : control->rect().center());
  QCoreApplication::processEvents();
}

void TypeOver(QWidget* edit, const QString& text, bool enter = false) {
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, text);
  if (enter) QTest::keyClick(edit, Qt::Key_Return);
}

const char* kEqual = "Low and High factors are equal, please try again.";

// The user's sound, device and straightening choices live beside the test run: none may pass
// from one test to the next.
void ForgetSoundChoices() {
  QSettings store(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo"));
  for (const char* group : {"SoundInput", "SerialDevices", "Reception"}) store.remove(group);
  ClockCalibration() = {};
  SoundInput() = {};
  for (int n = 1; n <= kComPortCount; ++n) ChosenComDevice(n).clear();
  SetSoundSourceLister(nullptr);
}

class ConfigTest : public test::FreshStateTest {
 protected:
  void SetUp() override {
    ForgetSoundChoices();
    setenv("ZARVO_COM1", line.SlavePath().c_str(), 1);
  }
  void TearDown() override {
    invid.reset();
    conf.reset();
    ForgetSoundChoices();
    setenv("ZARVO_COM1", com1.c_str(), 1);
  }
  // The window created on the record (and the reception window), and opened by the user.
  void Start(const std::string& description, bool reception = false) {
    ASSERT_TRUE(test::WriteSettingsRecord(dir, description));
    Reopen(reception, [] {});
  }
  // The windows closed and made again, as in the next run, once `forget` has dropped what the
  // run held in memory.
  void Reopen(bool reception, const std::function<void()>& forget) {
    invid.reset();
    conf.reset();
    forget();
    conf = std::make_unique<TConf>();
    if (reception) invid = std::make_unique<TInVid>();
    conf->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(conf.get()));
  }
  // The type chosen; the calibration edits; which of the two edits, the tone-generator button,
  // the PTC-II option, Store, the type and the port's devices can be used (1) and which not (0);
  // the clock label.
  std::string Shown() const {
    std::string s = "type";
    for (int i = 0; i < kInterfaceTypeCount; ++i)
      if (conf->InterfaceTypeItems[i]->isChecked()) s += ' ' + std::to_string(i + 1);
    s += ": " + (conf->CalLow->text() + ' ' + conf->CalHigh->text()).toStdString() + ", ";
    const QWidget* controls[] = {conf->CalLow,    conf->CalHigh, conf->CalcAudioCal,
                                 conf->AutoPTCII, conf->Store,   conf->InterfaceType,
                                 conf->ComDevices};
    for (const QWidget* w : controls) s += w->isEnabled() ? '1' : '0';
    return s + ", " + conf->ClockLabel->text().toStdString();
  }
  test::Pty line;
  std::string com1 = getenv("ZARVO_COM1");
  std::unique_ptr<TConf> conf;
  std::unique_ptr<TInVid> invid;
};

// A click on the chosen type or port does nothing while the port works; another port opens
// without the type's start-up commands, another type with its own line. A tone measured on a
// port that brings nothing shows its progress, and the user can stop it. Then the sound card in
// place of the PTC-II's port: the sound's calibration, measured as a box of types 1-2 is; its
// source and centre reopen it. COM2 gives the box back. Chosen again, it is chosen in the next
// run too, with its clock and centre, and its source kept while absent.
TEST_F(ConfigTest, TypePortAndSoundCardChoices) {
  test::FakeSerialOpener serial;
  test::FakeSoundOpener sound;
  SetSoundSourceLister([](std::vector<SoundSource>& sources, std::string&) {
    sources = {{"usb.in", "USB Audio", false}, {"speakers.monitor", "Monitor of Speakers", true}};
    return true;
  });
  Start(test::FirstTypeOnCom1(7) + "InterfaceType = 2\n", true);  // Tarsk-bus sends start-up bytes
  Click(conf->InterfaceTypeItems[1]);
  Click(conf->ComPortItems[0]);
  serial.NextBytesPerRead = -1;
  Click(conf->ComPortItems[1]);
  EXPECT_TRUE(serial.Opened.size() == 2 && serial.Opened[1].Name == "COM2" &&
              serial.Opened[1].Log->Calls.empty());
  QTimer::singleShot(800, conf.get(), [] {
    if (auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
      Click(progress->findChild<QPushButton*>());
  });
  Click(conf->CalcAudioCal);
  EXPECT_EQ(boxes.Prompts.size(), 1u);  // ended after the first tone
  Click(conf->InterfaceTypeItems[2]);
  EXPECT_EQ(serial.Opened.back().Line.BaudRate, 57600);
  EXPECT_EQ(Shown(), "type 3: -7.45 219.45, 0001011, 0.0000 %");

  EXPECT_EQ(conf->SoundSourceList->itemText(2), "Monitor of Speakers");
  QTest::keyClick(conf->SoundSourceList, Qt::Key_Down);
  TypeOver(conf->SoundCentre, "1750", true);
  Click(conf->SoundCardItem);
  EXPECT_EQ(Shown(), "type 3: -8.00 248.00, 1111001, 0.0000 %");
  for (int i = 0; i < 5; ++i) QTest::keyClick(conf->ClockCal, Qt::Key_Right);
  QTest::keyClick(conf->SoundSourceList, Qt::Key_Down);
  TypeOver(conf->SoundCentre, "1800", true);
  EXPECT_EQ(sound.Opened,
            (std::vector<std::pair<std::string, double>>{
                {"usb.in", 1750}, {"speakers.monitor", 1750}, {"speakers.monitor", 1800}}));
  Click(conf->ComPortItems[1]);
  EXPECT_EQ(Shown(), "type 3: -7.45 219.45, 0001011, 0.0000 %");
  EXPECT_EQ(boxes.Shown.size(), 1u);  // the prompt

  Click(conf->SoundCardItem);
  Reopen(false, [] {
    SoundInput() = {};
    SetSoundSourceLister(nullptr);
  });
  EXPECT_EQ(Shown(), "type 3: -8.00 248.00, 1111001, 0.0005 %");
  EXPECT_EQ(
      conf->SoundSourceList->currentText() + ' ' + QString::number(conf->SoundCentre->value()),
      "speakers.monitor (not present) 1800");
  EXPECT_EQ(conf->SoundStatus->text(), "This program was built without sound input.");
}

// COM1 opens the adapter remembered by its id; the device picked from those present takes over
// at once and in the next run. An adapter plugged in shows while the window is open, the chosen
// one unplugged stays as "(not present)", and is reported by its path when it does not open.
// $ZARVO_COM2 is shown and cannot be changed.
TEST_F(ConfigTest, SerialDevicePickedFromThosePresent) {
  test::FakeDevices fake;
  test::Pty usb;
  const std::string byId = fake.Link("serial/by-id/usb-FTDI_FT232R-if00-port0", line.SlavePath());
  const std::string ttyUSB0 = fake.Link("ttyUSB0", usb.SlavePath());
  unsetenv("ZARVO_COM1");
  QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo"))
      .setValue(QStringLiteral("SerialDevices/COM1"), QString::fromStdString(byId));
  Start(test::FirstTypeOnCom1(7), true);
  const auto shown = [this](int port) {
    std::vector<std::string> texts{conf->ComDeviceLists[port]->currentText().toStdString()};
    for (int i = 0; i < conf->ComDeviceLists[port]->count(); ++i)
      texts.push_back(conf->ComDeviceLists[port]->itemText(i).toStdString());
    return texts;
  };
  const std::string id = "usb-FTDI_FT232R-if00-port0", absent = ttyUSB0 + " (not present)";
  EXPECT_EQ(shown(0), (std::vector<std::string>{id, "Default: /dev/ttyS0", id, ttyUSB0}));
  EXPECT_TRUE(shown(1)[0] == "$ZARVO_COM2: " + std::string(getenv("ZARVO_COM2")) &&
              !conf->ComDeviceLists[1]->isEnabled());

  // The list opened with a click, and the adapter clicked in it.
  QComboBox* list = conf->ComDeviceLists[0];
  Click(list);
  QAbstractItemView* view = list->view();
  ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
  const QModelIndex item = list->model()->index(list->findText(QString::fromStdString(ttyUSB0)), 0);
  test::MouseClick(view->viewport(), view->visualRect(item).center());
  ASSERT_TRUE(QTest::qWaitFor([view] { return !view->isVisible(); }, 2000));
  InThread& in = *invid->Receive.InputThread;
  ASSERT_TRUE(usb.Write(std::vector<std::uint8_t>(144, 0x5A)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return in.WritePos.load() >= 144; }, 3000));  // from usb only
  const std::string acm = fake.Link("ttyACM0", usb.SlavePath());
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown(0).size() == 5u && shown(0)[4] == acm; }, 3000));
  fake.Unplug("ttyUSB0");
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown(0)[0] == absent; }, 3000));

  Reopen(true, [] { ChosenComDevice(1).clear(); });
  EXPECT_EQ(shown(0)[0], absent);
  EXPECT_EQ(boxes.Shown.empty() ? "" : boxes.Shown.back().Text,
            "Unable to open I/O port \"COM1\", check configuration.\n" + ttyUSB0 + ": " +
                std::strerror(ENOENT));
}

// A record with a type and a port above the lists takes the last ones, its clock is held to the
// track bar. Locked, the input controls refuse the mouse until unlocked; the days do not: above
// 99 they snap back, an empty edit is 0. Quorvex keeps the calibration it finds and gives the
// edits back. Typed calibrations are shown with a dot and read with either separator; Store
// refuses a pair that gives equal factors and stays enabled. Closing only hides the window.
TEST_F(ConfigTest, StartUpLockCalibrationsAndDays) {
  Start(
      "InterfaceType = 9\nCalLow = 50\nCalHigh = 150\nClockCal = 0.25\nComPort = 7\n"
      "DeleteDays = 7\nLockControls = 1\n");
  EXPECT_EQ(Shown(), "type 5: -9.45 281.45, 0000000, 0.1000 %");
  EXPECT_EQ(TextOf(Settings.ComPortName), "COM4");
  Click(conf->InterfaceTypeItems[0]);
  EXPECT_EQ(conf->DeleteDays->text().toStdString(), "7");
  for (auto [keys, days] : {std::pair("100", 10), {"\b", 0}, {"42", 42}}) {
    TypeOver(conf->DeleteDays, keys);  // "1", "10", then "100" is refused
    EXPECT_EQ(Settings.DeleteDays, days) << keys;
    EXPECT_EQ(conf->DeleteDays->text().toStdString(), std::to_string(days)) << keys;
  }
  Click(conf->LockControls);
  EXPECT_EQ(Settings.InterfaceType, 5);
  Click(conf->InterfaceTypeItems[0]);
  EXPECT_EQ(Shown(), "type 1: -9.45 281.45, 1110011, 0.1000 %");
  for (auto [low, high, shown] : {std::tuple("3,64", "236.36", "type 1: 3.64 236.36, 1110011"),
                                  {"12", "12abc", "type 1: 12 12abc, 1110111"}}) {
    TypeOver(conf->CalLow, low);
    TypeOver(conf->CalHigh, high);
    Click(conf->Store);
    EXPECT_EQ(Shown(), shown + std::string(", 0.1000 %"));
    EXPECT_EQ(std::pair(Settings.CalLow, Settings.CalHigh), std::pair(40, 200));
  }
  EXPECT_EQ(boxes.Shown.size() == 1 ? boxes.Shown[0].Text : "", kEqual);
  EXPECT_FALSE(conf->close() || conf->isVisible());  // only hidden
}

// "Straighten automatically" is checked at first; a click on its mark switches the open decoder,
// and the next run starts as the user left it. Three broadcasts from a box 30 ppm fast, decoded
// in one go, ask for the measured correction only once the decoder has returned; Yes moves the
// track bar to its nearest step.
TEST_F(ConfigTest, StraightenOptionAndTheMeasuredCorrection) {
  Start(test::FirstTypeOnCom1(0), true);
  for (const bool on : {true, false}) {
    EXPECT_EQ(std::pair(conf->Straighten->isChecked(), invid->Decoder.Straighten),
              std::pair(on, on));
    Click(conf->Straighten);
    EXPECT_EQ(invid->Decoder.Straighten, !on);
    Reopen(true, [] { ClockCalibration() = {}; });
  }
  sim::BroadcastStream stream(sim::TestChart(100), {.ClockErrorPpm = 30, .Repeat = 3});
  std::vector<std::uint8_t> bytes(1 << 16);
  for (std::size_t count = bytes.size(); stream.Next(bytes.data(), count); count = bytes.size())
    invid->Decoder.Process(bytes.data(), count);
  EXPECT_TRUE(boxes.Shown.empty());
  QCoreApplication::processEvents();
  EXPECT_EQ(boxes.Shown.size() == 1 ? boxes.Shown[0].Text : "",
            "Incoming Clock Calibration needs to be corrected with -0.0030%, continue?");
  EXPECT_EQ(conf->ClockCal->value(), -30);
}

// Qt's application object takes the whole C locale from the environment. It hands LC_NUMERIC
// back to "C", so that texts made printf-style show a dot, and keeps the rest (the day names of
// the saved faxes come from LC_TIME). The comma-locale run of these tests is what checks this.
TEST(ApplicationLocale, NumbersInTheCLocaleTheRestAsTheUserHasIt) {
  char text[16];
  std::snprintf(text, sizeof text, "%.4f%%", -0.0002);
  EXPECT_STREQ(text, "-0.0002%");
  if (const char* all = std::getenv("LC_ALL"); all && *all) {
    EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), all);
  }
}

// A tone generator on the line: equal tones are refused, and bytes of 40 for the first tone and
// 200 for the second are stored on Yes.
TEST_F(ConfigTest, CalibrationFromAToneGenerator) {
  Start(test::FirstTypeOnCom1(7), true);
  std::atomic<int> level{99};
  std::jthread box([&](std::stop_token stop) {  // the interface box, sending `level`
    while (!stop.stop_requested()) {
      line.Write(std::vector<std::uint8_t>(144, static_cast<std::uint8_t>(level.load())));
      std::this_thread::sleep_for(2ms);
    }
  });
  Click(conf->CalcAudioCal);
  EXPECT_EQ(boxes.Shown.back().Text, kEqual);
  boxes.OnPrompt = [&](const std::string& prompt) {
    level = prompt.find("2300 Hz") != std::string::npos ? 200 : 40;
    std::this_thread::sleep_for(300ms);  // the tone is on before OK is pressed
  };
  Click(conf->CalcAudioCal);
  EXPECT_EQ(boxes.Prompts.at(2),
            "Apply a 1200 Hz tone to the audio input of the Quorvex.\nPress OK when ready...");
  EXPECT_EQ(boxes.Shown.back().Title + boxes.Shown.back().Text,  // untitled
            "Computed Calibration Factor Low: 3.64, High: 236.36.\n"
            "Do you want to store these values?");
  EXPECT_EQ(std::pair(Settings.CalLow, Settings.CalHigh), std::pair(40, 200));
  EXPECT_EQ(Shown(), "type 1: 3.63636363636364 236.363636363636, 1110111, 0.0000 %");
}

}  // namespace
}  // namespace zarvo
