// The configuration window on Qt's offscreen platform: what its creation makes of the record,
// the interface and port choices acting on the open port, the options, and the calibrations.
#include <gtest/gtest.h>

#include <QtWidgets>
#include <atomic>
#include <clocale>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/ProgramFolder.h"
#include "reception/InVideo.h"
#include "settings/ClockCalibration.h"
#include "settings/CommaLocale.h"
#include "settings/Config.h"
#include "settings/SettingsDescription.h"
#include "settings/SoundInput.h"
#include "support/FakeDevices.h"
#include "support/FakeSerial.h"
#include "support/Pty.h"
#include "support/RealInput.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// The user's hand: a radio button or check box is clicked on its mark (its label may end well
// before its middle), anything else in its middle; the event loop runs after each action.
void Click(QWidget* control) {
  auto* button = qobject_cast<QAbstractButton*>(control);
  if (button && button->isCheckable())
    test::MouseClick(control, QPoint(6, control->height() / 2));
  else
    test::MouseClick(control);
  QCoreApplication::processEvents();
}

// Clicks into the edit (or spin box), selects all of it and types the new text over it.
void TypeOver(QWidget* edit, const QString& text) {
  Click(edit);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, text);
  QCoreApplication::processEvents();
}

// What the record holds of the window's choices.
std::string Record() {
  std::ostringstream s;
  s << "type " << Settings.InterfaceType << ' ' << TextOf(Settings.InterfaceName) << ", line "
    << Settings.BaudRate << ", rate " << Settings.DataRate << ", cal " << Settings.CalLow << ' '
    << Settings.CalHigh << ", port " << Settings.ComPort << ' ' << TextOf(Settings.ComPortName)
    << ", clock " << Settings.ClockCal;
  return s.str();
}

const char* kQuorvex =
    "InterfaceType = 1\nComPort = 1\nComPortName = COM1\nCalLow = 0\nCalHigh = 255\n"
    "DataRate = 7200\nBaudRate = 115200\nParity = 3\nStopBits = 2\nDeleteDays = 7\n";
const char* kEqual = "Low and High factors are equal, please try again.";
const char* kFirstTone =
    "Apply a 1200 Hz tone to the audio input of the Quorvex.\nPress OK when ready...";

// The user's sound and serial device choices gone from the store and from memory, so that no
// test finds the sound card or a device chosen by another.
void ForgetSoundChoices() {
  QSettings store(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo"));
  store.remove(QStringLiteral("SoundInput"));
  store.remove(QStringLiteral("SerialDevices"));
  store.sync();
  SoundInput() = {};
  for (int n = 1; n <= kComPortCount; ++n) ChosenComDevice(n).clear();
  SetSoundSourceLister(nullptr);
}

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    SetProgramFolder(home.Path());
    ClearSettings(Settings);
    ResetMessageState();
    ForgetSoundChoices();
    saved = getenv("ZARVO_COM1");
    setenv("ZARVO_COM1", line.SlavePath().c_str(), 1);
  }
  void TearDown() override {
    invid.reset();
    conf.reset();
    ForgetSoundChoices();
    SetProgramFolder("");
    setenv("ZARVO_COM1", saved.c_str(), 1);
  }
  // The window created on the record (and the reception window), and opened by the user.
  void Start(const std::string& description, bool reception = false, bool show = true) {
    TSettings record{};
    std::string error;
    ASSERT_TRUE(ParseSettingsDescription(description, record, error)) << error;
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&record);
    home.Write(kSettingsFileName, std::vector<std::uint8_t>(raw, raw + sizeof record));
    conf = std::make_unique<TConf>();
    if (reception) invid = std::make_unique<TInVid>();
    if (!show) return;
    conf->show();
    conf->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(conf.get()));
  }
  // What the window shows: the type chosen, the calibration edits, whether they and the
  // tone-generator button can be used, the PTC-II option, the Store button, the clock label.
  std::string Shown() const {
    int type = 0;
    for (int i = 0; i < kInterfaceTypeCount; ++i)
      if (conf->InterfaceTypeItems[i]->isChecked()) type = i + 1;
    const int edits =
        conf->CalLow->isEnabled() + conf->CalHigh->isEnabled() + conf->CalcAudioCal->isEnabled();
    const auto on = [](QWidget* w) { return w->isEnabled() ? "on" : "off"; };
    std::ostringstream s;
    s << "type " << type << ": " << Edits() << ", edits " << (edits == 3 ? "on" : "off")
      << (edits % 3 ? " (not all)" : "") << ", PTC-II init " << on(conf->AutoPTCII) << ", store "
      << on(conf->Store) << ", clock " << conf->ClockLabel->text().toStdString();
    return s.str();
  }
  std::string Edits() const {
    return (conf->CalLow->text() + ' ' + conf->CalHigh->text()).toStdString();
  }
  std::string Last() const { return boxes.Shown.empty() ? "" : boxes.Shown.back().Text; }
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

// The stored type re-derives its line and fixed calibration at every start, as a click would;
// ClockCal is held to the track bar and its step, a port above the list is the last one. Type 0
// chooses nothing: the stored line and the edits' first text stay. A type above 5 is the last.
// An all-zero file has both its calibration and its data rate repaired.
TEST_F(ConfigTest, StartUpAppliesTheStoredChoices) {
  const struct {
    const char *Stored, *Record, *Shown, *Reports;
  } cases[] = {
      {"InterfaceType = 3\nCalLow = 50\nCalHigh = 150\nClockCal = 0.25\nComPort = 7\n",
       "type 3 PTC-II, line 57600, rate 5760, cal 28 184, port 4 COM4, clock 0.1",
       "type 3: -7.45 219.45, edits off, PTC-II init on, store off, clock 0.1000 %", ""},
      {"InterfaceType = 0\nBaudRate = 9600\nDataRate = 4800\nCalLow = 3\nCalHigh = 9\n"
       "ClockCal = 0.00004\n",
       "type 0 , line 9600, rate 4800, cal 3 9, port 0 , clock 0",
       "type 0: 123.45 123.45, edits on, PTC-II init on, store off, clock 0.0000 %", ""},
      {"InterfaceType = 9\nCalLow = 1\nCalHigh = 2\n",
       "type 5 Morvant 1/2/3, line 57600, rate 5236, cal 36 236, port 0 , clock 0",
       "type 5: -9.45 281.45, edits off, PTC-II init off, store off, clock 0.0000 %", ""},
      {"", "type 0 , line 0, rate 7200, cal 0 255, port 0 , clock 0",
       "type 0: 123.45 123.45, edits on, PTC-II init on, store off, clock 0.0000 %",
       "Bad interface calibration factors, reset to default. "
       "Bad Interface Data Rate, reset to default. "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Stored);
    Start(c.Stored, false, false);
    EXPECT_EQ(Record(), c.Record);
    EXPECT_EQ(Shown(), c.Shown);
    EXPECT_FALSE(conf->isVisible());
    std::string reports;
    for (const auto& box : boxes.Shown) reports += box.Text + ' ';
    EXPECT_EQ(reports, c.Reports);
    boxes.Shown.clear();
    conf.reset();
  }
}

TEST_F(ConfigTest, PtcChoiceReopensThePortWithItsLine) {
  Start(kQuorvex, true);
  ASSERT_NE(invid->Receive.Link.ComHandle, nullptr);
  Click(conf->InterfaceTypeItems[2]);
  EXPECT_EQ(Record(), "type 3 PTC-II, line 57600, rate 5760, cal 28 184, port 1 COM1, clock 0");
  EXPECT_EQ(Shown(), "type 3: -7.45 219.45, edits off, PTC-II init on, store off, clock 0.0000 %");
  // The pseudo-terminal's line: 57600 baud, 8 bits, one stop bit.
  termios seen{};
  ASSERT_EQ(tcgetattr(line.Master(), &seen), 0);
  EXPECT_EQ(cfgetospeed(&seen), B57600);
  EXPECT_EQ(seen.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(seen.c_cflag & CSTOPB);
  // Quorvex after PTC-II keeps the calibration and gives the edits back.
  Click(conf->InterfaceTypeItems[0]);
  EXPECT_EQ(Record(), "type 1 Quorvex, line 115200, rate 7200, cal 28 184, port 1 COM1, clock 0");
  EXPECT_EQ(Shown(), "type 1: -7.45 219.45, edits on, PTC-II init off, store off, clock 0.0000 %");
  EXPECT_TRUE(boxes.Shown.empty());
}

// A click on the chosen type does nothing, one on the chosen port reopens it only once its reads
// have failed (an unplugged adapter). Another port, or the failed one, opens without the type's
// start-up commands.
TEST_F(ConfigTest, PortChosenAgainOrAnotherReopensWithoutStartUp) {
  test::FakeSerialOpener opener;
  Start(std::string(kQuorvex) + "InterfaceType = 2\n", true);  // Tarsk-bus sends start-up bytes
  ASSERT_EQ(opener.Opened.size(), 1u);
  Click(conf->InterfaceTypeItems[1]);
  Click(conf->ComPortItems[0]);
  EXPECT_EQ(opener.Opened.size(), 1u);
  Click(conf->ComPortItems[1]);
  ASSERT_EQ(opener.Opened.size(), 2u);
  EXPECT_TRUE(conf->ComPortItems[1]->isChecked());
  const auto first = opener.Opened[0].Log->Get();
  EXPECT_EQ(std::count(first.begin(), first.end(), "write 01"), 1);  // only the program's start

  opener.Last->BytesPerRead = -1;
  InThread& in = *invid->Receive.InputThread;
  ASSERT_TRUE(QTest::qWaitFor([&] { return in.PortFailed.load(); }, 3000));
  Click(conf->InterfaceTypeItems[1]);
  EXPECT_EQ(opener.Opened.size(), 2u);
  Click(conf->ComPortItems[1]);
  ASSERT_EQ(opener.Opened.size(), 3u);
  EXPECT_FALSE(in.PortFailed.load());
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(opener.Opened[i].Name, "COM2");
    EXPECT_TRUE(opener.Opened[i].Log->Get().empty()) << i;
  }
  EXPECT_TRUE(boxes.Shown.empty());
}

// The same on a real line: the adapter's device goes away, comes back under the same name, and
// its bytes arrive again once the user chooses the port again.
TEST_F(ConfigTest, UnpluggedAdapterReceivesAgainWhenItsPortIsChosen) {
  Start(kQuorvex, true);
  InThread& in = *invid->Receive.InputThread;
  line.CloseMaster();
  ASSERT_TRUE(QTest::qWaitFor([&] { return in.PortFailed.load(); }, 3000));
  test::Pty back;
  ASSERT_TRUE(back.Ok());
  setenv("ZARVO_COM1", back.SlavePath().c_str(), 1);
  Click(conf->ComPortItems[0]);
  EXPECT_FALSE(in.PortFailed.load());
  ASSERT_TRUE(back.Write(std::vector<std::uint8_t>(144, 0x5A)));  // one write: nobody may read it
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        for (std::int32_t i = 0; i < RxBufferSize; ++i)
          if (in.ByteAt(i) == 0x5A) return true;
        return false;
      },
      3000));
  EXPECT_TRUE(boxes.Shown.empty());
}

// The sound card in place of the PTC-II's port: the sound's rate, calibration and clock, its
// calibration measured as a box of types 1-2 is; its source and centre reopen it. COM2 gives the
// box back. Chosen again, it is chosen in the next run too, and Zarvo.cfg keeps the box's. A
// store damaged or edited by hand gives the defaults where it is wrong.
TEST_F(ConfigTest, SoundCardInPlaceOfThePortAndBack) {
  test::FakeSerialOpener serial;
  test::FakeSoundOpener sound;
  SetSoundSourceLister([](std::vector<SoundSource>& sources, std::string&) {
    sources = {{"usb.in", "USB Audio", false}, {"speakers.monitor", "Monitor of Speakers", true}};
    return true;
  });
  Start(std::string(kQuorvex) + "InterfaceType = 3\n", true);
  ASSERT_EQ(conf->SoundSourceList->itemText(2), "Monitor of Speakers");
  QTest::keyClick(conf->SoundSourceList, Qt::Key_Down);
  const auto centre = [this](const char* hz) {
    TypeOver(conf->SoundCentre, hz);
    QTest::keyClick(conf->SoundCentre, Qt::Key_Return);
  };
  centre("1750");
  Click(conf->SoundCardItem);
  EXPECT_EQ(Record(), "type 3 PTC-II, line 57600, rate 7200, cal 32 208, port 1 COM1, clock 0");
  EXPECT_EQ(Shown(), "type 3: -8.00 248.00, edits on, PTC-II init on, store off, clock 0.0000 %");
  EXPECT_FALSE(conf->InterfaceType->isEnabled());
  for (int i = 0; i < 5; ++i) QTest::keyClick(conf->ClockCal, Qt::Key_Right);
  centre("1800");
  QTest::keyClick(conf->SoundSourceList, Qt::Key_Down);
  EXPECT_EQ(sound.Opened, (std::vector<std::pair<std::string, double>>{
                              {"usb.in", 1750}, {"usb.in", 1800}, {"speakers.monitor", 1800}}));

  Click(conf->ComPortItems[1]);
  EXPECT_EQ(serial.Opened.back().Name, "COM2");
  EXPECT_EQ(Record(), "type 3 PTC-II, line 57600, rate 5760, cal 28 184, port 2 COM2, clock 0");
  EXPECT_EQ(Shown(), "type 3: -7.45 219.45, edits off, PTC-II init on, store off, clock 0.0000 %");
  EXPECT_TRUE(conf->InterfaceType->isEnabled());

  Click(conf->SoundCardItem);
  invid.reset();
  conf.reset();
  TSettings file{};
  ASSERT_TRUE(ReadSettingsFile(home.File(kSettingsFileName), file));
  EXPECT_EQ(std::vector<double>(
                {1.0 * file.DataRate, 1.0 * file.CalLow, 1.0 * file.CalHigh, file.ClockCal}),
            std::vector<double>({5760, 28, 184, 0}));
  SoundInput() = {};
  SetSoundSourceLister([](std::vector<SoundSource>&, std::string& error) {
    error = "no audio server is running (Connection refused)";
    return false;
  });
  conf = std::make_unique<TConf>();
  conf->show();
  EXPECT_TRUE(conf->SoundCardItem->isChecked());
  EXPECT_EQ(Record(),
            "type 3 PTC-II, line 57600, rate 7200, cal 32 208, port 2 COM2, clock 0.0005");
  EXPECT_EQ(conf->SoundCentre->value(), 1800);
  EXPECT_EQ(conf->SoundSourceList->currentText(), "speakers.monitor (not present)");
  EXPECT_EQ(conf->SoundStatus->text(), "No audio server is running (Connection refused).");
  EXPECT_TRUE(boxes.Shown.empty());

  conf.reset();
  std::ofstream(
      QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo")).fileName().toStdString())
      << "[SoundInput]\nChosen=maybe\n\x01\xfe[==\nSource=usb.in\nCentre=9000\nCalLow=abc\n"
         "CalHigh=208\nClockCal=0.5\n";
  conf = std::make_unique<TConf>();
  EXPECT_FALSE(conf->SoundCardItem->isChecked());
  const SoundInputChoice c = SoundInput();
  EXPECT_EQ(std::vector<double>(
                {1.0 * c.Chosen, 1.0 * c.CentreHz, 1.0 * c.CalLow, 1.0 * c.CalHigh, c.ClockCal}),
            std::vector<double>({0, 1900, 32, 208, 0}));
  EXPECT_EQ(c.Source, "usb.in");
}

// Opens the list with a click and clicks its item `text`.
void Pick(QComboBox* list, const QString& text) {
  Click(list);
  QAbstractItemView* view = list->view();
  ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 2000));
  const QModelIndex item = list->model()->index(list->findText(text), 0);
  ASSERT_TRUE(item.isValid()) << text.toStdString();
  test::MouseClick(view->viewport(), view->visualRect(item).center());
  ASSERT_TRUE(QTest::qWaitFor([view] { return !view->isVisible(); }, 2000));
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
  Start(kQuorvex, true);
  const auto shown = [this](int port) {
    Strings texts{conf->ComDeviceLists[port]->currentText().toStdString()};
    for (int i = 0; i < conf->ComDeviceLists[port]->count(); ++i)
      texts.push_back(conf->ComDeviceLists[port]->itemText(i).toStdString());
    return texts;
  };
  const std::string id = "usb-FTDI_FT232R-if00-port0", absent = ttyUSB0 + " (not present)";
  EXPECT_EQ(shown(0), (Strings{id, "Default: /dev/ttyS0", id, ttyUSB0}));
  EXPECT_EQ(shown(1)[0], "$ZARVO_COM2: " + std::string(getenv("ZARVO_COM2")));
  EXPECT_FALSE(conf->ComDeviceLists[1]->isEnabled());

  Pick(conf->ComDeviceLists[0], QString::fromStdString(ttyUSB0));
  InThread& in = *invid->Receive.InputThread;
  ASSERT_TRUE(usb.Write(std::vector<std::uint8_t>(144, 0x5A)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return in.WritePos.load() >= 144; }, 3000));
  EXPECT_EQ(in.ByteAt(0), 0x5A);
  const std::string acm = fake.Link("ttyACM0", usb.SlavePath());
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown(0).size() == 5u && shown(0)[4] == acm; }, 3000));
  fake.Unplug("ttyUSB0");
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown(0)[0] == absent; }, 3000));

  invid.reset();
  conf.reset();
  ChosenComDevice(1).clear();
  conf = std::make_unique<TConf>();
  invid = std::make_unique<TInVid>();
  conf->show();
  EXPECT_EQ(shown(0)[0], absent);
  EXPECT_EQ(Last(), "Unable to open I/O port \"COM1\", check configuration.\n" + ttyUSB0 +
                        ": No such file or directory");
}

TEST_F(ConfigTest, LockedAtStartUpAndUnlocked) {
  Start(std::string(kQuorvex) + "InterfaceType = 3\nLockControls = 1\n", false, false);
  EXPECT_TRUE(conf->LockControls->isChecked());
  QWidget* locked[] = {conf->LabelInterface, conf->InterfaceType,      conf->ComPort,
                       conf->SoundCardItem,  conf->LabelIncomingVideo, conf->CalLow,
                       conf->CalHigh,        conf->CalcAudioCal,       conf->ClockCal,
                       conf->CalcClockCal,   conf->SoundCard,          conf->ComDevices};
  for (QWidget* w : locked) EXPECT_FALSE(w->isEnabled());
  EXPECT_TRUE(conf->DeleteDays->isEnabled());
  conf->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(conf.get()));
  Click(conf->InterfaceTypeItems[0]);  // locked: the click changes nothing
  EXPECT_EQ(Settings.InterfaceType, 3);
  Click(conf->LockControls);
  EXPECT_EQ(Settings.LockControls, 0);
  for (QWidget* w : locked) EXPECT_TRUE(w->isEnabled());  // calibration edits too, even for PTC-II
  Click(conf->InterfaceTypeItems[0]);
  EXPECT_EQ(Settings.InterfaceType, 1);
  conf->close();
  EXPECT_FALSE(conf->isVisible());  // closing only hides it
  EXPECT_EQ(Conf, conf.get());
}

// Each key acts at once, and a refused value snaps back: "1", "10", then "100" is refused. An
// empty edit is 0 and shows so; "07" is 7.
TEST_F(ConfigTest, DeleteDaysSnapsBack) {
  Start(kQuorvex);
  EXPECT_EQ(conf->DeleteDays->text().toStdString(), "7");
  const struct {
    bool Over;  // typed over the whole text, or at the end
    const char* Keys;
    std::int32_t Days;
  } steps[] = {
      {true, "100", 10}, {true, "5", 5}, {false, "\b", 0}, {false, "7", 7}, {true, "-", 0}};
  for (const auto& s : steps) {
    if (s.Over)
      TypeOver(conf->DeleteDays, s.Keys);
    else
      QTest::keyClicks(conf->DeleteDays, s.Keys);
    EXPECT_EQ(Settings.DeleteDays, s.Days) << s.Keys;
    EXPECT_EQ(conf->DeleteDays->text().toStdString(), std::to_string(s.Days)) << s.Keys;
  }
}

// The calibration edits stored, and the clock's track bar moved by keys, once in the C locale and
// once on a German desktop (decimal comma in LC_NUMERIC): numbers are shown with a dot, typed
// with either separator, and a text that is no number is never stored as something else.
TEST_F(ConfigTest, CalibrationsTypedAndStoredInEitherLocale) {
  Start(kQuorvex);
  EXPECT_EQ(Shown(), "type 1: -57.95 312.95, edits on, PTC-II init off, store off, clock 0.0000 %");
  // What the edits show once Store is clicked, the pair stored, and what came of it.
  const std::pair<const char*, const char*> stores[][2] = {
      {{"3.64", "236.36"}, {"3.64 236.36", "40 200"}},
      {{"-57.95", "312.95"}, {"-57.95 312.95", "0 255"}},
      {{"3,64", "236,36"}, {"3.64 236.36", "40 200"}},
      {{"0x10", "100"}, {"0.55 99.45", "16 84"}},  // read as 0 and 100
      {{"12", "12abc"}, {"12 12abc", "16 84 refused"}},
      {{"abc", "0,0"}, {"abc 0,0", "16 84 refused"}}};
  const struct {
    Qt::Key Key;
    int Times;
    const char* Label;
  } moves[] = {{Qt::Key_Home, 1, "-0.1000 %"},  {Qt::Key_PageUp, 10, "0.0000 %"},
               {Qt::Key_Right, 25, "0.0025 %"}, {Qt::Key_PageUp, 2, "0.0225 %"},
               {Qt::Key_End, 1, "0.1000 %"},    {Qt::Key_PageUp, 1, "0.1000 %"}};  // held
  for (bool german : {false, true}) {
    std::optional<test::CommaNumbers> comma;
    if (german && !comma.emplace().Active()) GTEST_SKIP() << test::CommaNumbers::kMissing;
    SCOPED_TRACE(german ? "decimal comma" : "C locale");
    for (const auto& [typed, after] : stores) {
      const std::size_t reports = boxes.Shown.size();
      TypeOver(conf->CalLow, typed.first);
      TypeOver(conf->CalHigh, typed.second);
      Click(conf->Store);
      EXPECT_EQ(Edits(), after.first) << typed.first;
      // A refusal keeps Store enabled; no other box comes.
      const bool refused = boxes.Shown.size() == reports + 1 && Last() == kEqual;
      EXPECT_EQ(conf->Store->isEnabled(), refused) << typed.first;
      EXPECT_EQ(std::to_string(Settings.CalLow) + ' ' + std::to_string(Settings.CalHigh) +
                    (refused ? " refused" : ""),
                after.second);
    }
    for (const auto& m : moves) {
      for (int i = 0; i < m.Times; ++i) QTest::keyClick(conf->ClockCal, m.Key);
      EXPECT_EQ(conf->ClockLabel->text().toStdString(), m.Label) << m.Times;
    }
  }
}

// Qt's application object takes the whole C locale from the environment. It hands LC_NUMERIC
// back to "C", so that texts made printf-style show a dot, and keeps the rest (the day names of
// the saved faxes come from LC_TIME). The comma-locale run of these tests is what checks this.
TEST(ApplicationLocale, NumbersInTheCLocaleTheRestAsTheUserHasIt) {
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  char text[16];
  std::snprintf(text, sizeof text, "%.4f%%", -0.0002);
  EXPECT_STREQ(text, "-0.0002%");
  if (const char* all = std::getenv("LC_ALL"); all && *all) {
    EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), all);
  }
}

// A tone generator on the line: equal tones are refused, Cancel at the first tone changes
// nothing, and bytes of 40 for the first tone and 200 for the second are stored on Yes.
TEST_F(ConfigTest, ToneCalibrationThroughTheLine) {
  Start(kQuorvex, true);
  std::atomic<int> level{99};
  std::jthread box([&](std::stop_token stop) {  // the interface box, sending `level`
    while (!stop.stop_requested()) {
      line.Write(std::vector<std::uint8_t>(144, static_cast<std::uint8_t>(level.load())));
      std::this_thread::sleep_for(2ms);
    }
  });
  Click(conf->CalcAudioCal);
  EXPECT_EQ(Last(), kEqual);
  boxes.ConfirmAnswer = false;
  Click(conf->CalcAudioCal);
  EXPECT_EQ(boxes.Prompts.size(), 3u);
  EXPECT_EQ(Last(), kFirstTone);
  EXPECT_NE(Record().find("cal 0 255"), std::string::npos);

  boxes.ConfirmAnswer = true;
  boxes.OnPrompt = [&](const std::string& prompt) {
    level = prompt.find("2300 Hz") != std::string::npos ? 200 : 40;
    std::this_thread::sleep_for(300ms);  // the tone is on before OK is pressed
  };
  test::CommaNumbers comma;  // where the locale exists: the question's numbers must not follow it
  Click(conf->CalcAudioCal);
  ASSERT_EQ(boxes.Prompts.size(), 5u);
  EXPECT_EQ(boxes.Prompts[3], kFirstTone);
  EXPECT_EQ(Last(),
            "Computed Calibration Factor Low: 3.64, High: 236.36.\n"
            "Do you want to store these values?");
  EXPECT_EQ(boxes.Shown.back().Title, "");
  EXPECT_NE(Record().find("cal 40 200"), std::string::npos);
  EXPECT_EQ(conf->CalLow->text().toStdString(), "3.63636363636364");
  EXPECT_TRUE(conf->Store->isEnabled());
}

// With no port open nothing ever arrives: the measurement shows itself and the user stops it.
TEST_F(ConfigTest, ToneMeasurementCanBeCancelled) {
  test::FakeSerialOpener opener;
  opener.Refuse = true;
  Start(kQuorvex, true);
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
  EXPECT_NE(Record().find("cal 0 255"), std::string::npos);
}

TEST_F(ConfigTest, PictureClockCalibration) {
  Start(std::string(kQuorvex) + "IOC = 1\n", true);
  // IOC 576, and one picture pixel per client pixel, so that the clicks are the corners.
  invid->resize(1810 + 87, 1900);
  ASSERT_EQ(invid->DisplayRect.Right, 1810);
  Click(conf->CalcClockCal);
  EXPECT_TRUE(ClockCalibration().Pending());
  EXPECT_EQ(invid->cursor().shape(), Qt::ArrowCursor);
  ClickPicture(100, 50);
  ClickPicture(110, 50);  // the same row: wait for another corner
  ClickPicture(110, 1850);
  EXPECT_EQ(Last(), "Incoming Clock Calibration needs to be corrected with -0.0002%, continue?");
  EXPECT_EQ(conf->ClockCal->value(), -1);
  EXPECT_EQ(conf->ClockLabel->text().toStdString(), "-0.0001 %");
  EXPECT_FLOAT_EQ(Settings.ClockCal, -0.0001f);
  EXPECT_FALSE(ClockCalibration().Pending());
  EXPECT_EQ(invid->cursor().shape(), Qt::CrossCursor);

  Click(conf->CalcClockCal);  // a straight picture
  ClickPicture(100, 50);
  ClickPicture(100, 1850);
  EXPECT_EQ(Last(), "Incoming Clock Calibration already accurate.");
  EXPECT_FLOAT_EQ(Settings.ClockCal, -0.0001f);
  EXPECT_FALSE(ClockCalibration().Pending());
  EXPECT_EQ(ClockCalibration().Stage(), 1);
}

}  // namespace
}  // namespace zarvo
