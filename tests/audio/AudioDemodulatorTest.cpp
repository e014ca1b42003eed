// The demodulator against the simulator: its bytes are the box's bytes for the same broadcast,
// at every usual sound rate and with the centre set for a mistuned receiver.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "decoder/SampleConversion.h"
#include "sim/AudioSynth.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"

namespace zarvo {
namespace {

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
  sim::ToneSynth synth(7200, rate);
  std::vector<float> sound;
  synth.Push(frequencies.data(), frequencies.size(), sound);
  return sound;
}

TEST(AudioCalibration, TheFixedPairFitsTheDecoder) {
  // 6.25 Hz a level from 1000 Hz at byte 0: worked out by hand.
  struct Case {
    double Hz;
    int Byte;
  };
  const Case cases[] = {{1200, 32},     {2300, 208}, {1500, 80},  {1900, 144}, {1000, 0},
                        {2593.75, 255}, {900, 0},    {3000, 255}, {1503, 80},  {1504, 81}};
  for (const auto& c : cases) EXPECT_EQ(AudioFrequencyToByte(c.Hz), c.Byte) << c.Hz << " Hz";
  EXPECT_EQ(AudioFrequencyToByte(std::numeric_limits<double>::quiet_NaN()), 0);
  // Black and white are the decoder's black and white in this calibration, with room beyond.
  EXPECT_EQ(SampleToGreyLevel(80, kAudioCalLow, kAudioCalHigh), 0);
  EXPECT_EQ(SampleToGreyLevel(208, kAudioCalLow, kAudioCalHigh), 255);
  EXPECT_EQ(SampleToGreyLevel(144, kAudioCalLow, kAudioCalHigh), 127);
}

TEST(AudioDemodulator, ASteadyToneComesOutAroundTheCentre) {
  // A tone at centre + d comes out as 1900 + d: bytes 144 + d / 6.25.
  struct Case {
    double Centre;
    double Offset;
    int Byte;
  };
  const Case cases[] = {{1900, -400, 80}, {1900, 0, 144},    {1900, 400, 208}, {1700, 0, 144},
                        {1700, 250, 184}, {2150, -150, 120}, {2500, 600, 240}, {1000, -100, 128}};
  for (const int rate : {8000, 48000}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << rate << " Hz, centre " << c.Centre << ", offset " << c.Offset);
      const auto bytes = Demodulate(Tones({c.Centre + c.Offset}, 1.0, rate), rate, c.Centre);
      ASSERT_NEAR(static_cast<double>(bytes.size()), 7200, 50);
      for (std::size_t i = 720; i < 6480; i += 360) EXPECT_NEAR(bytes[i], c.Byte, 1) << i;
    }
  }
}

// A short broadcast of the test chart at 240 lines per minute: every section, 36 s.
sim::BroadcastOptions ShortBroadcast() {
  sim::BroadcastOptions o;
  o.DataRate = kAudioByteRate;
  o.CalLow = kAudioCalLow;
  o.CalHigh = kAudioCalHigh;
  o.Lpm = 240;
  o.LeadSeconds = 1;
  o.StartSeconds = 3;
  o.PhasingSeconds = 3;
  o.StopSeconds = 3;
  o.TrailerSeconds = 1;
  return o;
}

struct RateCase {
  int Rate;
  double Centre;
};

class DemodulatorRates : public testing::TestWithParam<RateCase> {};

// Where the box's stream holds a level for 24 samples (a grey patch, a line of the chart's
// bars), the demodulator gives that level within two after the filters' delay; the edges
// between take the filters' time to settle.
TEST_P(DemodulatorRates, GivesTheBoxsBytesWithinTwoLevels) {
  const auto [rate, centre] = GetParam();
  const sim::GreyImage chart = sim::TestChart(sim::ChartMinHeight);
  const sim::BroadcastOptions options = ShortBroadcast();
  const auto expected = sim::MakeBroadcast(chart, options);
  sim::BroadcastOptions mistuned = options;
  mistuned.MistuneHz = centre - kDefaultCentreHz;  // the receiver's error, as the centre says
  const auto sound = sim::MakeBroadcastAudio(chart, mistuned, rate);

  AudioDemodulator demodulator(rate, centre);
  std::vector<std::uint8_t> bytes;
  demodulator.Push(sound.data(), sound.size(), bytes);
  demodulator.Flush(bytes);
  // Exactly 7200 a second: a rational resampler's last block may be short.
  EXPECT_NEAR(static_cast<double>(bytes.size()), static_cast<double>(expected.size()), 64);

  const auto delay = static_cast<std::size_t>(std::lround(demodulator.DelaySeconds() * 7200));
  constexpr std::size_t Settle = 12;
  std::size_t steady = 0, within = 0;
  int worst = 0;
  // The sound itself begins with an edge.
  for (std::size_t i = Settle + delay; i + Settle < expected.size() && i + delay < bytes.size();
       ++i) {
    bool flat = true;
    for (std::size_t k = i - Settle; k <= i + Settle && flat; ++k)
      flat = expected[k] == expected[i];
    if (!flat) continue;
    ++steady;
    const int error = std::abs(bytes[i + delay] - expected[i]);
    within += error <= 2;
    worst = std::max(worst, error);
  }
  EXPECT_GT(steady, expected.size() / 2);
  EXPECT_EQ(within, steady) << "worst " << worst;
}

INSTANTIATE_TEST_SUITE_P(Rates, DemodulatorRates,
                         testing::Values(RateCase{8000, 1900}, RateCase{11025, 1900},
                                         RateCase{44100, 1900}, RateCase{48000, 1900},
                                         RateCase{96000, 1900}, RateCase{44101, 1900},
                                         RateCase{11025, 1820}, RateCase{48000, 2040}),
                         [](const testing::TestParamInfo<RateCase>& param) {
                           return std::to_string(param.param.Rate) + "Hz_centre" +
                                  std::to_string(static_cast<int>(param.param.Centre));
                         });

TEST(AudioDemodulator, PiecesOfAnySizeGiveTheSameBytesAsOnePush) {
  const auto sound = Tones({1500, 2300, 1700, 2100, 1900}, 0.3, 44100);
  const auto whole = Demodulate(sound, 44100, 1900);
  AudioDemodulator demodulator(44100);
  std::mt19937 random(7);
  for (int run = 0; run < 2; ++run) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = 0; at < sound.size();) {
      const std::size_t n = std::min<std::size_t>(sound.size() - at, random() % 3000);
      demodulator.Push(sound.data() + at, n, bytes);
      at += n;
    }
    demodulator.Flush(bytes);
    EXPECT_EQ(bytes, whole) << "run " << run;
    // After a reset it starts over as a new one.
    demodulator.Reset();
  }
}

TEST(AudioDemodulator, BytesAreHeldBackOnlyForTheLookAhead) {
  AudioDemodulator demodulator(8000);
  const auto sound = Tones({1900}, 3.0, 8000);
  std::vector<std::uint8_t> bytes;
  demodulator.Push(sound.data(), sound.size(), bytes);
  // Three seconds in, two are out: a second waits for a tone that may have begun in it.
  EXPECT_NEAR(static_cast<double>(bytes.size()), 2 * 7200, 50);
  demodulator.Flush(bytes);
  EXPECT_NEAR(static_cast<double>(bytes.size()), 3 * 7200, 50);
  EXPECT_NEAR(demodulator.LatencySeconds(), 1 + demodulator.DelaySeconds(), 1e-9);
  EXPECT_GT(demodulator.DelaySeconds(), 0.001);
  EXPECT_LT(demodulator.DelaySeconds(), 0.02);
}

TEST(AudioDemodulator, BadSamplesNeitherCrashNorLinger) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const double bad : {nan, inf, -inf, 1e30, -3e38}) {
    SCOPED_TRACE(bad);
    auto sound = Tones({2300}, 2.0, 11025);
    for (std::size_t i = 1000; i < 3000; ++i) sound[i] = static_cast<float>(bad);
    const auto bytes = Demodulate(sound, 11025, 1900);
    ASSERT_NEAR(static_cast<double>(bytes.size()), 2 * 7200, 50);
    // A second later the tone is white again.
    for (std::size_t i = 7200; i < 14000; i += 100) EXPECT_NEAR(bytes[i], 208, 1) << i;
  }
}

TEST(AudioDemodulator, RefusesRatesAndCentresOutsideItsRange) {
  EXPECT_THROW(AudioDemodulator(7999), std::invalid_argument);
  EXPECT_THROW(AudioDemodulator(96001), std::invalid_argument);
  EXPECT_THROW(AudioDemodulator(48000, 999), std::invalid_argument);
  EXPECT_THROW(AudioDemodulator(48000, 2501), std::invalid_argument);
  EXPECT_THROW(AudioDemodulator(48000, std::numeric_limits<double>::quiet_NaN()),
               std::invalid_argument);
  AudioDemodulator demodulator(8000);
  EXPECT_THROW(demodulator.SetCentre(3000), std::invalid_argument);
  EXPECT_EQ(demodulator.Centre(), 1900);
}

}  // namespace
}  // namespace zarvo
