#pragma once
// Sample streams made by hand for the decoder's tests: levels, edges at chosen times, tones.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "decoder/Decoder.h"

namespace zarvo::test {

// The byte an interface calibrated low/high gives for a frequency.
inline std::uint8_t SampleFor(double hertz, int low = 0, int high = 255) {
  const double v = low + (hertz - 1200.0) * (high - low) / 1100.0;
  return static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

using Samples = std::vector<std::uint8_t>;

inline void Append(Samples& s, std::size_t count, std::uint8_t v) {
  s.insert(s.end(), count, v);
}

// A black/white square wave of `hertz` for `ms`, `period` ms per sample.
inline void AppendTone(Samples& s, double hertz, double ms, double period) {
  for (std::size_t i = 0; i < static_cast<std::size_t>(ms / period); ++i)
    s.push_back(SampleFor(
        std::fmod(static_cast<double>(i) * period / 1000 * hertz, 1.0) < 0.5 ? 2300 : 1500));
}

// Frequencies as an interface box of the given rate and calibration measures them, with Gaussian
// frequency noise (its standard deviation in Hz), clipped to bytes. Each part returns the stream.
struct FrequencyStream {
  explicit FrequencyStream(double rate, int calLow = 0, int calHigh = 255, double noiseHz = 0,
                           unsigned seed = 1)
      : Rate(rate), Low(calLow), High(calHigh), Noise(noiseHz), Random(seed) {}

  FrequencyStream& Level(double hz, double ms) {
    for (long n = Count(ms); n > 0; --n) Push(hz);
    return *this;
  }
  // The black/white alternation of a start or stop tone.
  FrequencyStream& Tone(double toneHz, double ms) {
    for (long n = 0, count = Count(ms); n < count; ++n)
      Push(std::fmod(static_cast<double>(n) * toneHz / Rate, 1.0) < 0.5 ? 2300 : 1500);
    return *this;
  }
  // Phasing lines: black, white for 2.5 % of a line either side of each line start, then 1900 Hz
  // for `shoulder` of a line. The stream begins `offset` (a share of a line) after a line start.
  FrequencyStream& Phasing(double lineMs, double lines, double offset = 0, double shoulder = 0) {
    const double perLine = lineMs * Rate / 1000;
    for (long n = 0, count = std::lround(lines * perLine); n < count; ++n) {
      const double f = std::fmod(static_cast<double>(n) / perLine + offset, 1.0);
      Push(f < 0.025 || f >= 0.975 ? 2300 : f < 0.025 + shoulder ? 1900 : 1500);
    }
    return *this;
  }
  // Grey values at random, changing every `pixelMs`: a busy chart.
  FrequencyStream& Chart(double ms, double pixelMs) {
    const long perPixel = std::max(1L, std::lround(pixelMs * Rate / 1000));
    for (long n = 0, count = Count(ms); n < count; ++n) {
      if (n % perPixel == 0) Hz = 1500 + 800 * Uniform();
      Push(Hz);
    }
    return *this;
  }
  FrequencyStream& Add(const Samples& s) {
    Bytes.insert(Bytes.end(), s.begin(), s.end());
    return *this;
  }

  long Count(double ms) const { return std::lround(ms * Rate / 1000); }
  double Uniform() { return (static_cast<double>(Random()) + 0.5) / 4294967296.0; }
  void Push(double hz) {
    if (Noise > 0)
      hz +=
          Noise * std::sqrt(-2 * std::log(Uniform())) * std::cos(2 * std::numbers::pi * Uniform());
    Bytes.push_back(SampleFor(hz, Low, High));
  }
  double Rate;
  int Low, High;
  double Noise, Hz = 1900;
  std::mt19937 Random;
  Samples Bytes;
};

// Records what the decoder asks of its host.
struct RecordingHost final : DecoderHost {
  void ShowStatus(const std::string& text) override { Statuses.push_back(text); }
  void RefreshDisplay() override { ++Refreshes; }
  void ModeChanged() override { ++ModeChanges; }
  void AutoSave() override {
    ++Saves;
    if (OnSave) OnSave();
  }
  void ShowNewLine() override { ++NewLines; }
  void SetAttention(bool on) override { Attention = on; }

  // Status texts other than the mode texts and the empty status of an idle full picture.
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const auto& s : Statuses)
      if (!s.empty() && s.find("LPM") == std::string::npos) events.push_back(s);
    return events;
  }
  std::vector<std::string> Statuses;
  int Refreshes = 0, ModeChanges = 0, Saves = 0, NewLines = 0;
  bool Attention = false;
  std::function<void()> OnSave;
};

}  // namespace zarvo::test
