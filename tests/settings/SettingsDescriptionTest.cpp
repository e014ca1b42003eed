#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "settings/SettingsDescription.h"

namespace zarvo {
namespace {

// The file installed with the program: type 1 on COM1, 0/255, 120 LPM, IOC 576, 7 days,
// windows inside 1280 x 800, spectrum shown, hints on.
TEST(SettingsDescription, InstalledDefaults) {
  std::stringstream text;
  text << std::ifstream(ZARVO_SOURCE_DIR "/data/Zarvo.cfg.txt").rdbuf();
  ASSERT_FALSE(text.str().empty());
  TSettings record{};
  std::string error;
  ASSERT_TRUE(ParseSettingsDescription(text.str(), record, error)) << error;
  EXPECT_EQ(TextOf(record.InterfaceName) + ' ' + TextOf(record.ComPortName), "Quorvex COM1");
  EXPECT_EQ(std::tie(record.InterfaceType, record.ComPort, record.CalLow, record.CalHigh,
                     record.DrumSpeed, record.IOC, record.DeleteDays),
            std::make_tuple(1, 1, 0, 255, 2, 1, 7));
  EXPECT_EQ(record.HideSpectrum | record.DisableHints, 0);
  EXPECT_NEAR(record.SamplePeriod, 0.138889, 1e-6);
  EXPECT_NEAR(record.CharTime, 0.104167, 1e-6);
  for (const WindowBlock& w : {record.InVidWindow, record.SpecWindow, record.DetailWindow}) {
    EXPECT_GE(std::min(w.Left, w.Top), 0);
    EXPECT_LE(w.Left + w.ClientWidth, 1280);
    EXPECT_LE(w.Top + w.ClientHeight + 40, 800);  // room for a title bar
  }
  const ViewWindowBlock& v = record.ViewPicWindow;
  EXPECT_LE(v.Left + v.ClientWidth, 1280);
  EXPECT_LE(v.Top + v.ClientHeight + 40, 800);
}

TEST(SettingsDescription, ValuesCommentsAndQuotes) {
  TSettings record{};
  std::string error;
  ASSERT_TRUE(
      ParseSettingsDescription("  # a comment\n"
                               "SaveDir = \"/home/sk # ipper\"  # kept inside quotes\r\n"
                               "ViewDir=/charts\n"
                               "ViewPicWindow = -5 6 700 500\n"
                               "DisableSaver = on\n"
                               "ClockCal = -0.0125\n",
                               record, error))
      << error;
  EXPECT_EQ(TextOf(record.SaveDir), "/home/sk # ipper");
  EXPECT_EQ(TextOf(record.ViewDir), "/charts");
  const ViewWindowBlock& v = record.ViewPicWindow;  // width before height in this block
  EXPECT_EQ(std::tie(v.Left, v.Top, v.ClientWidth, v.ClientHeight),
            std::make_tuple(-5, 6, 700, 500));
  EXPECT_EQ(record.DisableSaver, 1);
  EXPECT_FLOAT_EQ(record.ClockCal, -0.0125f);
}

TEST(SettingsDescription, MalformedLinesNameTheLine) {
  const struct {
    const char* Text;
    const char* Error;
  } cases[] = {
      {"DrumSpeed 2", "line 1: expected \"Name = value\""},
      {"\nDrumSped = 2", "line 2: unknown field \"DrumSped\""},
      {"DrumSpeed = 2x", "line 1: DrumSpeed needs a 32-bit integer"},
      {"DrumSpeed = 4294967296", "line 1: DrumSpeed needs a 32-bit integer"},
      {"ClockCal = nan", "line 1: ClockCal needs a number"},
      {"HideSpectrum = 2", "line 1: HideSpectrum needs 0 or 1"},
      {"InterfaceName = \"sixteen chars ok\"",
       "line 1: InterfaceName needs a text that fits its field"},
      {"InVidWindow = 1 2 3",
       "line 1: InVidWindow needs four integers: Left Top ClientHeight ClientWidth"},
      {"InVidWindow = 1 2 3 4 5",
       "line 1: InVidWindow needs four integers: Left Top ClientHeight ClientWidth"},
  };
  for (const auto& c : cases) {
    TSettings record{};
    std::string error;
    EXPECT_FALSE(ParseSettingsDescription(c.Text, record, error)) << c.Text;
    EXPECT_EQ(error, c.Error) << c.Text;
  }
}

TEST(SettingsDescription, TableCoversTheRecordWithoutOverlap) {
  std::size_t end = 0;
  std::size_t named = 0;
  for (const SettingsField& f : SettingsFields()) {
    EXPECT_GE(f.Offset, end) << f.Name;  // offset order, no overlap
    end = f.Offset + f.Size;
    named += f.Size;
  }
  EXPECT_EQ(end, kSettingsSize);
  // Everything else is reserved: 8 + 4 + 4 + 1 + 81 + 526 + 3 + 36 + 3 bytes.
  EXPECT_EQ(kSettingsSize - named, 666u);
}

}  // namespace
}  // namespace zarvo
