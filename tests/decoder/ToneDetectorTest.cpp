// The robust detector's tone filters and phasing fold, on streams made of frequencies as the
// interface boxes of every rate measure them. Under noise, and in charts, through whole
// broadcasts in the end-to-end tests.
#include <gtest/gtest.h>

#include "decoder/PhasingFold.h"
#include "decoder/SampleConversion.h"
#include "decoder/ToneDetector.h"
#include "support/Signals.h"

namespace zarvo {
namespace {

using test::FrequencyStream;

const FrequencyStream kBoxes[] = {
    {7200, 0, 255}, {5760, 28, 184}, {5236, 36, 236}, {4800, 36, 236}};
constexpr std::pair<double, Tone> kTones[] = {
    {300, Tone::Start576}, {675, Tone::Start288}, {450, Tone::Stop}};

struct Heard {
  Tone Kind;
  std::size_t At;     // the sample it was recognised with
  std::size_t Acted;  // the sample from which it acts
};

std::vector<Heard> Listen(const FrequencyStream& s) {
  ToneDetector detector(1000 / s.Rate);
  std::vector<Heard> heard;
  for (std::size_t i = 0; i < s.Bytes.size(); ++i)
    if (const Tone t = detector.Push(s.Bytes[i], 1000 / s.Rate); t != Tone::None)
      heard.push_back({t, i, i - static_cast<std::size_t>(detector.Late())});
  return heard;
}

// Each tone is heard a second after it began and once until it ends; it acts as from half a
// second into it. A tone must last a second: broadcasts send theirs for three to five, while a
// chart's hatching of the tone's period seldom fills two lines without a break.
TEST(ToneDetector, EachToneAfterASecondActingAfterHalfOneAndOnceUntilItEnds) {
  for (FrequencyStream s : kBoxes)
    for (const auto& [hz, kind] : kTones) {
      SCOPED_TRACE(testing::Message() << s.Rate << "/s, " << hz << " Hz");
      s.Bytes.clear();
      s.Level(1500, 300).Tone(hz, 900).Level(1900, 200).Tone(hz, 600).Level(1900, 1000);
      const std::size_t onset = s.Bytes.size();
      const std::size_t again = s.Tone(hz, 3000).Level(1500, 1000).Bytes.size();
      const auto heard = Listen(s.Tone(hz, 1500));
      ASSERT_EQ(heard.size(), 2u);
      EXPECT_TRUE(heard[0].Kind == kind && heard[1].Kind == kind);
      // Forty-nine whole blocks of about 20 ms, and the block the tone began in: 0.97 to 1.05 s.
      const double in = static_cast<double>(heard[0].At - onset) / s.Rate;
      EXPECT_TRUE(in >= 0.97 && in <= 1.05) << in;
      // Half a second, and the 3 ms its beginning may be off (it is read from the part of a
      // block it filled): 500 to 506 ms.
      for (const auto& [h, began] : {std::pair{heard[0], onset}, {heard[1], again}}) {
        const double acts = static_cast<double>(h.Acted - began) / s.Rate;
        EXPECT_TRUE(acts >= 0.5 && acts <= 0.506) << acts;
      }
    }
}

// Pushes phasing lines into a fold until it decides; the sample it decided with, or -1.
long Fold(PhasingFold& fold, const FrequencyStream& s) {
  fold.Start(1000 / s.Rate);
  for (std::size_t i = 0; i < s.Bytes.size(); ++i)
    if (fold.Push(SampleToGreyLevel(s.Bytes[i], s.Low, s.High))) return static_cast<long>(i);
  return -1;
}

TEST(PhasingFold, FindsTheSpeedAndTheLineStartButNothingWithoutPulses) {
  PhasingFold fold;
  EXPECT_FALSE(fold.Push(255));  // not started yet: nothing to fold into
  for (FrequencyStream s : {kBoxes[0], kBoxes[3]})
    for (int speed = 0; speed < PhasingFold::kSpeeds; ++speed) {
      const double lineMs = PhasingFold::kLinePeriodMs[speed], perLine = lineMs * s.Rate / 1000;
      SCOPED_TRACE(testing::Message() << s.Rate << "/s, " << lineMs << " ms");
      const long at = Fold(fold, s.Phasing(lineMs, 12, 0.3));
      ASSERT_GE(at, 0);
      EXPECT_EQ(fold.Speed(), speed);
      // At least four lines folded: a multiple of the true period makes as high a peak.
      EXPECT_GE(at, 4 * perLine - 1);
      // The stream began 0.3 of a line after a line start; the pulse is centred on it, half a
      // sample early where the samples fall evenly on both its edges.
      const double since = std::fmod(static_cast<double>(at) + 0.3 * perLine, perLine);
      const double apart = std::fabs(fold.SamplesSinceLineStart() - since);
      EXPECT_LE(std::min(apart, perLine - apart), 1.0) << fold.SamplesSinceLineStart();
      s.Bytes.clear();
    }
  EXPECT_EQ(Fold(fold, FrequencyStream(7200).Level(1500, 20000)), -1);
}

}  // namespace
}  // namespace zarvo
