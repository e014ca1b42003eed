// The configuration window on Qt's offscreen platform: what its creation makes of the record,
// the interface and port choices acting on the open port, the options, and the calibrations.
#include <gtest/gtest.h>

#include <QtWidgets>
#include <optional>

#include "platform/ProgramFolder.h"
#include "reception/InVideo.h"
#include "settings/CommaLocale.h"
#include "settings/Config.h"
#include "support/FakeSerial.h"
#include "support/ProgramRun.h"
#include "support/RealInput.h"
#include "support/RecordingBoxes.h"

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

void TypeOver(QWidget* edit, const QString& text) {
  Click(edit);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, text);
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

const std::string kQuorvex = test::FirstTypeOnCom1(7);
const char* kEqual = "Low and High factors are equal, please try again.";

// The user's sound choices live beside the test run: none may pass from one test to the next.
void ForgetSoundChoices() {
  QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo")).remove("SoundInput");
  SoundInput() = {};
  SetSoundSourceLister(nullptr);
}

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    SetProgramFolder(home.Path());
    ForgetSoundChoices();
    setenv("ZARVO_COM1", line.SlavePath().c_str(), 1);
  }
  void TearDown() override {
    invid.reset();
    conf.reset();
    ForgetSoundChoices();
    SetProgramFolder("");
    setenv("ZARVO_COM1", com1.c_str(), 1);
  }
  // The window created on the record (and the reception window), and opened by the user.
  void Start(const std::string& description, bool reception = false, bool show = true) {
    ASSERT_TRUE(test::WriteSettingsRecord(home, description));
    conf = std::make_unique<TConf>();
    if (reception) invid = std::make_unique<TInVid>();
    if (show) conf->show();
    ASSERT_TRUE(!show || QTest::qWaitForWindowExposed(conf.get()));
  }
  // The type chosen; the calibration edits; which of the two edits, the tone-generator button,
  // the PTC-II option and Store can be used (1) and which not (0); the clock label.
  std::string Shown() const {
    std::string s = "type";
    for (int i = 0; i < kInterfaceTypeCount; ++i)
      if (conf->InterfaceTypeItems[i]->isChecked()) s += ' ' + std::to_string(i + 1);
    s += ": " + (conf->CalLow->text() + ' ' + conf->CalHigh->text()).toStdString() + ", ";
    const QWidget* controls[] = {conf->CalLow, conf->CalHigh, conf->CalcAudioCal, conf->AutoPTCII,
                                 conf->Store};
    for (const QWidget* w : controls) s += w->isEnabled() ? '1' : '0';
    return s + ", " + conf->ClockLabel->text().toStdString();
  }
  std::string Last() const { return boxes.Shown.empty() ? "" : boxes.Shown.back().Text; }
  test::TempDir home;
  test::Pty line;
  std::string com1 = getenv("ZARVO_COM1");
  test::RecordingBoxes boxes;
  std::unique_ptr<TConf> conf;
  std::unique_ptr<TInVid> invid;
};

// The stored type re-derives its line and fixed calibration at every start, as a click would;
// ClockCal is held to the track bar, a port or a type above the list is the last one. Type 0
// chooses nothing: the stored line and the edits' first text stay. Equal calibration factors and
// a zero data rate are repaired, each with its report. The window itself stays hidden.
TEST_F(ConfigTest, StartUpAppliesTheStoredChoices) {
  const struct {
    const char *Stored, *Record, *Shown, *Reports;
  } cases[] = {
      {"InterfaceType = 9\nCalLow = 50\nCalHigh = 150\nClockCal = 0.25\nComPort = 7\n",
       "type 5 Morvant 1/2/3, line 57600, rate 5236, cal 36 236, port 4 COM4, clock 0.1",
       "type 5: -9.45 281.45, 00000, 0.1000 %", ""},
      {"BaudRate = 9600\nCalLow = 3\nCalHigh = 3\n",
       "type 0 , line 9600, rate 7200, cal 0 255, port 0 , clock 0",
       "type: 123.45 123.45, 11110, 0.0000 %",
       "Bad interface calibration factors, reset to default. "
       "Bad Interface Data Rate, reset to default. "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Stored);
    conf.reset();
    boxes.Shown.clear();
    Start(c.Stored, false, false);
    EXPECT_EQ(Record(), c.Record);
    EXPECT_EQ(Shown(), c.Shown);
    EXPECT_FALSE(conf->isVisible());
    std::string reports;
    for (const auto& box : boxes.Shown) reports += box.Text + ' ';
    EXPECT_EQ(reports, c.Reports);
  }
}

// A click on the chosen type does nothing, one on the chosen port reopens it only once its reads
// have failed (an unplugged adapter). Another port, or the failed one, opens without the type's
// start-up commands; a tone measured on the failed port shows its progress, and the user can
// stop it. Another type reopens the port with its line.
TEST_F(ConfigTest, TypeAndPortChoicesReopenThePort) {
  test::FakeSerialOpener opener;
  Start(kQuorvex + "InterfaceType = 2\n", true);  // Tarsk-bus sends start-up bytes
  Click(conf->InterfaceTypeItems[1]);
  Click(conf->ComPortItems[0]);
  EXPECT_EQ(opener.Opened.size(), 1u);
  Click(conf->ComPortItems[1]);
  const auto first = opener.Opened[0].Log->Get();
  EXPECT_EQ(std::count(first.begin(), first.end(), "write 01"), 1);  // only the program's start

  opener.Last->BytesPerRead = -1;
  InThread& in = *invid->Receive.InputThread;
  ASSERT_TRUE(QTest::qWaitFor([&] { return in.PortFailed.load(); }, 3000));
  QTimer::singleShot(800, conf.get(), [] {
    if (auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
      Click(progress->findChild<QPushButton*>());
  });
  Click(conf->CalcAudioCal);
  EXPECT_EQ(boxes.Prompts.size(), 1u);  // ended after the first tone
  Click(conf->ComPortItems[1]);
  EXPECT_FALSE(in.PortFailed.load());
  ASSERT_EQ(opener.Opened.size(), 3u);
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_EQ(opener.Opened[i].Name, "COM2");
    EXPECT_TRUE(opener.Opened[i].Log->Get().empty()) << i;
  }
  Click(conf->InterfaceTypeItems[2]);
  EXPECT_EQ(opener.Opened.back().Line.BaudRate, 57600);
  EXPECT_EQ(Record(), "type 3 PTC-II, line 57600, rate 5760, cal 28 184, port 2 COM2, clock 0");
  EXPECT_EQ(Shown(), "type 3: -7.45 219.45, 00010, 0.0000 %");
  EXPECT_EQ(boxes.Shown.size(), 1u);  // the prompt
}

// The sound card in place of the PTC-II's port: the sound's calibration, measured as a box of
// types 1-2 is; its source and centre reopen it. COM2 gives the box back. Chosen again, it is
// chosen in the next run too, with its clock and centre, and its source kept while absent.
TEST_F(ConfigTest, SoundCardInPlaceOfThePortAndBack) {
  test::FakeSerialOpener serial;
  test::FakeSoundOpener sound;
  SetSoundSourceLister([](std::vector<SoundSource>& sources, std::string&) {
    sources = {{"usb.in", "USB Audio", false}, {"speakers.monitor", "Monitor of Speakers", true}};
    return true;
  });
  Start(kQuorvex + "InterfaceType = 3\n", true);
  EXPECT_EQ(conf->SoundSourceList->itemText(2), "Monitor of Speakers");
  const auto choose = [this](const char* hz) {  // the next source, and the centre typed
    QTest::keyClick(conf->SoundSourceList, Qt::Key_Down);
    TypeOver(conf->SoundCentre, hz);
    QTest::keyClick(conf->SoundCentre, Qt::Key_Return);
  };
  choose("1750");
  Click(conf->SoundCardItem);
  EXPECT_EQ(Shown(), "type 3: -8.00 248.00, 11110, 0.0000 %");
  EXPECT_FALSE(conf->InterfaceType->isEnabled());
  for (int i = 0; i < 5; ++i) QTest::keyClick(conf->ClockCal, Qt::Key_Right);
  choose("1800");
  EXPECT_EQ(sound.Opened,
            (std::vector<std::pair<std::string, double>>{
                {"usb.in", 1750}, {"speakers.monitor", 1750}, {"speakers.monitor", 1800}}));
  Click(conf->ComPortItems[1]);
  EXPECT_EQ(serial.Opened.back().Name, "COM2");
  EXPECT_EQ(Shown(), "type 3: -7.45 219.45, 00010, 0.0000 %");
  EXPECT_TRUE(conf->InterfaceType->isEnabled());

  Click(conf->SoundCardItem);
  invid.reset();
  conf.reset();
  SoundInput() = {};
  SetSoundSourceLister(nullptr);
  conf = std::make_unique<TConf>();
  conf->show();
  EXPECT_EQ(Shown(), "type 3: -8.00 248.00, 11110, 0.0005 %");
  EXPECT_EQ(conf->SoundCentre->value(), 1800);
  EXPECT_EQ(conf->SoundSourceList->currentText(), "speakers.monitor (not present)");
  EXPECT_EQ(conf->SoundStatus->text(), "This program was built without sound input.");
  EXPECT_TRUE(boxes.Shown.empty());
}

// Locked from the record, every input control but the days is disabled until unlocked, the
// calibration edits too even for PTC-II. Quorvex after PTC-II keeps the calibration and gives the
// edits back. Typed calibrations are shown with a dot and read with either separator; Store
// refuses a pair that gives equal factors and stays enabled. Days above 99 snap back, an empty
// edit is 0. Closing the window only hides it.
TEST_F(ConfigTest, LockCalibrationsAndDaysByMouseAndKeys) {
  Start(kQuorvex + "InterfaceType = 3\nLockControls = 1\n");
  QWidget* locked[] = {conf->LabelInterface, conf->InterfaceType,      conf->ComPort,
                       conf->SoundCardItem,  conf->LabelIncomingVideo, conf->CalLow,
                       conf->CalHigh,        conf->CalcAudioCal,       conf->ClockCal,
                       conf->CalcClockCal,   conf->SoundCard};
  for (QWidget* w : locked) EXPECT_FALSE(w->isEnabled());
  EXPECT_TRUE(conf->DeleteDays->isEnabled());
  Click(conf->LockControls);
  for (QWidget* w : locked) EXPECT_TRUE(w->isEnabled());
  Click(conf->InterfaceTypeItems[0]);
  EXPECT_EQ(Shown(), "type 1: -7.45 219.45, 11100, 0.0000 %");

  for (auto [low, high, shown] : {std::tuple("3,64", "236.36", "type 1: 3.64 236.36, 11100"),
                                  {"12", "12abc", "type 1: 12 12abc, 11101"}}) {
    TypeOver(conf->CalLow, low);
    TypeOver(conf->CalHigh, high);
    Click(conf->Store);
    EXPECT_EQ(Shown(), shown + std::string(", 0.0000 %"));
    EXPECT_EQ(std::pair(Settings.CalLow, Settings.CalHigh), std::pair(40, 200));
  }
  EXPECT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(Last(), kEqual);
  EXPECT_EQ(conf->DeleteDays->text().toStdString(), "7");
  for (auto [keys, days] : {std::pair("100", 10), {"\b", 0}, {"42", 42}}) {
    TypeOver(conf->DeleteDays, keys);  // "1", "10", then "100" is refused
    EXPECT_EQ(Settings.DeleteDays, days) << keys;
    EXPECT_EQ(conf->DeleteDays->text().toStdString(), std::to_string(days)) << keys;
  }
  conf->close();
  EXPECT_FALSE(conf->isVisible());
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
// nothing, and bytes of 40 for the first tone and 200 for the second are stored on Yes. Then the
// clock from a picture, at IOC 576 and one picture pixel per client pixel, so that the clicks
// are the corners: 10 pixels over 1800 rows, -0.0002 %, moves the track bar one step down.
TEST_F(ConfigTest, CalibrationsFromAToneAndFromAPicture) {
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
  boxes.ConfirmAnswer = true;
  boxes.OnPrompt = [&](const std::string& prompt) {
    level = prompt.find("2300 Hz") != std::string::npos ? 200 : 40;
    std::this_thread::sleep_for(300ms);  // the tone is on before OK is pressed
  };
  std::optional<test::CommaNumbers> comma(std::in_place);  // the question must not follow it
  Click(conf->CalcAudioCal);
  comma.reset();
  ASSERT_EQ(boxes.Prompts.size(), 5u);
  EXPECT_EQ(boxes.Prompts[3],
            "Apply a 1200 Hz tone to the audio input of the Quorvex.\nPress OK when ready...");
  EXPECT_EQ(Last(),
            "Computed Calibration Factor Low: 3.64, High: 236.36.\n"
            "Do you want to store these values?");
  EXPECT_EQ(boxes.Shown.back().Title, "");
  EXPECT_EQ(std::pair(Settings.CalLow, Settings.CalHigh), std::pair(40, 200));
  EXPECT_EQ(Shown(), "type 1: 3.63636363636364 236.363636363636, 11101, 0.0000 %");

  invid->resize(1810 + 87, 1900);
  ASSERT_EQ(invid->DisplayRect.Right, 1810);
  Click(conf->CalcClockCal);
  EXPECT_EQ(invid->cursor().shape(), Qt::ArrowCursor);
  test::MouseClick(invid.get(), {100, 50});
  test::MouseClick(invid.get(), {110, 1850});
  EXPECT_EQ(Last(), "Incoming Clock Calibration needs to be corrected with -0.0002%, continue?");
  EXPECT_EQ(conf->ClockLabel->text().toStdString(), "-0.0001 %");
  EXPECT_EQ(invid->cursor().shape(), Qt::CrossCursor);
}

}  // namespace
}  // namespace zarvo
