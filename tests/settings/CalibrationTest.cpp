#include <gtest/gtest.h>

#include <optional>

#include "settings/Calibration.h"
#include "settings/CommaLocale.h"
#include "settings/Settings.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

// Every number the configuration window shows or reads, once in the C locale and once with
// LC_NUMERIC German (decimal comma): the desktop's locale must change none of them.
class Calibration : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam()) return;
    comma_.emplace();
    if (!comma_->Active()) GTEST_SKIP() << test::CommaNumbers::kMissing;
  }
  std::optional<test::CommaNumbers> comma_;
};

INSTANTIATE_TEST_SUITE_P(Locale, Calibration, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "Comma" : "C"; });

TEST_P(Calibration, DisplayFormAndItsInverse) {
  const struct {
    int Low, High;
    const char* ShownLow;
    const char* ShownHigh;
  } cases[] = {
      {0, 255, "-57.95", "312.95"}, {28, 184, "-7.45", "219.45"}, {40, 200, "3.64", "236.36"}};
  for (const auto& c : cases) {
    const ShownCalibration shown = CalibrationShown(c.Low, c.High);
    EXPECT_EQ(FixedText(shown.Low), c.ShownLow);
    EXPECT_EQ(FixedText(shown.High), c.ShownHigh);
    // What the edits show is stored back as the same pair.
    std::int32_t low = -1, high = -1;
    ASSERT_TRUE(
        CalibrationFromShown(LeadingNumber(c.ShownLow), LeadingNumber(c.ShownHigh), low, high));
    EXPECT_EQ(low, c.Low);
    EXPECT_EQ(high, c.High);
  }
  std::int32_t low = 7, high = 9;
  EXPECT_FALSE(CalibrationFromShown(5, 5, low, high));       // divides by zero
  EXPECT_FALSE(CalibrationFromShown(1.0, 1.01, low, high));  // rounds to an equal pair
  EXPECT_FALSE(CalibrationFromShown(0, 1e300, low, high));   // beyond 32 bits
  EXPECT_EQ(low, 7);
  EXPECT_EQ(high, 9);
}

TEST_P(Calibration, NumbersFromEdits) {
  const struct {
    const char* Text;
    double Value;
  } numbers[] = {
      // Either decimal separator, read as the user meant it.
      {"-57.95", -57.95},
      {"-57,95", -57.95},
      {"312,95", 312.95},
      {"  -3.5abc", -3.5},
      {"\t+7", 7},
      {"1.5e2", 150},
      {"1,5E-1x", 0.15},
      {".5", 0.5},
      {"5.", 5},
      // Reading stops where the number cannot go on.
      {"1.2.3", 1.2},
      {"1,2.3", 1.2},
      {"2e", 2},
      {"2e+", 2},
      {"12 345", 12},
      {"0x10", 0},
      // Not numbers at all.
      {"inf", 0},
      {"-infinity", 0},
      {"nan", 0},
      {"1e400", 0},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {".", 0},
      {"e5", 0},
      {"- 5", 0},
  };
  for (const auto& n : numbers) EXPECT_EQ(LeadingNumber(n.Text), n.Value) << '"' << n.Text << '"';

  EXPECT_EQ(LeadingInteger("07"), 7);
  EXPECT_EQ(LeadingInteger(" -4x"), -4);
  EXPECT_EQ(LeadingInteger("-"), 0);
  EXPECT_EQ(LeadingInteger(""), 0);
  EXPECT_EQ(LeadingInteger("99999999999999"), INT32_MAX);
}

TEST_P(Calibration, ShownTextsRoundAsPrintfInTheCLocale) {
  EXPECT_EQ(FixedText(2.675), "2.67");  // just below the half in binary
  EXPECT_EQ(FixedText(0.125), "0.12");  // an exact half goes to even
  EXPECT_EQ(FixedText(0.375), "0.38");
  EXPECT_EQ(FixedText(-0.001), "-0.00");
  EXPECT_EQ(GeneralText(CalibrationShown(40, 200).Low), "3.63636363636364");
  EXPECT_EQ(GeneralText(-57.95), "-57.95");
  EXPECT_EQ(GeneralText(312.0), "312");
  EXPECT_EQ(GeneralText(1e20), "1e+20");
  EXPECT_EQ(GeneralText(0.0001), "0.0001");
  EXPECT_EQ(GeneralText(0.00001), "1e-05");
}

TEST_P(Calibration, ClockTrackBar) {
  EXPECT_EQ(ClockCalPosition(0.25), 1000);  // the control's limit
  EXPECT_EQ(ClockCalPosition(0.00004), 0);
  EXPECT_EQ(ClockCalPosition(-0.00005), -1);  // half away from zero
  EXPECT_EQ(ClockCalPosition(0.0123), 123);

  test::RecordingBoxes boxes;
  ResetMessageState();
  ClearSettings(Settings);
  Settings.DataRate = 7200;
  EXPECT_EQ(ApplyClockCalibration(250), "0.0250 %");
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.025f);
  EXPECT_NEAR(Settings.SamplePeriod, 0.1389236, 1e-7);
  EXPECT_EQ(ApplyClockCalibration(-1000), "-0.1000 %");
  EXPECT_EQ(ApplyClockCalibration(1), "0.0001 %");
  EXPECT_EQ(ApplyClockCalibration(0), "0.0000 %");
  EXPECT_TRUE(boxes.Shown.empty());
  Settings.DataRate = 0;
  ApplyClockCalibration(0);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Bad Interface Data Rate, reset to default.");
  EXPECT_EQ(Settings.DataRate, 7200);
}

}  // namespace
}  // namespace zarvo
