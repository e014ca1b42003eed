// The clock correction offered when the phasing lines of faxes in a row measured the same error.
#include <gtest/gtest.h>

#include "settings/Calibration.h"
#include "settings/ClockCalibration.h"
#include "settings/Settings.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

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
