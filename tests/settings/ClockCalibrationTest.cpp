// The clock calibration from a picture's corners without a window: the correction rule, the
// track bar position it gives, and the two-click exchange with the user.
#include <gtest/gtest.h>

#include <cmath>

#include "settings/ClockCalibration.h"
#include "settings/Settings.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

// Corners 1800 rows apart on a 1810 pixel row, 10 pixels off: 0.000307 %, negative when the left
// edge drifts right going down, doubled at IOC 288 (two rows a line), halved below 0.001 and
// taken as it is from 0.002. Corners on one row measure nothing.
TEST(ClockCorrection, FromTwoCorners) {
  const auto correction = [](int x1, int y1, int x2, int y2, int ioc, int width) {
    float c = 0;
    return ClockCorrection(x1, y1, x2, y2, ioc, width, c) ? c : NAN;
  };
  EXPECT_NEAR(correction(100, 50, 110, 1850, 1, 1810), -0.000307 / 2, 1e-7);
  EXPECT_NEAR(correction(110, 50, 100, 1850, 1, 1810), 0.000307 / 2, 1e-7);
  EXPECT_NEAR(correction(110, 50, 100, 1850, 0, 1810), 2 * 0.000307 / 2, 1e-7);
  EXPECT_NEAR(correction(1000, 0, 0, 27150, 1, 1810), 100.0 * 1000 / 1810 / 27150, 1e-7);
  EXPECT_TRUE(std::isnan(correction(100, 50, 110, 50, 1, 1810)));
  EXPECT_TRUE(std::isnan(correction(100, 50, 110, 60, 1, 0)));
}

TEST(ClockCorrection, TrackBarPosition) {
  EXPECT_EQ(CorrectedClockPosition(-0.0001535f), -1);  // truncate(-1.535 + 0.5)
  EXPECT_EQ(CorrectedClockPosition(0.0001535f), 2);
  EXPECT_EQ(CorrectedClockPosition(0.025f), 250);
  EXPECT_EQ(CorrectedClockPosition(0.5f), 1000);  // the bar's end
  EXPECT_EQ(CorrectedClockPosition(-7.0f), -1000);
}

class ClockCalibrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    Settings.DataRate = 7200;
    Settings.ClockCal = 0.01f;
    clock.OnArmed(this, [this] { ++armed; });
    clock.OnCorrected(this, [this](int position) { positions.push_back(position); });
  }
  std::string LastText() const { return boxes.Shown.empty() ? "" : boxes.Shown.back().Text; }
  test::RecordingBoxes boxes;
  TClockCalibration clock;
  int armed = 0;
  std::vector<int> positions;
};

// Clicks belong to the picture until the calibration is armed.
TEST_F(ClockCalibrationTest, TwoCornersThenTheCorrectionOnYes) {
  EXPECT_FALSE(clock.Click(10, 10, 1, 1810));
  EXPECT_TRUE(boxes.Shown.empty());
  clock.Arm();
  EXPECT_EQ(armed, 1);
  EXPECT_EQ(LastText(), "Click on the top left (or right) corner of the picture.");
  ASSERT_TRUE(clock.Click(100, 50, 1, 1810));
  EXPECT_EQ(clock.Stage(), 2);
  EXPECT_EQ(LastText(), "Now click on the bottom left (or right) corner of the picture.");
  ASSERT_TRUE(clock.Click(120, 50, 1, 1810));  // the same row: another second corner is wanted
  EXPECT_EQ(clock.Stage(), 2);
  EXPECT_EQ(LastText(),
            "Both corners lie on the same row: click on the bottom left (or right) corner of the "
            "picture.");
  ASSERT_TRUE(clock.Click(110, 1850, 1, 1810));
  EXPECT_EQ(LastText(),
            "Incoming Clock Calibration needs to be corrected with -0.0002%, continue?");
  EXPECT_EQ(boxes.Shown.back().Icon, MessageIcon::Question);
  // 0.01 - 0.0001535 gives position 98, and the record holds the bar's step.
  EXPECT_EQ(positions, std::vector<int>{98});
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.0098f);
  EXPECT_NEAR(Settings.SamplePeriod, 1000.0 * (1 + 0.000098) / 7200, 1e-7);
  EXPECT_FALSE(clock.Pending());
  EXPECT_EQ(clock.Stage(), 1);
}

TEST_F(ClockCalibrationTest, NoResetOrAnAccuratePictureChangesNothing) {
  boxes.Answer = false;
  clock.Arm();
  clock.Reset();
  EXPECT_FALSE(clock.Click(10, 10, 1, 1810));
  clock.Arm();
  clock.Click(100, 50, 1, 1810);
  clock.Click(110, 1850, 1, 1810);
  EXPECT_FALSE(clock.Pending());
  clock.Arm();
  clock.Click(100, 50, 1, 1810);
  clock.Click(100, 1850, 1, 1810);
  EXPECT_EQ(LastText(), "Incoming Clock Calibration already accurate.");
  EXPECT_FALSE(clock.Pending());
  EXPECT_TRUE(positions.empty());
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.01f);
}

// A window that goes takes its part with it; another's stays.
TEST_F(ClockCalibrationTest, ForgottenWindowsShowNothing) {
  int other = 0;
  clock.OnArmed(&other, [&other] { ++other; });
  clock.Forget(this);
  clock.Arm();
  EXPECT_EQ(other, 1);
  EXPECT_EQ(armed, 0);
  clock.Click(100, 50, 1, 1810);
  clock.Click(110, 1850, 1, 1810);
  EXPECT_TRUE(positions.empty());
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.0098f);  // applied all the same
}

}  // namespace
}  // namespace zarvo
