// zarvo-bench-audio-reception: broadcasts of the simulator's test chart as sound, with white
// noise from none down to -5 dB in 3 kHz, through the audio demodulator and the receiver's
// decoder; sound with no broadcast at all; broadcasts whose start and stop are plain tones. A
// row per case, totals below; plain text for a note.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "measure/AudioReception.h"
#include "measure/ReceptionScore.h"
#include "measure/TableText.h"
#include "sim/AudioSynth.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"
#include "support/TempDir.h"

namespace {

constexpr int kColumnWidths[] = {36, 5, 7, 5, 7, 6, 7, 6, 7, 9, 0};
void PrintColumns(const std::vector<std::string>& cells) {
  zarvo::measure::PrintColumns(cells, kColumnWidths);
}

using namespace zarvo;
using measure::Fixed;
using measure::SentBroadcast;
using measure::SentLines;
constexpr double kClean = std::numeric_limits<double>::infinity();

struct Case {
  std::string Name;
  std::vector<float> Audio;
  int AudioRate = sim::kDefaultAudioRate;
  std::vector<SentBroadcast> Sent;
};

// The seed picks the drum speed, IOC and lead-in as the byte stream's table does.
sim::BroadcastOptions BroadcastFor(int seed, bool plainTones) {
  sim::BroadcastOptions sent;
  sent.PlainTones = plainTones;
  sent.StopSeconds = 5;
  sent.TrailerSeconds = 3;
  switch (seed) {
    case 1:
      sent.Lpm = 120, sent.Ioc = 576, sent.LeadSeconds = 3, sent.PhasingSeconds = 20;
      break;
    case 2:
      sent.Lpm = 240, sent.Ioc = 288, sent.LeadSeconds = 2, sent.PhasingSeconds = 10;
      break;
    default:
      sent.Lpm = 90, sent.Ioc = 576, sent.LeadSeconds = 4, sent.PhasingSeconds = 30;
      break;
  }
  return sent;
}

std::string SnrName(double snr) {
  if (!std::isfinite(snr)) return "clean";
  char text[16];
  std::snprintf(text, sizeof text, "%+.0f dB", snr);
  return text;
}

Case BroadcastCase(const sim::GreyImage& chart, double snr, int seed, int audioRate,
                   bool plainTones) {
  const sim::BroadcastOptions sent = BroadcastFor(seed, plainTones);
  Case c;
  char name[80];
  std::snprintf(name, sizeof name, "%s %-8s s%d %5d Hz %3d/%d", plainTones ? "plain" : "chart",
                SnrName(snr).c_str(), seed, audioRate, sent.Lpm, sent.Ioc);
  c.Name = name;
  c.AudioRate = audioRate;
  c.Audio = sim::MakeBroadcastAudio(chart, sent, audioRate, snr, static_cast<unsigned>(seed));
  SentBroadcast b;
  b.Lpm = sent.Lpm;
  b.Ioc = sent.Ioc;
  b.Sections = sim::BroadcastLayout(chart.Height, sent);
  b.Lines = SentLines(chart, sent.Ioc);
  c.Sent.push_back(std::move(b));
  return c;
}

// A minute of a steady 1900 Hz carrier under noise, or of noise alone.
Case NoiseCase(double snr, bool carrier, int seed) {
  Case c;
  c.Name =
      std::string(carrier ? "carrier " : "noise ") + SnrName(snr) + " s" + std::to_string(seed);
  std::vector<double> hz(60 * 7200, 1900.0);
  sim::ToneSynth synth(7200, c.AudioRate, snr, static_cast<unsigned>(100 + seed));
  synth.Push(hz.data(), hz.size(), c.Audio);
  if (!carrier) {
    // Noise of the same strength without the tone.
    const double sigma = synth.NoiseDeviation();
    std::mt19937 random(static_cast<unsigned>(200 + seed));
    std::normal_distribution<float> gauss(0.0f, static_cast<float>(sigma));
    for (auto& x : c.Audio) x = gauss(random);
  }
  return c;
}

}  // namespace

int main() {
  test::TempDir out;
  const sim::GreyImage chart = sim::TestChart(sim::ChartMinHeight);
  std::vector<Case> cases;
  for (const double snr : {kClean, 20.0, 10.0, 5.0, 0.0, -5.0})
    for (int seed = 1; seed <= 3; ++seed)
      cases.push_back(BroadcastCase(chart, snr, seed, sim::kDefaultAudioRate, false));
  for (const double snr : {kClean, 0.0})
    cases.push_back(BroadcastCase(chart, snr, 1, 48000, false));
  for (const double snr : {kClean, 10.0, 0.0, -5.0})
    for (int seed = 1; seed <= 2; ++seed)
      cases.push_back(BroadcastCase(chart, snr, seed, sim::kDefaultAudioRate, true));
  for (const double snr : {10.0, 0.0, -5.0}) cases.push_back(NoiseCase(snr, true, 1));
  cases.push_back(NoiseCase(0.0, false, 1));

  std::printf(
      "Sound through the demodulator (%d Hz unless told) and the robust detector. start: the\n"
      "start status during the start tone with the IOC sent; phasing: the mode at \"Waiting\" "
      "as\n"
      "sent; faxes: saved / sent; f.start, f.stop: starts and stops outside the tones; border: "
      "the\n"
      "column where the sent left edge landed; grey, grey+-1: mean absolute grey difference; "
      "rows:\n"
      "saved / sent. Noise is white, its SNR measured in 3 kHz.\n\n",
      sim::kDefaultAudioRate);
  PrintColumns({"case", "start", "phasing", "faxes", "f.start", "f.stop", "border", "grey",
                "grey+-1", "rows"});
  int found = 0, expected = 0, phased = 0, falseStarts = 0, falseStops = 0, faxes = 0;
  double worstCleanBorder = 0;
  for (const auto& c : cases) {
    decode::DecodeOptions options = measure::AudioStreamOptions();
    options.OutDir = out.Path();
    const auto bytes = measure::Demodulate(c.Audio, c.AudioRate);
    const auto reception = measure::Receive(bytes, options);
    const auto score = measure::Score(reception, c.Sent, kAudioByteRate);
    std::string start = "-", phasing = "-", border = "-", grey = "-", near = "-", rows = "-";
    if (!c.Sent.empty()) {
      const auto& b = score.Broadcasts[0];
      const auto& sent = c.Sent[0];
      const bool right = b.StartFound && b.IocFound == sent.Ioc;
      start = right ? "yes" : b.StartFound ? "IOC" + std::to_string(b.IocFound) : "no";
      phasing = b.PhasingRight ? "yes" : "no";
      found += right;
      phased += b.PhasingRight;
      ++expected;
      const int rowsSent = sent.Lines.Height * (sent.Ioc == 288 ? 2 : 1);
      if (b.HaveFax && b.Fax.Valid) {
        border = Fixed(b.Fax.Border);
        grey = Fixed(b.Fax.GreyError);
        near = Fixed(b.Fax.GreyErrorNear);
        rows = std::to_string(b.Fax.RowsSaved) + "/" + std::to_string(rowsSent);
        if (c.Name.find("clean") != std::string::npos)
          worstCleanBorder = std::max(worstCleanBorder, std::abs(b.Fax.Border));
      }
    }
    faxes += std::min<int>(score.Faxes, static_cast<int>(c.Sent.size()));
    falseStarts += score.FalseStarts;
    falseStops += score.FalseStops;
    PrintColumns({c.Name, start, phasing,
                  std::to_string(score.Faxes) + "/" + std::to_string(c.Sent.size()),
                  std::to_string(score.FalseStarts), std::to_string(score.FalseStops), border, grey,
                  near, rows});
    std::fflush(stdout);
  }
  std::printf(
      "totals: start found %d/%d, phasing right %d/%d, faxes %d/%d, false starts %d, false "
      "stops %d,\n        max |border| on clean sound %.1f columns\n",
      found, expected, phased, expected, faxes, expected, falseStarts, falseStops,
      worstCleanBorder);
  return 0;
}
