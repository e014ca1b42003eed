#pragma once
// Sample streams made by hand for the decoder's tests: levels, edges at chosen times, tones.
#include <algorithm>
#include <cmath>
#include <cstdint>
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
  const std::uint8_t black = SampleFor(1500), white = SampleFor(2300);
  const auto n = static_cast<std::size_t>(ms / period);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * period / 1000.0;
    s.push_back(std::fmod(t * hertz, 1.0) < 0.5 ? white : black);
  }
}

// A stream made of frequencies as an interface box of the given rate and calibration measures
// them, with Gaussian frequency noise (its standard deviation in Hz), clipped to bytes.
class FrequencyStream {
 public:
  explicit FrequencyStream(double rate, int calLow = 0, int calHigh = 255, double noiseHz = 0,
                           unsigned seed = 1)
      : rate_(rate), low_(calLow), high_(calHigh), noise_(noiseHz), random_(seed) {}

  std::size_t Size() const { return Bytes.size(); }
  void SetNoise(double hz) { noise_ = hz; }

  void Level(double hz, double ms) {
    for (long n = Count(ms); n > 0; --n) Push(hz);
  }
  // The black/white alternation of a start or stop tone.
  void Tone(double toneHz, double ms) {
    const long count = Count(ms);
    for (long n = 0; n < count; ++n)
      Push(std::fmod(static_cast<double>(n) * toneHz / rate_, 1.0) < 0.5 ? 2300 : 1500);
  }
  // Phasing lines: black, white for 2.5 % of a line either side of each line start. The stream
  // begins `offset` (a share of a line) after a line start.
  void Phasing(double lineMs, double lines, double offset = 0) {
    const double perLine = lineMs * rate_ / 1000;
    const long count = std::lround(lines * perLine);
    for (long n = 0; n < count; ++n) {
      const double place = std::fmod(static_cast<double>(n) / perLine + offset, 1.0);
      Push(place < 0.025 || place >= 0.975 ? 2300 : 1500);
    }
  }
  // Grey values at random, changing every `pixelMs`: a busy chart.
  void Chart(double ms, double pixelMs) {
    const long count = Count(ms), perPixel = std::max(1L, std::lround(pixelMs * rate_ / 1000));
    double hz = 1900;
    for (long n = 0; n < count; ++n) {
      if (n % perPixel == 0) hz = 1500 + 800 * Uniform();
      Push(hz);
    }
  }

  Samples Bytes;

 private:
  long Count(double ms) const { return std::lround(ms * rate_ / 1000); }
  double Uniform() { return (static_cast<double>(random_()) + 0.5) / 4294967296.0; }
  void Push(double hz) {
    if (noise_ > 0)
      hz +=
          noise_ * std::sqrt(-2 * std::log(Uniform())) * std::cos(2 * std::numbers::pi * Uniform());
    Bytes.push_back(SampleFor(hz, low_, high_));
  }
  double rate_;
  int low_, high_;
  double noise_;
  std::mt19937 random_;
};

// Records what the decoder asks of its host.
class RecordingHost final : public DecoderHost {
 public:
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
