// Faxes from an interface whose clock is off, with no clock calibration: each comes out straight
// at the line length its own phasing measured, and slants as before with that turned off.
#include <gtest/gtest.h>

#include <cmath>

#include "decode/DecodeRun.h"
#include "measure/CorpusFile.h"
#include "measure/ReceptionScore.h"
#include "measure/TableText.h"
#include "sim/Broadcast.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

// The slant of the one fax `stream` gives, in columns per 1000 rows.
double Slant(const std::vector<std::uint8_t>& stream, decode::DecodeOptions options,
             const sim::GreyImage& sentLines, int ioc, bool straighten) {
  test::TempDir out;
  options.OutDir = out.Path();
  options.Straighten = straighten;
  const measure::Reception r = measure::Receive(stream, options);
  if (r.Faxes.size() != 1) return NAN;
  const auto& fax = r.Faxes[0].Picture;
  return measure::SlantPer1000Rows(fax, sentLines, ioc, measure::CompareFax(fax, sentLines, ioc));
}

// A clock error of e slants by e x 1810 columns a line; an IOC 288 line fills two rows. The
// measure reads a slanted fax's borders a little short.
void ExpectStraightAndOff(double straight, double off, double ppm, int ioc, double tolerance) {
  const double expected = ppm * 1e-6 * 1810 * 1000 / (ioc == 288 ? 2 : 1);
  EXPECT_LE(std::fabs(straight), tolerance);
  EXPECT_NEAR(off, expected, 0.15 * std::fabs(expected) + tolerance);
}

TEST(Straighten, TheIndependentGeneratorsSixtyPpm) {
  measure::CorpusFile file;
  std::vector<measure::SentBroadcast> sent;
  std::string error;
  ASSERT_TRUE(measure::ReadCorpusFile(std::string(ZARVO_CORPUS_DIR) +
                                          "/text-180-576-7200-clock60ppm-mistune40.raw.json",
                                      file, error) &&
              measure::CorpusBroadcasts(file, sent, error))
      << error;
  const auto stream = measure::ReadStream(file.Stream);
  for (bool described : {false, true}) {
    SCOPED_TRACE(described ? "described detector" : "robust detector");
    decode::DecodeOptions options = measure::CorpusOptions(file, described);
    options.ClockCal = 0;
    ExpectStraightAndOff(Slant(stream, options, sent[0].Lines, 576, true),
                         Slant(stream, options, sent[0].Lines, 576, false), file.ClockPpm, 576, 1);
  }
}

TEST(Straighten, EveryClockErrorAtSlowAndFastSpeedsWithNoise) {
  struct Case {
    int Type, Lpm, Ioc;
    double NoiseHz, Ppm, Tolerance;
  } cases[] = {{1, 120, 576, 0, -100, 1}, {4, 240, 288, 150, 100, 2}, {1, 60, 576, 150, 30, 2}};
  const sim::GreyImage chart = sim::TestChart(400);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Lpm << " LPM, IOC " << c.Ioc << ", interface " << c.Type
                                    << ", " << c.NoiseHz << " Hz, " << c.Ppm << " ppm");
    const InterfaceTypeInfo& info = InterfaceTypeParams(c.Type);
    const auto stream = sim::MakeBroadcast(chart, {.DataRate = info.DataRate,
                                                   .CalLow = info.CalLow,
                                                   .CalHigh = info.CalHigh,
                                                   .Lpm = c.Lpm,
                                                   .Ioc = c.Ioc,
                                                   .NoiseHz = c.NoiseHz,
                                                   .ClockErrorPpm = c.Ppm});
    const decode::DecodeOptions options{.InterfaceType = c.Type, .Start = {2026, 12, 8, 9, 0, 0}};
    const sim::GreyImage lines = measure::SentLines(chart, c.Ioc);
    ExpectStraightAndOff(Slant(stream, options, lines, c.Ioc, true),
                         Slant(stream, options, lines, c.Ioc, false), c.Ppm, c.Ioc, c.Tolerance);
  }
}

}  // namespace
}  // namespace zarvo
