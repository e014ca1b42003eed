// The settings file byte for byte, what reading it repairs and reports, the text fields, the
// interface types with the times derived from them, and the readable description of a record.
// The calibration arithmetic of the configuration window, in the C locale and with LC_NUMERIC
// German (decimal comma); and the clock calibration from a picture's corners without a window.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "settings/Calibration.h"
#include "settings/ClockCalibration.h"
#include "settings/SettingsDescription.h"
#include "settings/SettingsFile.h"
#include "support/BmpBytes.h"
#include "support/FreshState.h"

namespace zarvo {
namespace {

using Bytes = std::vector<unsigned char>;
using test::Patched;
using SettingsTest = test::FreshStateTest;

// Reserved bytes are carried through: what was read is written back byte for byte, and a longer
// file keeps its tail. A short file read next leaves nothing of the first in memory: the rest is
// zero, and its equal calibration (0 and 0) is repaired to 0..255 with a report.
TEST_F(SettingsTest, RoundTripKeepsEveryByteAndAShortFileTheRestZero) {
  std::mt19937 random(20261207);
  Bytes file(2000);
  for (auto& b : file) b = static_cast<unsigned char>(random());
  file = Patched(Patched(file, 76, 10), 80, 200);  // CalLow != CalHigh: nothing repaired
  dir.Write(kSettingsFileName, file);
  TSettingsFile cfg;
  cfg.Load();
  Settings.DeleteDays = 12;
  cfg.Save();
  EXPECT_EQ(dir.Read(kSettingsFileName), Patched(file, 1336, 12));

  dir.Write(kSettingsFileName, Bytes(10, 0xAB));
  TSettingsFile().Load();
  Bytes expected = Patched(Bytes(kSettingsSize, 0), 80, 255);
  std::fill_n(expected.begin(), 10, 0xAB);
  const auto* raw = reinterpret_cast<const unsigned char*>(&Settings);
  EXPECT_EQ(Bytes(raw, raw + kSettingsSize), expected);
  EXPECT_EQ(boxes.Shown.size() == 1 ? boxes.Shown[0].Title + ": " + boxes.Shown[0].Text : "",
            "Zarvo Meteo: Bad interface calibration factors, reset to default.");
}

// A file gone by the end is not created again; a full disk fails the write too. A missing file
// is fatal (the frame's test reads its report), and so is a folder (Linux opens it for reading
// and fails only at the read) or a device (an endless or empty stream) in its place.
TEST_F(SettingsTest, UnwritableAtTheEndOrUnreadableAtTheStartIsFatal) {
  const std::string file = dir.File(kSettingsFileName);
  dir.Write(kSettingsFileName, Bytes(kSettingsSize, 1));
  TSettingsFile cfg;
  cfg.Load();
  std::filesystem::remove(file);
  cfg.Save();
  EXPECT_FALSE(PathExists(file) || WriteSettingsFile("/dev/full", Settings));
  EXPECT_EQ(boxes.Shown.empty() ? "" : boxes.Shown.back().Text,
            "Unable to write Zarvo Meteo's configuration file \"Zarvo.cfg\".\n\n"
            "Zarvo Meteo will now shutdown...");
  for (int place = 0; place < 3; ++place) {
    std::filesystem::remove(file);
    if (place == 1) std::filesystem::create_directory(file);
    if (place == 2) std::filesystem::create_symlink("/dev/null", file);
    test::RecordingBoxes seen;
    TSettingsFile unread;
    unread.Load();
    EXPECT_EQ(std::tuple(unread.Loaded(), seen.Shown.size(), seen.CloseCount),
              std::tuple(false, 1u, 1))
        << place;
  }
}

// Types 1 and 2 keep the user's calibration, 3..5 bring their own; a type above 5 is the last.
// With both clocks 0.1 % slow: 1.001 x 1000 / DataRate ms a sample, and 9 bits, one or two stop
// bits and one for mark parity at the baud rate, 1.001 times as long, a character. A text field
// without its NUL is cut at its size; one set clears the rest of it.
TEST(SettingsRecord, InterfaceTypesAndTextFields) {
  const std::tuple<int, std::string, double, double> types[] = {
      {1, "Quorvex 115200 3 2 7200 50 150", 0.1390278, 0.1042708},
      {3, "PTC-II 57600 0 0 5760 28 184", 0.1737847, 0.1737847},
      {4, "Morvant IV 115200 3 2 4800 36 236", 0.2085417, 0.1042708},
      {9, "Morvant 1/2/3 57600 0 2 5236 36 236", 0.1911765, 0.1911632}};
  for (const auto& [type, fields, period, charTime] : types) {
    TSettings r{};
    r.CalLow = 50;
    r.CalHigh = 150;
    r.ClockCal = r.SerialCal = 0.1f;
    ApplyInterfaceTypeFields(r, type);
    std::ostringstream s;
    s << TextOf(r.InterfaceName) << ' ' << r.BaudRate << ' ' << r.Parity << ' ' << r.StopBits << ' '
      << r.DataRate << ' ' << r.CalLow << ' ' << r.CalHigh;
    EXPECT_EQ(s.str(), fields);
    EXPECT_TRUE(std::fabs(r.SamplePeriod - period) + std::fabs(r.CharTime - charTime) < 1e-7)
        << fields << ": " << r.SamplePeriod << ", " << r.CharTime;
  }
  TSettings record{};
  std::memset(record.InterfaceName, 'A', sizeof record.InterfaceName);
  EXPECT_EQ(TextOf(record.InterfaceName), std::string(16, 'A'));
  SetText(record.InterfaceName, "COM3");
  EXPECT_EQ(std::string(record.InterfaceName, 16), std::string("COM3") + std::string(12, '\0'));
}

// The file installed with the program: type 1 on COM1, 0/255, 120 LPM, IOC 576, 7 days, spectrum
// shown, hints on, windows inside 1280 x 800 (the viewer's block has the width first). Parsing it
// also finds every field it names in the field table.
TEST(SettingsDescription, InstalledDefaultsAndMalformedLines) {
  std::stringstream text;
  text << std::ifstream(ZARVO_SOURCE_DIR "/data/Zarvo.cfg.txt").rdbuf();
  TSettings r{};
  std::string error;
  ASSERT_TRUE(ParseSettingsDescription(text.str(), r, error)) << error;
  EXPECT_EQ(TextOf(r.InterfaceName) + ' ' + TextOf(r.ComPortName), "Quorvex COM1");
  EXPECT_EQ(std::tie(r.InterfaceType, r.ComPort, r.CalLow, r.CalHigh, r.DrumSpeed, r.IOC,
                     r.DeleteDays, r.HideSpectrum, r.DisableHints),
            std::make_tuple(1, 1, 0, 255, 2, 1, 7, Flag{0}, Flag{0}));
  EXPECT_NEAR(r.CharTime, 0.104167, 1e-6);  // derived from the line
  const ViewWindowBlock& v = r.ViewPicWindow;
  for (const WindowBlock& w : {r.InVidWindow, r.SpecWindow, r.DetailWindow,
                               WindowBlock{v.Left, v.Top, v.ClientHeight, v.ClientWidth}})
    EXPECT_TRUE(std::min(w.Left, w.Top) >= 0 && w.Left + w.ClientWidth <= 1280 &&
                w.Top + w.ClientHeight + 40 <= 800)  // room for a title bar
        << w.Left << ' ' << w.Top;
  // A malformed line is refused with its number and what is wrong with it.
  const std::pair<const char*, const char*> malformed[] = {
      {"DrumSpeed 2", "line 1: expected \"Name = value\""},
      {"\nDrumSped = 2", "line 2: unknown field \"DrumSped\""},
      {"DrumSpeed = 4294967296", "line 1: DrumSpeed needs a 32-bit integer"},
      {"HideSpectrum = 2", "line 1: HideSpectrum needs 0 or 1"},
      {"InVidWindow = 1 2 3 4 5",
       "line 1: InVidWindow needs four integers: Left Top ClientHeight ClientWidth"}};
  for (const auto& [line, message] : malformed)
    EXPECT_TRUE(!ParseSettingsDescription(line, r, error) && error == message) << error;
}

// Every number the configuration window shows or reads: the desktop's locale must change none.
// The comma case has LC_NUMERIC as a German desktop sets it, de_DE.UTF-8, from the system or from
// the folder in the build tree where the build generated it when the system lacks it.
class Calibration : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam()) return;
    // glibc looks at LOCPATH when it loads a locale; afterwards the variable can go again.
    const char* oldPath = std::getenv("LOCPATH");
    const std::string kept = oldPath ? oldPath : "";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && *ZARVO_TEST_LOCPATH) {
      setenv("LOCPATH", ZARVO_TEST_LOCPATH, 1);
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
      oldPath ? setenv("LOCPATH", kept.c_str(), 1) : unsetenv("LOCPATH");
    }
    if (std::strcmp(std::localeconv()->decimal_point, ",") != 0)
      GTEST_SKIP() << "de_DE.UTF-8 is not installed and could not be built here (install the "
                      "'locales' package)";
  }
  void TearDown() override { std::setlocale(LC_NUMERIC, previous_.c_str()); }
  const std::string previous_ = std::setlocale(LC_NUMERIC, nullptr);
};

INSTANTIATE_TEST_SUITE_P(Locale, Calibration, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "Comma" : "C"; });

// The calibration's display form and its inverse. Either decimal separator is read as the user
// meant it; reading stops where the number cannot go on; the last two rows hold no numbers at all.
// 2.675 lies just below the half in binary; 0.125, an exact half, goes to even. Clock positions
// round half away from zero and stop at the track bar's end.
TEST_P(Calibration, ShownAndReadAsInTheCLocale) {
  const std::tuple<int, int, std::string> cases[] = {
      {0, 255, "-57.95 312.95"}, {28, 184, "-7.45 219.45"}, {40, 200, "3.64 236.36"}};
  for (const auto& [calLow, calHigh, text] : cases) {
    const ShownCalibration shown = CalibrationShown(calLow, calHigh);
    EXPECT_EQ(FixedText(shown.Low) + ' ' + FixedText(shown.High), text);
    // What the edits show is stored back as the same pair.
    std::int32_t low = -1, high = -1;
    ASSERT_TRUE(CalibrationFromShown(LeadingNumber(text),
                                     LeadingNumber(text.substr(text.find(' '))), low, high));
    EXPECT_EQ(std::pair(low, high), std::pair(calLow, calHigh));
  }
  std::int32_t low = 7, high = 9;
  // Equal values divide by zero, close ones round to an equal pair, huge ones pass 32 bits.
  EXPECT_FALSE(CalibrationFromShown(5, 5, low, high) || CalibrationFromShown(1, 1.01, low, high) ||
               CalibrationFromShown(0, 1e300, low, high));
  EXPECT_EQ(std::pair(low, high), std::pair(7, 9));
  const std::pair<const char*, double> numbers[][5] = {
      {{"-57.95", -57.95}, {"-57,95", -57.95}, {"312,95", 312.95}, {"  -3.5abc", -3.5}, {".5", .5}},
      {{"\t+7", 7}, {"1.5e2", 150}, {"1,5E-1x", 0.15}, {"5.", 5}, {"1.2.3", 1.2}},
      {{"1,2.3", 1.2}, {"2e", 2}, {"2e+", 2}, {"12 345", 12}, {"0x10", 0}},
      {{"inf", 0}, {"-infinity", 0}, {"nan", 0}, {"1e400", 0}, {"abc", 0}},
      {{"", 0}, {"-", 0}, {".", 0}, {"e5", 0}, {"- 5", 0}}};
  for (const auto& row : numbers)
    for (auto [text, value] : row) EXPECT_EQ(LeadingNumber(text), value) << '"' << text << '"';
  const std::pair<const char*, std::int32_t> integers[] = {
      {"07", 7}, {" -4x", -4}, {"-", 0}, {"", 0}, {"99999999999999", INT32_MAX}};
  for (auto [text, value] : integers) EXPECT_EQ(LeadingInteger(text), value) << text;
  EXPECT_EQ(
      FixedText(2.675) + ' ' + FixedText(0.125) + ' ' + FixedText(0.375) + ' ' + FixedText(-0.001),
      "2.67 0.12 0.38 -0.00");
  EXPECT_EQ(GeneralText(312.0) + ' ' + GeneralText(-57.95) + ' ' + GeneralText(0.00001),
            "312 -57.95 1e-05");
  EXPECT_EQ(
      std::tuple(ClockCalPosition(0.25), ClockCalPosition(-0.00005), ClockCalPosition(0.0123)),
      std::tuple(1000, -1, 123));
  ClearSettings(Settings);
  Settings.DataRate = 7200;
  EXPECT_EQ(ApplyClockCalibration(250), "0.0250 %");
  EXPECT_NEAR(Settings.SamplePeriod, 0.1389236, 1e-7);  // 1.00025 x 1000 / 7200
}

// Corners 1800 rows apart on a 1810 pixel row, 10 pixels off: 0.000307 %, negative when the left
// edge drifts right going down, doubled at IOC 288 (two rows a line), halved below 0.001 and
// taken as it is from 0.002. Corners on one row measure nothing. The bar's position is x 10000
// plus a half, truncated, within its ends.
TEST(ClockCorrection, FromTwoCornersAndOnTheTrackBar) {
  const auto correction = [](int x1, int y1, int x2, int y2, int ioc, int width) {
    float c = 0;
    return ClockCorrection(x1, y1, x2, y2, ioc, width, c) ? c : NAN;
  };
  EXPECT_NEAR(correction(100, 50, 110, 1850, 1, 1810), -0.000307 / 2, 1e-7);
  EXPECT_NEAR(correction(110, 50, 100, 1850, 0, 1810), 2 * 0.000307 / 2, 1e-7);
  EXPECT_NEAR(correction(1000, 0, 0, 27150, 1, 1810), 100.0 * 1000 / 1810 / 27150, 1e-7);
  EXPECT_TRUE(std::isnan(correction(100, 50, 110, 50, 1, 1810)));
  EXPECT_TRUE(std::isnan(correction(100, 50, 110, 60, 1, 0)));
  EXPECT_EQ(std::tuple(CorrectedClockPosition(-0.0001535f), CorrectedClockPosition(0.5f),
                       CorrectedClockPosition(-7.0f)),
            std::tuple(-1, 1000, -1000));  // truncate(-1.535 + 0.5), and the bar's ends
}

// Clicks belong to the picture until the calibration is armed; then each corner is asked for,
// corners on one row wait for another, and No changes nothing. A window that goes takes its part
// with it; Yes applies the correction all the same, at the bar's step: 0.01 - 0.0001535 is 98.
TEST_F(SettingsTest, ClockCalibrationTakesTwoCornersThenTheCorrectionOnYes) {
  Settings.DataRate = 7200;
  Settings.ClockCal = 0.01f;
  TClockCalibration clock;
  int window = 0, other = 0, corrected = 0;
  clock.OnCorrected(&window, [&](int) { ++corrected; });
  EXPECT_FALSE(clock.Click(10, 10, 1, 1810));
  boxes.Answer = false;
  for (const bool forgotten : {false, true}) {
    clock.Arm();
    for (int y : {50, 50, 1850}) EXPECT_TRUE(clock.Click(100 + 10 * (y > 50), y, 1, 1810));
    EXPECT_FALSE(clock.Pending());
    if (forgotten) continue;
    std::string said;
    for (const auto& box : boxes.Shown) said += box.Text + '\n';
    EXPECT_EQ(said,
              "Click on the top left (or right) corner of the picture.\n"
              "Now click on the bottom left (or right) corner of the picture.\n"
              "Both corners lie on the same row: click on the bottom left (or right) corner of "
              "the picture.\nIncoming Clock Calibration needs to be corrected with -0.0002%, "
              "continue?\n");
    boxes.Answer = true;
    clock.OnArmed(&other, [&] { ++other; });
    clock.Forget(&window);
  }
  EXPECT_EQ(std::tuple(Settings.ClockCal, other, corrected), std::tuple(0.0098f, 1, 0));
}

struct OfferCase {
  float ClockCal;
  bool Answer;
  std::vector<std::pair<double, double>> Measured;  // ppm and sigma, a negative sigma not valid
  std::string Said;  // every box shown, then ClockCal and the track bar's moves
};

// Three agree when each lies within max(2 ppm, 3 sigma) of their mean; a gap, a small error, or
// one offer already made (Yes or No) asks nothing more. On Yes ClockCal moves to the bar's nearest
// step: -0.0029999 % lands on -30, not on the -29 the corners' half-and-truncate would give.
TEST(ClockOffer, AgreeingFaxesOfferTheCorrectionOnce) {
  const std::string kAsk = "Incoming Clock Calibration needs to be corrected with ";
  const OfferCase cases[] = {
      {0, true, {{30, 1}, {30, 1}, {30, 1}, {30, 1}}, kAsk + "-0.0030%, continue?\n-0.0030 -30"},
      {0.01f,
       false,
       {{-3, 1}, {-2, 0.1}, {-1, 0.1}, {-2, 1}, {-2, 1}, {-2, 1}},
       kAsk + "0.0002%, continue?\n0.0100"},
      {0, true, {{30, 2}, {30, 2}, {38, 2}}, kAsk + "-0.0033%, continue?\n-0.0033 -33"},
      {0, true, {{30, 1}, {30, 1}, {38, 1}}, "0.0000"},
      {0, true, {{30, 1}, {30, 1}, {0, -1}, {30, 1}, {30, 1}}, "0.0000"},
      {0, true, {{1.5, 0.1}, {1.5, 0.1}, {1.5, 0.1}}, "0.0000"},
      {0.099f,
       true,
       {{-30, 1}, {-30, 1}, {-30, 1}},
       "The last faxes measured a clock error of the interface that needs a correction of "
       "0.0030%, beyond the range of Incoming Clock Calibration (-0.1% to +0.1%). The pictures "
       "are straightened all the same while \"Straighten automatically\" is on.\n0.0990"},
  };
  for (const OfferCase& c : cases) {
    ClearSettings(Settings);
    Settings.DataRate = 7200;
    Settings.ClockCal = c.ClockCal;
    test::RecordingBoxes boxes;
    boxes.Answer = c.Answer;
    TClockCalibration clock;
    std::string moved;
    clock.OnCorrected(&moved, [&](int position) { moved += ' ' + std::to_string(position); });
    for (const auto& [ppm, sigma] : c.Measured)
      if (clock.PhasingMeasured(sigma >= 0, ppm, sigma)) clock.OfferMeasuredCorrection();
    std::string said;
    for (const auto& box : boxes.Shown) said += box.Text + '\n';
    EXPECT_EQ(said + FixedText(Settings.ClockCal, 4) + moved, c.Said);
  }
}

}  // namespace
}  // namespace zarvo
