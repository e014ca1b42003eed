// Start and stop tones in the sound, plain or as an alternation, clean or under noise as strong
// as the signal, come out as the box's clean alternation where they were sent; pictures,
// phasing, a carrier and noise never do.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "measure/AudioReception.h"
#include "measure/ReceptionScore.h"
#include "sim/AudioSynth.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

constexpr double kClean = std::numeric_limits<double>::infinity();
constexpr int kRate = 11025;

struct Sound {
  std::vector<float> Samples;
  AudioDemodulator Demodulator{kRate};
  std::vector<std::uint8_t> Bytes;
  void Demodulate() {
    Demodulator.Push(Samples.data(), Samples.size(), Bytes);
    Demodulator.Flush(Bytes);
  }
};

// A second of carrier, four of the tone, a second of carrier, at 7200 frequencies a second.
std::vector<double> ToneBetweenCarrier(StartStopTone tone, bool plain, double shift) {
  const int rate = ToneRate(tone);
  std::vector<double> hz(7200, 1900 + shift);
  for (int i = 0; i < 4 * 7200; ++i)
    hz.push_back(plain                            ? rate + shift
                 : (i * 2 * rate / 7200) % 2 == 0 ? 1500 + shift
                                                  : 2300 + shift);
  hz.insert(hz.end(), 7200, 1900 + shift);
  return hz;
}

struct ToneCase {
  StartStopTone Tone;
  bool Plain;
  double SnrDb;
  double Shift;  // the receiver's mistuning, which the centre takes out
};

class ToneToAlternation : public testing::TestWithParam<ToneCase> {};

TEST_P(ToneToAlternation, ComesOutWhereItWasSent) {
  const ToneCase c = GetParam();
  const auto hz = ToneBetweenCarrier(c.Tone, c.Plain, c.Shift);
  sim::ToneSynth synth(7200, kRate, c.SnrDb, 5);
  Sound sound;
  synth.Push(hz.data(), hz.size(), sound.Samples);
  sound.Demodulator.SetCentre(1900 + c.Shift);
  sound.Demodulate();
  ASSERT_EQ(sound.Demodulator.TonesRecognised(), 1);

  // The alternation's bytes: black 80 and white 208, a half period each, from the tone's onset.
  // Noise may give two such bytes in a row, never a dozen.
  const auto delay = static_cast<long>(std::lround(sound.Demodulator.DelaySeconds() * 7200));
  long first = -1, last = -1, changes = 0, run = 0;
  for (long i = 0; i < static_cast<long>(sound.Bytes.size()); ++i) {
    const bool alternation = sound.Bytes[i] == 80 || sound.Bytes[i] == 208;
    run = alternation ? run + 1 : 0;
    if (run < 12) continue;
    if (first < 0) first = i - 11;
    last = i;
  }
  ASSERT_GE(first, 0);
  for (long i = first + 1; i <= last; ++i) changes += sound.Bytes[i] != sound.Bytes[i - 1];
  // Clean, the onset and end to 3 ms; under noise as strong as the signal, to 20 ms.
  const double slack = std::isinf(c.SnrDb) ? 0.003 * 7200 : 0.02 * 7200;
  EXPECT_NEAR(static_cast<double>(first), static_cast<double>(7200 + delay), slack);
  EXPECT_NEAR(static_cast<double>(last), static_cast<double>(5 * 7200 + delay), slack);
  // Two changes per period: 2400 for 300 Hz over four seconds.
  EXPECT_NEAR(static_cast<double>(changes), 8.0 * ToneRate(c.Tone),
              8 + 2 * slack * ToneRate(c.Tone) / 3600);
}

INSTANTIATE_TEST_SUITE_P(Tones, ToneToAlternation,
                         testing::Values(ToneCase{StartStopTone::Start576, true, kClean, 0},
                                         ToneCase{StartStopTone::Start288, true, kClean, 0},
                                         ToneCase{StartStopTone::Stop, true, kClean, 0},
                                         ToneCase{StartStopTone::Start576, true, 0, 0},
                                         ToneCase{StartStopTone::Stop, true, -5, 0},
                                         ToneCase{StartStopTone::Start576, true, kClean, 100},
                                         ToneCase{StartStopTone::Start288, true, 0, -60},
                                         ToneCase{StartStopTone::Start576, false, kClean, 0},
                                         ToneCase{StartStopTone::Start288, false, kClean, 0},
                                         ToneCase{StartStopTone::Stop, false, kClean, 0},
                                         ToneCase{StartStopTone::Start576, false, 0, 0},
                                         ToneCase{StartStopTone::Start288, false, 0, 0},
                                         ToneCase{StartStopTone::Stop, false, 0, 80}),
                         [](const testing::TestParamInfo<ToneCase>& param) {
                           const ToneCase& c = param.param;
                           return std::string(c.Plain ? "Plain" : "Alternation") +
                                  std::to_string(ToneRate(c.Tone)) +
                                  (std::isinf(c.SnrDb)
                                       ? "_clean"
                                       : "_snr" +
                                             std::to_string(static_cast<int>(std::abs(c.SnrDb)))) +
                                  "_shift" + std::to_string(static_cast<int>(std::abs(c.Shift)));
                         });

// What must never pass for a tone: the chart's picture and its phasing, clean and under noise;
// a steady carrier under noise; noise, faint noise and silence alone.
TEST(ToneRecognition, NoneInPicturesPhasingCarrierOrNoise) {
  const sim::GreyImage chart = sim::TestChart(300);
  for (const int lpm : {60, 120, 240}) {
    for (const double snr : {kClean, 10.0, 0.0}) {
      SCOPED_TRACE(testing::Message() << lpm << " lines per minute, SNR " << snr);
      sim::BroadcastOptions o;
      o.Lpm = lpm;
      o.StartSeconds = o.StopSeconds = 0;
      o.PhasingSeconds = 10;
      o.LeadSeconds = 1;
      Sound sound;
      sound.Samples = sim::MakeBroadcastAudio(chart, o, kRate, snr, 9);
      sound.Demodulate();
      EXPECT_EQ(sound.Demodulator.TonesRecognised(), 0);
    }
  }
  for (const double snr : {20.0, 0.0, -10.0}) {
    SCOPED_TRACE(testing::Message() << "carrier at " << snr << " dB");
    const std::vector<double> hz(60 * 7200, 1900);
    sim::ToneSynth synth(7200, kRate, snr, 3);
    Sound sound;
    synth.Push(hz.data(), hz.size(), sound.Samples);
    sound.Demodulate();
    EXPECT_EQ(sound.Demodulator.TonesRecognised(), 0);
  }
  for (const float level : {0.3f, 1e-5f, 0.0f}) {
    SCOPED_TRACE(testing::Message() << "noise of deviation " << level);
    std::mt19937 random(11);
    std::normal_distribution<float> gauss(0, 1);
    Sound sound;
    for (int i = 0; i < 60 * kRate; ++i) sound.Samples.push_back(level * gauss(random));
    sound.Demodulate();
    EXPECT_EQ(sound.Demodulator.TonesRecognised(), 0);
  }
}

// A broadcast whose start and stop are plain tones, under noise as strong as the signal, is
// received as one with the usual alternations: started, phased, stopped, saved.
TEST(ToneRecognition, PlainToneBroadcastIsReceivedWhole) {
  const sim::GreyImage chart = sim::TestChart(sim::ChartMinHeight);
  sim::BroadcastOptions o;
  o.PlainTones = true;
  o.Lpm = 120;
  o.LeadSeconds = 2;
  o.PhasingSeconds = 10;
  o.StopSeconds = 4;
  const auto sound = sim::MakeBroadcastAudio(chart, o, kRate, 0, 4);
  test::TempDir out;
  decode::DecodeOptions options = measure::AudioStreamOptions();
  options.OutDir = out.Path();
  const auto reception = measure::Receive(measure::Demodulate(sound, kRate), options);
  measure::SentBroadcast sent;
  sent.Lpm = o.Lpm;
  sent.Ioc = o.Ioc;
  sent.Sections = sim::BroadcastLayout(chart.Height, o);
  sent.Lines = chart;
  const auto score = measure::Score(reception, {sent}, 7200);
  ASSERT_EQ(score.Faxes, 1);
  EXPECT_EQ(score.FalseStarts, 0);
  EXPECT_EQ(score.FalseStops, 0);
  EXPECT_TRUE(score.Broadcasts[0].StartFound);
  EXPECT_EQ(score.Broadcasts[0].IocFound, 576);
  EXPECT_TRUE(score.Broadcasts[0].PhasingRight);
  // The stop closes the fax half a second into it, as a box's alternation would.
  EXPECT_NEAR(score.Broadcasts[0].Fax.RowsSaved, chart.Height, 2);
  EXPECT_LE(std::abs(score.Broadcasts[0].Fax.Border), 1.5);
}

}  // namespace
}  // namespace zarvo
