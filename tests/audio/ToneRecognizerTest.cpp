// Start and stop tones in the sound, plain or as an alternation, clean or under noise as strong
// as the signal, come out as the box's clean alternation where they were sent; pictures,
// phasing, a carrier and noise never do.
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

constexpr double kClean = std::numeric_limits<double>::infinity();
constexpr int kRate = 11025;

// The start and stop tones heard in `sound`; its bytes to `bytes` when asked.
int TonesIn(const std::vector<float>& sound, double centre = 1900,
            std::vector<std::uint8_t>* bytes = nullptr) {
  std::vector<std::uint8_t> own;
  AudioDemodulator demodulator(kRate);
  demodulator.SetCentre(centre);
  demodulator.Push(sound.data(), sound.size(), bytes ? *bytes : own);
  demodulator.Flush(bytes ? *bytes : own);
  return demodulator.TonesRecognised();
}

// Clean, and under noise as strong as the signal, with the receiver's mistuning taken out by the
// centre.
TEST(ToneRecognition, TonesComeOutAsTheAlternationWhereTheyWereSent) {
  using enum StartStopTone;
  const struct {
    StartStopTone Tone;
    bool Plain;
    double SnrDb, Shift;
  } cases[] = {
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
    std::vector<float> sound;
    sim::ToneSynth(7200, kRate, snr, 5).Push(hz.data(), hz.size(), sound);
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(TonesIn(sound, 1900 + shift, &bytes), 1);

    // The alternation's bytes: black 80 and white 208, a half period each, from the tone's
    // onset. Noise may give two such bytes in a row, never a dozen.
    const auto delay = std::lround(AudioDemodulator(kRate).DelaySeconds() * 7200);
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
  for (const int lpm : {60, 120, 240}) {
    for (const double snr : {kClean, 10.0, 0.0}) {
      SCOPED_TRACE(testing::Message() << lpm << " lines per minute, SNR " << snr);
      sim::BroadcastOptions o{.Lpm = lpm, .LeadSeconds = 1, .StartSeconds = 0};
      o.PhasingSeconds = 10;
      o.StopSeconds = 0;
      EXPECT_EQ(TonesIn(sim::MakeBroadcastAudio(chart, o, kRate, snr, 9)), 0);
    }
  }
  std::mt19937 random(11);
  std::normal_distribution<float> gauss(0, 1);
  for (const double snr : {20.0, 0.0, -10.0}) {
    const std::vector<double> hz(60 * 7200, 1900);
    std::vector<float> sound;
    sim::ToneSynth(7200, kRate, snr, 3).Push(hz.data(), hz.size(), sound);
    EXPECT_EQ(TonesIn(sound), 0) << "carrier at " << snr << " dB";
    // Noise alone, of the same deviation as the carrier's, faint and none.
    const float level = snr > 0 ? 0.3f : snr == 0 ? 1e-5f : 0.0f;
    for (float& x : sound) x = level * gauss(random);
    EXPECT_EQ(TonesIn(sound), 0) << "noise of deviation " << level;
  }
}

}  // namespace
}  // namespace zarvo
