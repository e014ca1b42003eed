// The demodulator against the simulator: its bytes are the box's bytes for the same broadcast,
// at every usual sound rate and with the centre set for a mistuned receiver. Start and stop
// tones, plain or as an alternation, clean or under noise as strong as the signal, come out as
// the box's clean alternation where they were sent; pictures, phasing, a carrier and noise never
// do.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "audio/AudioDemodulator.h"
#include "sim/AudioSynth.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"

namespace zarvo {
namespace {

constexpr double kClean = INFINITY;

// The bytes of a sound and the start and stop tones recognised in it.
struct Heard {
  std::vector<std::uint8_t> Bytes;
  int Tones;
};

Heard Demodulate(const std::vector<float>& sound, int rate, double centre = 1900) {
  AudioDemodulator demodulator(rate);
  demodulator.SetCentre(centre);
  Heard heard;
  demodulator.Push(sound.data(), sound.size(), heard.Bytes);
  demodulator.Flush(heard.Bytes);
  heard.Tones = demodulator.TonesRecognised();
  return heard;
}

// The sound at `rate` of frequencies at 7200 a second.
std::vector<float> Sound(const std::vector<double>& hz, int rate, double snr = kClean,
                         unsigned seed = 5) {
  std::vector<float> sound;
  sim::ToneSynth(7200, rate, snr, seed).Push(hz.data(), hz.size(), sound);
  return sound;
}

// Steady tones, each held for `seconds`.
std::vector<float> Tones(const std::vector<double>& hz, double seconds, int rate) {
  std::vector<double> held;
  for (const double f : hz) held.insert(held.end(), static_cast<std::size_t>(seconds * 7200), f);
  return Sound(held, rate);
}

TEST(AudioDemodulator, FrequenciesTakeTheDecodersCalibrationAroundTheCentre) {
  // 6.25 Hz a level from 1000 Hz at byte 0: worked out by hand.
  const std::pair<double, int> cases[] = {{1200, 32}, {2300, 208},    {1500, 80}, {1900, 144},
                                          {1000, 0},  {2593.75, 255}, {900, 0},   {3000, 255},
                                          {1503, 80}, {1504, 81},     {NAN, 0}};
  for (const auto& [hz, byte] : cases) EXPECT_EQ(AudioFrequencyToByte(hz), byte) << hz << " Hz";
  // At the ends of the centre's range a steady tone at centre + d comes out as 1900 + d.
  for (const auto& [centre, offset, byte] :
       {std::tuple(2500.0, 600.0, 240), {1000.0, -100.0, 128}}) {
    const auto bytes = Demodulate(Tones({centre + offset}, 1.0, 8000), 8000, centre).Bytes;
    EXPECT_NEAR(bytes.at(3600), byte, 1) << centre;
  }
}

// Where the box's stream holds a level for 24 samples (a grey patch, a line of the chart's
// bars), the demodulator gives that level within two after the filters' delay; the edges
// between take the filters' time to settle.
TEST(AudioDemodulator, GivesTheBoxsBytesWithinTwoLevelsAtEveryRate) {
  const sim::GreyImage chart = sim::TestChart(sim::ChartMinHeight);
  sim::BroadcastOptions o{.DataRate = kAudioByteRate,
                          .CalLow = kAudioCalLow,
                          .CalHigh = kAudioCalHigh,
                          .Lpm = 240,
                          .PhasingSeconds = 3};
  const auto expected = sim::MakeBroadcast(chart, o);
  const std::pair<int, double> cases[] = {{8000, 1900},  {11025, 1900}, {44100, 1900},
                                          {48000, 1900}, {96000, 1900}, {44101, 1900},
                                          {11025, 1820}, {48000, 2040}};
  for (const auto& [rate, centre] : cases) {
    SCOPED_TRACE(testing::Message() << rate << " Hz, centre " << centre);
    o.MistuneHz = centre - kDefaultCentreHz;  // the receiver's error, as the centre says
    const auto bytes = Demodulate(sim::MakeBroadcastAudio(chart, o, rate), rate, centre).Bytes;
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
    EXPECT_TRUE(steady > expected.size() / 2 && within == steady) << within << " of " << steady;
  }
}

// Pieces of any size give the bytes of one push, all but the second held back for the tone
// that may have begun in it; after a reset, even in a plain start tone, it starts over as new.
TEST(AudioDemodulator, PiecesOfAnySizeGiveTheSameBytesAsOnePush) {
  const auto sound = Tones({1500, 2300, 1900, 300, 300}, 0.6, 44100);
  const auto whole = Demodulate(sound, 44100).Bytes;
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

// Bad samples neither crash nor linger; rates and centres it cannot take are refused.
TEST(AudioDemodulator, BadSamplesAndSettingsAreSurvived) {
  for (const float bad : {NAN, INFINITY, -INFINITY, 1e30f, -3e38f}) {
    SCOPED_TRACE(bad);
    auto sound = Tones({2300}, 2.0, 11025);
    std::fill(sound.begin() + 1000, sound.begin() + 3000, bad);
    const auto bytes = Demodulate(sound, 11025).Bytes;
    ASSERT_NEAR(static_cast<double>(bytes.size()), 2 * 7200, 50);
    // A second later the tone is white again.
    for (std::size_t i = 7200; i < 14000; i += 100) EXPECT_NEAR(bytes[i], 208, 1) << i;
  }
  const std::pair<int, double> cases[] = {
      {7999, 1900}, {96001, 1900}, {48000, 999}, {48000, 2501}, {48000, NAN}};
  for (const auto& [rate, centre] : cases)
    EXPECT_THROW(AudioDemodulator(rate, centre), std::invalid_argument) << rate << " " << centre;
  AudioDemodulator demodulator(8000);
  EXPECT_THROW(demodulator.SetCentre(3000), std::invalid_argument);
  EXPECT_EQ(demodulator.Centre(), 1900);
}

// Clean, and under noise as strong as the signal, with the receiver's mistuning taken out by the
// centre.
TEST(ToneRecognition, TonesComeOutAsTheAlternationWhereTheyWereSent) {
  using enum StartStopTone;
  // The tone, whether plain, the signal to noise ratio and the mistuning.
  const std::tuple<StartStopTone, bool, double, double> cases[] = {
      {Start576, true, kClean, 0}, {Start288, true, kClean, 0},  {Stop, true, kClean, 0},
      {Start576, true, 0, 0},      {Stop, true, -5, 0},          {Start576, true, kClean, 100},
      {Start288, true, 0, -60},    {Start576, false, kClean, 0}, {Start288, false, kClean, 0},
      {Stop, false, kClean, 0},    {Start576, false, 0, 0},      {Start288, false, 0, 0},
      {Stop, false, 0, 80}};
  for (const auto& [tone, plain, snr, shift] : cases) {
    const int rate = ToneRate(tone);
    SCOPED_TRACE(testing::Message() << rate << (plain ? " Hz plain" : " Hz alternation") << ", SNR "
                                    << snr << ", shift " << shift);
    // A second of carrier, four of the tone, a second of carrier, at 7200 frequencies a second.
    std::vector<double> hz(7200, 1900 + shift);
    for (int i = 0; i < 4 * 7200; ++i)
      hz.push_back(shift + (plain ? rate : (i * 2 * rate / 7200) % 2 == 0 ? 1500 : 2300));
    hz.insert(hz.end(), 7200, 1900 + shift);
    const auto [bytes, tones] = Demodulate(Sound(hz, 11025, snr), 11025, 1900 + shift);
    ASSERT_EQ(tones, 1);

    // The alternation's bytes: black 80 and white 208, a half period each, from the tone's
    // onset. Noise may give two such bytes in a row, never a dozen.
    const auto delay = std::lround(AudioDemodulator(11025).DelaySeconds() * 7200);
    long first = -1, last = -1, changes = 0, run = 0;
    for (long i = 0; i < static_cast<long>(bytes.size()); ++i) {
      run = bytes[i] == 80 || bytes[i] == 208 ? run + 1 : 0;
      if (run < 12) continue;
      if (first < 0) first = i - 11;
      last = i;
    }
    ASSERT_GE(first, 0);
    for (long i = first + 1; i <= last; ++i) changes += bytes[i] != bytes[i - 1];
    // Clean, the onset and end to 3 ms; under noise as strong as the signal, to 20 ms.
    const double slack = std::isinf(snr) ? 0.003 * 7200 : 0.02 * 7200;
    EXPECT_NEAR(static_cast<double>(first), static_cast<double>(7200 + delay), slack);
    EXPECT_NEAR(static_cast<double>(last), static_cast<double>(5 * 7200 + delay), slack);
    // Two changes per period: 2400 for 300 Hz over four seconds.
    EXPECT_NEAR(static_cast<double>(changes), 8.0 * rate, 8 + 2 * slack * rate / 3600);
  }
}

// What must never pass for a tone: the chart's picture and its phasing, clean and under noise;
// a steady carrier under noise; noise, faint noise and silence alone.
TEST(ToneRecognition, NoneInPicturesPhasingCarrierOrNoise) {
  const sim::GreyImage chart = sim::TestChart(300);
  for (const int lpm : {60, 120, 240})
    for (const double snr : {kClean, 10.0, 0.0}) {
      SCOPED_TRACE(testing::Message() << lpm << " lines per minute, SNR " << snr);
      const sim::BroadcastOptions o{
          .Lpm = lpm, .LeadSeconds = 1, .StartSeconds = 0, .PhasingSeconds = 10, .StopSeconds = 0};
      EXPECT_EQ(Demodulate(sim::MakeBroadcastAudio(chart, o, 11025, snr, 9), 11025).Tones, 0);
    }
  std::mt19937 random(11);
  std::normal_distribution<float> gauss(0, 1);
  for (const double snr : {20.0, 0.0, -10.0}) {
    auto sound = Sound(std::vector<double>(60 * 7200, 1900), 11025, snr, 3);
    EXPECT_EQ(Demodulate(sound, 11025).Tones, 0) << "carrier at " << snr << " dB";
    // Noise alone, of the same deviation as the carrier's, faint and none.
    const float level = snr > 0 ? 0.3f : snr == 0 ? 1e-5f : 0.0f;
    for (float& x : sound) x = level * gauss(random);
    EXPECT_EQ(Demodulate(sound, 11025).Tones, 0) << "noise of deviation " << level;
  }
}

}  // namespace
}  // namespace zarvo
