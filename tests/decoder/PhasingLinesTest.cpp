#include "decoder/PhasingLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace zarvo {
namespace {

// Phasing lines `line` samples long: black, with a white pulse of 5 % of a line centred on each
// line start (the first at `centre`); edges that swing over `ramp` samples (0: within one), and
// Gaussian noise of `noise` grey levels.
PhasingLines Phasing(double line, double centre, int lines, double ramp, double noise) {
  PhasingLines phasing;
  std::mt19937 random(7);
  std::normal_distribution<double> gauss(0, noise);
  const double half = 0.025 * line;
  for (int i = 0; i < static_cast<int>(line * lines); ++i) {
    const double k = std::round((i - centre) / line);
    const double inside = half - std::fabs(i - centre - k * line);
    const double white = ramp > 0 ? std::clamp(inside / ramp + 0.5, 0.0, 1.0) : inside > 0;
    phasing.Push(static_cast<int>(std::clamp(255 * white + gauss(random), 0.0, 255.0)));
  }
  return phasing;
}

TEST(PhasingLines, MeasuresTheLineLengthAndWhereTheLinesStart) {
  struct Case {
    double Ppm, Ramp, Noise, Tolerance;
  } cases[] = {
      // Sharp edges: the band of slopes their samples allow, about a sample over all the lines.
      {100, 0, 0, 1},
      {-30, 0, 30, 1},
      {60, 3, 0, 0.3},  // edges that swing: the share of light samples around each
      {-100, 3, 40, 1.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Ppm << " ppm, ramp " << c.Ramp << ", noise " << c.Noise);
    const double line = 3600 * (1 + c.Ppm * 1e-6);
    const PhasingLines::Result r = Phasing(line, 1234.5, 30, c.Ramp, c.Noise).Measure(3600, 1234);
    ASSERT_TRUE(r.Valid);
    EXPECT_NEAR(r.Ppm, c.Ppm, c.Tolerance);
    EXPECT_GE(r.Lines, 28);
    // The last line's start, where the picture's line start is placed from.
    EXPECT_NEAR(r.FirstCentre + 29 * r.LineSamples, 1234.5 + 29 * line, 0.5);
  }
}

TEST(PhasingLines, TrustsNothingButClearPulses) {
  EXPECT_FALSE(Phasing(3600, 1000, 4, 0, 0).Measure(3600, 1000).Valid);  // too few lines
  PhasingLines grey;
  for (int i = 0; i < 3600 * 30; ++i) grey.Push(128 + (i * 7919) % 81 - 40);
  EXPECT_FALSE(grey.Measure(3600, 1000).Valid);
  // Another drum speed's phasing: five short pulses a line are no pulse of 5 %.
  EXPECT_FALSE(Phasing(720, 200, 150, 0, 0).Measure(3600, 1000).Valid);
}

}  // namespace
}  // namespace zarvo
