// The demodulator against the simulator: its bytes are the box's bytes for the same broadcast,
// at every usual sound rate and with the centre set for a mistuned receiver.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "sim/AudioSynth.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"

namespace zarvo {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::uint8_t> Demodulate(const std::vector<float>& sound, int rate, double centre) {
  AudioDemodulator demodulator(rate, centre);
  std::vector<std::uint8_t> bytes;
  demodulator.Push(sound.data(), sound.size(), bytes);
  demodulator.Flush(bytes);
  return bytes;
}

// Sound of steady tones, each held for `seconds`.
std::vector<float> Tones(const std::vector<double>& hz, double seconds, int rate) {
  std::vector<double> frequencies;
  for (const double f : hz)
    frequencies.insert(frequencies.end(), static_cast<std::size_t>(seconds * 7200), f);
  std::vector<float> sound;
  sim::ToneSynth(7200, rate).Push(frequencies.data(), frequencies.size(), sound);
  return sound;
}

TEST(AudioDemodulator, FrequenciesTakeTheDecodersCalibrationAroundTheCentre) {
  // 6.25 Hz a level from 1000 Hz at byte 0: worked out by hand.
  const std::pair<double, int> cases[] = {{1200, 32}, {2300, 208},    {1500, 80}, {1900, 144},
                                          {1000, 0},  {2593.75, 255}, {900, 0},   {3000, 255},
                                          {1503, 80}, {1504, 81},     {kNaN, 0}};
  for (const auto& [hz, byte] : cases) EXPECT_EQ(AudioFrequencyToByte(hz), byte) << hz << " Hz";
  // A steady tone at centre + d comes out as 1900 + d: bytes 144 + d / 6.25.
  const struct {
    double Centre, Offset;
    int Byte;
  } tones[] = {{1900, -400, 80}, {1900, 0, 144},    {1900, 400, 208}, {1700, 0, 144},
               {1700, 250, 184}, {2150, -150, 120}, {2500, 600, 240}, {1000, -100, 128}};
  for (const int rate : {8000, 48000}) {
    for (const auto& [centre, offset, byte] : tones) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, centre " << centre << ", offset " << offset);
      const auto bytes = Demodulate(Tones({centre + offset}, 1.0, rate), rate, centre);
      ASSERT_NEAR(static_cast<double>(bytes.size()), 7200, 50);
      for (std::size_t i = 720; i < 6480; i += 360) EXPECT_NEAR(bytes[i], byte, 1) << i;
    }
  }
}

// Where the box's stream holds a level for 24 samples (a grey patch, a line of the chart's
// bars), the demodulator gives that level within two after the filters' delay; the edges
// between take the filters' time to settle.
TEST(AudioDemodulator, GivesTheBoxsBytesWithinTwoLevelsAtEveryRate) {
  const sim::GreyImage chart = sim::TestChart(sim::ChartMinHeight);
  // Every section, at 240 lines per minute.
  sim::BroadcastOptions o{.DataRate = kAudioByteRate, .CalLow = kAudioCalLow};
  o.CalHigh = kAudioCalHigh;
  o.Lpm = 240;
  o.PhasingSeconds = 3;
  const auto expected = sim::MakeBroadcast(chart, o);
  const std::pair<int, double> cases[] = {{8000, 1900},  {11025, 1900}, {44100, 1900},
                                          {48000, 1900}, {96000, 1900}, {44101, 1900},
                                          {11025, 1820}, {48000, 2040}};
  for (const auto& [rate, centre] : cases) {
    SCOPED_TRACE(testing::Message() << rate << " Hz, centre " << centre);
    o.MistuneHz = centre - kDefaultCentreHz;  // the receiver's error, as the centre says
    const auto bytes = Demodulate(sim::MakeBroadcastAudio(chart, o, rate), rate, centre);
    // Exactly 7200 a second: a rational resampler's last block may be short.
    EXPECT_NEAR(static_cast<double>(bytes.size()), static_cast<double>(expected.size()), 64);
    const auto delay =
        static_cast<std::size_t>(std::lround(AudioDemodulator(rate, centre).DelaySeconds() * 7200));
    constexpr std::size_t Settle = 12;
    std::size_t steady = 0, within = 0;
    // The sound itself begins with an edge.
    for (std::size_t i = Settle + delay; i + Settle < expected.size() && i + delay < bytes.size();
         ++i) {
      bool flat = true;
      for (std::size_t k = i - Settle; k <= i + Settle && flat; ++k)
        flat = expected[k] == expected[i];
      steady += flat;
      within += flat && std::abs(bytes[i + delay] - expected[i]) <= 2;
    }
    EXPECT_GT(steady, expected.size() / 2);
    EXPECT_EQ(within, steady);
  }
}

// Pieces of any size give the bytes of one push, all but the second held back for the tone
// that may have begun in it; after a reset it starts over as a new one.
TEST(AudioDemodulator, PiecesOfAnySizeGiveTheSameBytesAsOnePush) {
  const auto sound = Tones({1500, 2300, 1700, 2100, 1900}, 0.6, 44100);
  const auto whole = Demodulate(sound, 44100, 1900);
  AudioDemodulator demodulator(44100);
  std::mt19937 random(7);
  for (int run = 0; run < 2; ++run) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = 0, n; at < sound.size(); at += n) {
      n = std::min<std::size_t>(sound.size() - at, random() % 3000);
      demodulator.Push(sound.data() + at, n, bytes);
    }
    EXPECT_NEAR(static_cast<double>(bytes.size()), 2 * 7200, 50);
    demodulator.Flush(bytes);
    EXPECT_EQ(bytes, whole) << "run " << run;
    demodulator.Reset();
  }
}

TEST(AudioDemodulator, BadSamplesNeitherCrashNorLinger) {
  for (const float bad : {NAN, INFINITY, -INFINITY, 1e30f, -3e38f}) {
    SCOPED_TRACE(bad);
    auto sound = Tones({2300}, 2.0, 11025);
    std::fill(sound.begin() + 1000, sound.begin() + 3000, bad);
    const auto bytes = Demodulate(sound, 11025, 1900);
    ASSERT_NEAR(static_cast<double>(bytes.size()), 2 * 7200, 50);
    // A second later the tone is white again.
    for (std::size_t i = 7200; i < 14000; i += 100) EXPECT_NEAR(bytes[i], 208, 1) << i;
  }
}

TEST(AudioDemodulator, RefusesRatesAndCentresOutsideItsRange) {
  const std::pair<int, double> cases[] = {
      {7999, 1900}, {96001, 1900}, {48000, 999}, {48000, 2501}, {48000, kNaN}};
  for (const auto& [rate, centre] : cases)
    EXPECT_THROW(AudioDemodulator(rate, centre), std::invalid_argument) << rate << " " << centre;
  AudioDemodulator demodulator(8000);
  EXPECT_THROW(demodulator.SetCentre(3000), std::invalid_argument);
  EXPECT_EQ(demodulator.Centre(), 1900);
}

}  // namespace
}  // namespace zarvo
