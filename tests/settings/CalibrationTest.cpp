#include <gtest/gtest.h>

#include "settings/Calibration.h"
#include "settings/Settings.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

TEST(Calibration, DisplayFormAndItsInverse) {
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

TEST(Calibration, NumbersFromEdits) {
  EXPECT_DOUBLE_EQ(LeadingNumber("  -3.5abc"), -3.5);
  EXPECT_DOUBLE_EQ(LeadingNumber("abc"), 0);
  EXPECT_DOUBLE_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingInteger("07"), 7);
  EXPECT_EQ(LeadingInteger(" -4x"), -4);
  EXPECT_EQ(LeadingInteger("-"), 0);
  EXPECT_EQ(LeadingInteger(""), 0);
  EXPECT_EQ(LeadingInteger("99999999999999"), INT32_MAX);
  EXPECT_EQ(GeneralText(CalibrationShown(40, 200).Low), "3.63636363636364");
}

TEST(Calibration, ClockTrackBar) {
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
  EXPECT_TRUE(boxes.Shown.empty());
  Settings.DataRate = 0;
  ApplyClockCalibration(0);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Bad Interface Data Rate, reset to default.");
  EXPECT_EQ(Settings.DataRate, 7200);
}

}  // namespace
}  // namespace zarvo
