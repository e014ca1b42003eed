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
    if (GetParam() && !comma_.emplace().Active()) GTEST_SKIP() << test::CommaNumbers::kMissing;
  }
  std::optional<test::CommaNumbers> comma_;
};

INSTANTIATE_TEST_SUITE_P(Locale, Calibration, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "Comma" : "C"; });

TEST_P(Calibration, DisplayFormAndItsInverse) {
  const struct {
    int Low, High;
    const char *ShownLow, *ShownHigh;
  } cases[] = {
      {0, 255, "-57.95", "312.95"}, {28, 184, "-7.45", "219.45"}, {40, 200, "3.64", "236.36"}};
  for (const auto& c : cases) {
    const ShownCalibration shown = CalibrationShown(c.Low, c.High);
    EXPECT_EQ(FixedText(shown.Low) + ' ' + FixedText(shown.High),
              std::string(c.ShownLow) + ' ' + c.ShownHigh);
    // What the edits show is stored back as the same pair.
    std::int32_t low = -1, high = -1;
    ASSERT_TRUE(
        CalibrationFromShown(LeadingNumber(c.ShownLow), LeadingNumber(c.ShownHigh), low, high));
    EXPECT_EQ(std::pair(low, high), std::pair(c.Low, c.High));
  }
  std::int32_t low = 7, high = 9;
  EXPECT_FALSE(CalibrationFromShown(5, 5, low, high));       // divides by zero
  EXPECT_FALSE(CalibrationFromShown(1.0, 1.01, low, high));  // rounds to an equal pair
  EXPECT_FALSE(CalibrationFromShown(0, 1e300, low, high));   // beyond 32 bits
  EXPECT_EQ(std::pair(low, high), std::pair(7, 9));
}

// Either decimal separator is read as the user meant it; reading stops where the number cannot go
// on; the last two rows hold no numbers at all.
TEST_P(Calibration, NumbersFromEdits) {
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
}

// 2.675 lies just below the half in binary; 0.125, an exact half, goes to even.
TEST_P(Calibration, ShownTextsRoundAsPrintfInTheCLocale) {
  const std::pair<double, const char*> fixed[] = {
      {2.675, "2.67"}, {0.125, "0.12"}, {0.375, "0.38"}, {-0.001, "-0.00"}};
  for (auto [value, text] : fixed) EXPECT_EQ(FixedText(value), text);
  const std::pair<double, const char*> general[][3] = {
      {{CalibrationShown(40, 200).Low, "3.63636363636364"}, {-57.95, "-57.95"}, {312.0, "312"}},
      {{1e20, "1e+20"}, {0.0001, "0.0001"}, {0.00001, "1e-05"}}};
  for (const auto& row : general)
    for (auto [value, text] : row) EXPECT_EQ(GeneralText(value), text);
}

// Positions round half away from zero and stop at the control's limit.
TEST_P(Calibration, ClockTrackBar) {
  const std::pair<double, int> positions[] = {
      {0.25, 1000}, {0.00004, 0}, {-0.00005, -1}, {0.0123, 123}};
  for (auto [clockCal, position] : positions) EXPECT_EQ(ClockCalPosition(clockCal), position);
  test::RecordingBoxes boxes;
  ResetMessageState();
  ClearSettings(Settings);
  Settings.DataRate = 7200;
  EXPECT_EQ(ApplyClockCalibration(250), "0.0250 %");
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.025f);
  EXPECT_NEAR(Settings.SamplePeriod, 0.1389236, 1e-7);
  const std::pair<int, const char*> labels[] = {
      {-1000, "-0.1000 %"}, {1, "0.0001 %"}, {0, "0.0000 %"}};
  for (auto [position, label] : labels) EXPECT_EQ(ApplyClockCalibration(position), label);
  EXPECT_TRUE(boxes.Shown.empty());
  Settings.DataRate = 0;
  ApplyClockCalibration(0);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Bad Interface Data Rate, reset to default.");
  EXPECT_EQ(Settings.DataRate, 7200);
}

}  // namespace
}  // namespace zarvo
