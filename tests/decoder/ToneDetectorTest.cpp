// The robust detector: tone filters, the phasing fold and the wait for the picture, on streams
// made of frequencies as the interface boxes of every rate measure them, clean and under noise.
#include <gtest/gtest.h>

#include "decoder/Decoder.h"
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
};
constexpr Box kBoxes[] = {{7200, 0, 255}, {5760, 28, 184}, {5236, 36, 236}, {4800, 36, 236}};

struct ToneCase {
  double Hz;
  Tone Kind;
};
constexpr ToneCase kTones[] = {{300, Tone::Start576}, {675, Tone::Start288}, {450, Tone::Stop}};

struct Heard {
  Tone Kind;
  std::size_t At;     // the sample it was recognised with
  std::size_t Acted;  // the sample from which it acts
};

std::vector<Heard> Listen(const test::Samples& samples, double rate) {
  ToneDetector detector(1000 / rate);
  std::vector<Heard> heard;
  for (std::size_t i = 0; i < samples.size(); ++i)
    if (const Tone t = detector.Push(samples[i], 1000 / rate); t != Tone::None)
      heard.push_back({t, i, i - static_cast<std::size_t>(detector.Late())});
  return heard;
}

std::string Name(const Box& box, double hz, double noise = 0) {
  return std::to_string(int(box.Rate)) + "/s, " + std::to_string(int(hz)) + " Hz, noise " +
         std::to_string(int(noise));
}

TEST(ToneDetector, EachToneAfterASecondActingAfterHalfOneAndOnceUntilItEnds) {
  for (const Box& box : kBoxes)
    for (const ToneCase& tone : kTones) {
      SCOPED_TRACE(Name(box, tone.Hz));
      FrequencyStream s(box.Rate, box.Low, box.High);
      s.Level(1500, 1000);
      const std::size_t onset = s.Size();
      s.Tone(tone.Hz, 3000);
      s.Level(1500, 1000);
      const std::size_t again = s.Size();
      s.Tone(tone.Hz, 1500);
      const auto heard = Listen(s.Bytes, box.Rate);
      ASSERT_EQ(heard.size(), 2u);
      EXPECT_EQ(heard[0].Kind, tone.Kind);
      EXPECT_EQ(heard[1].Kind, tone.Kind);
      // Forty-nine whole blocks of about 20 ms, and the block the tone began in: 0.97 to 1.05 s.
      const double in = static_cast<double>(heard[0].At - onset) / box.Rate;
      EXPECT_GE(in, 0.97);
      EXPECT_LE(in, 1.05);
      // It acts as from half a second into the tone and the 3 ms its beginning may be off (it is
      // read from the part of a block it filled): 500 to 506 ms.
      for (const auto& [h, began] : {std::pair{heard[0], onset}, std::pair{heard[1], again}}) {
        EXPECT_GE(static_cast<double>(h.Acted - began), 0.5 * box.Rate);
        EXPECT_LE(static_cast<double>(h.Acted - began), 0.506 * box.Rate);
      }
    }
}

// A tone must last a second: broadcasts send theirs for three to five, while a chart's hatching
// of the tone's period (a weather chart's shaded area) seldom fills two lines without a break.
TEST(ToneDetector, ShortTonesAreNotTones) {
  for (const Box& box : kBoxes) {
    FrequencyStream s(box.Rate, box.Low, box.High);
    for (const ToneCase& tone : kTones) {
      s.Level(1500, 300);
      s.Tone(tone.Hz, 900);
      s.Chart(200, 0.28);
      s.Tone(tone.Hz, 600);
    }
    EXPECT_TRUE(Listen(s.Bytes, box.Rate).empty()) << box.Rate;
  }
}

// Noise spreads over every frequency and a chart's content over many: neither is a tone, however
// strong (the edge counts of the described detector took such noise for start and stop tones).
TEST(ToneDetector, NoiseAndChartsNeverPassForATone) {
  for (const Box& box : kBoxes) {
    for (double noise : {100.0, 250.0, 500.0, 1000.0}) {
      FrequencyStream s(box.Rate, box.Low, box.High, noise, 7);
      s.Level(1900, 15000);
      EXPECT_TRUE(Listen(s.Bytes, box.Rate).empty()) << Name(box, 1900, noise);
    }
    FrequencyStream chart(box.Rate, box.Low, box.High, 50, 8);
    chart.Chart(15000, 0.28);  // 120 lines per minute
    chart.Level(2300, 2000);   // a white margin, clipped noise on it
    EXPECT_TRUE(Listen(chart.Bytes, box.Rate).empty()) << box.Rate;
  }
}

TEST(ToneDetector, TonesUnderHeavyNoise) {
  for (const Box& box : kBoxes)
    for (const ToneCase& tone : kTones)
      for (unsigned seed : {1u, 2u}) {
        SCOPED_TRACE(Name(box, tone.Hz, 400));
        FrequencyStream s(box.Rate, box.Low, box.High, 400, seed);
        s.Level(1900, 2000);
        s.Tone(tone.Hz, 3000);
        s.Level(1500, 1000);
        const auto heard = Listen(s.Bytes, box.Rate);
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].Kind, tone.Kind);
      }
}

// Pushes phasing lines into a fold until it decides; the sample it decided with, or -1.
long Fold(PhasingFold& fold, const FrequencyStream& s, const Box& box) {
  fold.Start(1000 / box.Rate);
  for (std::size_t i = 0; i < s.Bytes.size(); ++i)
    if (fold.Push(SampleToGreyLevel(s.Bytes[i], box.Low, box.High))) return static_cast<long>(i);
  return -1;
}

TEST(PhasingFold, FindsTheSpeedAndTheLineStart) {
  PhasingFold fold;
  for (const Box& box : {kBoxes[0], kBoxes[3]})
    for (int speed = 0; speed < PhasingFold::kSpeeds; ++speed)
      for (double noise : {0.0, 400.0}) {
        SCOPED_TRACE(Name(box, 60000 / PhasingFold::kLinePeriodMs[speed], noise));
        const double perLine = PhasingFold::kLinePeriodMs[speed] * box.Rate / 1000;
        FrequencyStream s(box.Rate, box.Low, box.High, noise, 3);
        s.Phasing(PhasingFold::kLinePeriodMs[speed], 12, 0.3);
        const long at = Fold(fold, s, box);
        ASSERT_GE(at, 0);
        EXPECT_EQ(fold.Speed(), speed);
        // At least four lines folded: a multiple of the true period makes as high a peak.
        EXPECT_GE(at, 4 * perLine - 1);
        // The stream began 0.3 of a line after a line start; the pulse is centred on it, half a
        // sample early where the samples fall evenly on both its edges.
        const double since = std::fmod(at + 0.3 * perLine, perLine);
        double apart = std::fabs(fold.SamplesSinceLineStart() - since);
        apart = std::min(apart, perLine - apart);
        EXPECT_LE(apart, noise > 0 ? 0.003 * perLine : 1.0) << fold.SamplesSinceLineStart();
      }
}

TEST(PhasingFold, NoPulsesNoDecision) {
  PhasingFold fold;
  EXPECT_FALSE(fold.Push(255));  // not started yet: nothing to fold into
  const Box box = kBoxes[0];
  FrequencyStream black(box.Rate, box.Low, box.High, 300, 4);
  black.Level(1500, 20000);
  EXPECT_EQ(Fold(fold, black, box), -1);
  FrequencyStream chart(box.Rate, box.Low, box.High, 30, 5);
  chart.Chart(20000, 0.28);
  EXPECT_EQ(Fold(fold, chart, box), -1);
}

// A whole broadcast under 300 Hz of noise through the decoder with its robust detector: every
// stage in order, the rows of the picture saved, and nothing else heard.
TEST(RobustDecoder, NoisyBroadcastFromStartToStop) {
  TSettings settings{};
  settings.CalLow = 0;
  settings.CalHigh = 255;
  settings.SamplePeriod = 1000.0f / 7200;
  settings.IOC = 0;
  test::RecordingHost host;
  TDecoder decoder(settings, host);
  decoder.SetMode(0);  // the phasing must find 120 lines per minute
  std::vector<int> saved;
  host.OnSave = [&] { saved.push_back(decoder.SaveHeight); };

  FrequencyStream s(7200, 0, 255, 300, 11);
  s.Level(1900, 3000);
  s.Tone(300, 5000);
  s.Phasing(500, 20);
  s.Level(2300, 500);    // the white top: row 0
  s.Chart(10000, 0.28);  // rows 1 to 20
  s.Tone(450, 3000);     // recognised half a second in: row 21
  s.Level(1500, 2000);
  for (std::size_t i = 0; i < s.Size(); i += 7) {  // drains of about a millisecond each
    decoder.Process(s.Bytes.data() + i, std::min<std::size_t>(7, s.Size() - i));
    decoder.EndOfTick();
  }
  EXPECT_EQ(host.Events(), (std::vector<std::string>{"Start IOC 576", "Synchronizing", "Waiting",
                                                     "Receiving", "Stop"}));
  EXPECT_EQ(settings.DrumSpeed, 2);
  EXPECT_EQ(settings.IOC, 1);
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_NEAR(saved[0], 22, 1);
}

// A stop acts as from half a second into its tone, and closes the picture as it stood then. When
// Start was pressed between then and the stop's recognition, there is no going back past it:
// the picture opened by hand is closed as it stands, and the old one's rows are not saved under
// its name.
TEST(RobustDecoder, StartPressedWhileAStopIsRecognisedClosesThePictureOpenedByHand) {
  TSettings settings{};
  settings.CalLow = 0;
  settings.CalHigh = 255;
  settings.SamplePeriod = 1000.0f / 7200;
  settings.IOC = 1;
  test::RecordingHost host;
  TDecoder decoder(settings, host);
  decoder.SetMode(2);
  std::vector<int> saved;
  host.OnSave = [&] { saved.push_back(decoder.SaveHeight); };
  decoder.ManualStart();
  // Lines of 500 ms from the start: the stop tone from 10.3 s acts from 10.8 s, the old picture
  // moves to row 22 at 11 s, Start is pressed at 11.15 s, the stop is recognised at 11.3 s.
  FrequencyStream s(7200);
  s.Level(1500, 10300);
  s.Tone(450, 3000);
  s.Level(1500, 1000);
  const std::size_t pressed = 11150 * 72 / 10;
  decoder.Process(s.Bytes.data(), pressed);
  EXPECT_EQ(decoder.CurrentLine, 22);
  decoder.ManualStart();
  decoder.Process(s.Bytes.data() + pressed, s.Size() - pressed);
  EXPECT_EQ(host.Events(), std::vector<std::string>{"Stop"});
  EXPECT_EQ(saved, std::vector<int>{1});
}

}  // namespace
}  // namespace zarvo
