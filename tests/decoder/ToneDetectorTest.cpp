// The robust detector's tone filters and phasing fold, on streams made of frequencies as the
// interface boxes of every rate measure them, clean and under noise.
#include <gtest/gtest.h>

#include "decoder/PhasingFold.h"
#include "decoder/SampleConversion.h"
#include "decoder/ToneDetector.h"
#include "support/Signals.h"

namespace zarvo {
namespace {

using test::FrequencyStream;

struct Box {
  double Rate;
  int Low, High;
  FrequencyStream Stream(double noise = 0, unsigned seed = 1) const {
    return FrequencyStream(Rate, Low, High, noise, seed);
  }
};
const Box kBoxes[] = {{7200, 0, 255}, {5760, 28, 184}, {5236, 36, 236}, {4800, 36, 236}};
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

// Each tone is heard a second after it began, once until it ends, also under heavy noise; it
// acts as from half a second into it.
TEST(ToneDetector, EachToneAfterASecondActingAfterHalfOneAndOnceUntilItEnds) {
  for (const Box& box : kBoxes)
    for (const auto& [hz, kind] : kTones)
      for (const auto& [noise, seed] : {std::pair{0.0, 1u}, {400.0, 1u}, {400.0, 2u}}) {
        SCOPED_TRACE(testing::Message()
                     << box.Rate << "/s, " << hz << " Hz, noise " << noise << ", seed " << seed);
        FrequencyStream s = box.Stream(noise, seed);
        const std::size_t onset = s.Level(1900, 1000).Bytes.size();
        const std::size_t again = s.Tone(hz, 3000).Level(1500, 1000).Bytes.size();
        const auto heard = Listen(s.Tone(hz, 1500));
        ASSERT_EQ(heard.size(), 2u);
        EXPECT_TRUE(heard[0].Kind == kind && heard[1].Kind == kind);
        if (noise > 0) continue;
        // Forty-nine whole blocks of about 20 ms, and the block the tone began in: 0.97 to 1.05 s.
        const double in = static_cast<double>(heard[0].At - onset) / box.Rate;
        EXPECT_TRUE(in >= 0.97 && in <= 1.05) << in;
        // It acts as from half a second into the tone and the 3 ms its beginning may be off (it
        // is read from the part of a block it filled): 500 to 506 ms.
        for (const auto& [h, began] : {std::pair{heard[0], onset}, {heard[1], again}}) {
          const double acts = static_cast<double>(h.Acted - began) / box.Rate;
          EXPECT_TRUE(acts >= 0.5 && acts <= 0.506) << acts;
        }
      }
}

// A tone must last a second: broadcasts send theirs for three to five, while a chart's hatching
// of the tone's period (a weather chart's shaded area) seldom fills two lines without a break.
// Noise spreads over every frequency and a chart's content over many: neither is a tone, however
// strong (the edge counts of the described detector took such noise for start and stop tones).
TEST(ToneDetector, ShortTonesNoiseAndChartsAreNotTones) {
  for (const Box& box : kBoxes) {
    FrequencyStream s = box.Stream(0, 7);
    for (const auto& tone : kTones)
      s.Level(1500, 300).Tone(tone.first, 900).Chart(200, 0.28).Tone(tone.first, 600);
    for (double noise : {100.0, 250.0, 500.0, 1000.0}) {
      s.Noise = noise;
      s.Level(1900, 15000);
    }
    s.Noise = 50;
    s.Chart(15000, 0.28).Level(2300, 2000);  // 120 lines per minute; a white margin, clipped noise
    const auto heard = Listen(s);
    EXPECT_TRUE(heard.empty()) << box.Rate << "/s: a tone at sample " << heard[0].At;
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
  for (const Box& box : {kBoxes[0], kBoxes[3]})
    for (int speed = 0; speed < PhasingFold::kSpeeds; ++speed)
      for (double noise : {0.0, 400.0}) {
        const double lineMs = PhasingFold::kLinePeriodMs[speed], perLine = lineMs * box.Rate / 1000;
        SCOPED_TRACE(testing::Message() << box.Rate << "/s, " << lineMs << " ms, noise " << noise);
        const long at = Fold(fold, box.Stream(noise, 3).Phasing(lineMs, 12, 0.3));
        ASSERT_GE(at, 0);
        EXPECT_EQ(fold.Speed(), speed);
        // At least four lines folded: a multiple of the true period makes as high a peak.
        EXPECT_GE(at, 4 * perLine - 1);
        // The stream began 0.3 of a line after a line start; the pulse is centred on it, half a
        // sample early where the samples fall evenly on both its edges.
        const double since = std::fmod(static_cast<double>(at) + 0.3 * perLine, perLine);
        double apart = std::fabs(fold.SamplesSinceLineStart() - since);
        apart = std::min(apart, perLine - apart);
        EXPECT_LE(apart, noise > 0 ? 0.003 * perLine : 1.0) << fold.SamplesSinceLineStart();
      }
  EXPECT_EQ(Fold(fold, kBoxes[0].Stream(300, 4).Level(1500, 20000)), -1);
  EXPECT_EQ(Fold(fold, kBoxes[0].Stream(30, 5).Chart(20000, 0.28)), -1);
}

}  // namespace
}  // namespace zarvo
