#pragma once
// Sample streams made by hand for the decoder's tests: levels, edges at chosen times, tones.
#include <cmath>
#include <cstdint>
#include <functional>
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

// Frequencies as an interface box of the given rate and calibration measures them. Each part
// returns the stream.
struct FrequencyStream {
  FrequencyStream(double rate, int calLow = 0, int calHigh = 255)
      : Rate(rate), Low(calLow), High(calHigh) {}
  FrequencyStream& Level(double hz, double ms) {
    for (long n = 0, count = std::lround(ms * Rate / 1000); n < count; ++n) Push(hz);
    return *this;
  }
  // The black/white alternation of a start or stop tone.
  FrequencyStream& Tone(double toneHz, double ms) {
    for (long n = 0, count = std::lround(ms * Rate / 1000); n < count; ++n)
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
  FrequencyStream& Add(const Samples& s) {
    Bytes.insert(Bytes.end(), s.begin(), s.end());
    return *this;
  }
  void Push(double hz) { Bytes.push_back(SampleFor(hz, Low, High)); }

  double Rate;
  int Low, High;
  Samples Bytes;
};

// Records what the decoder asks of its host, and calls back at each event, lock and save. Events
// are the status texts other than the mode texts and the empty status of an idle full picture.
struct RecordingHost final : DecoderHost {
  void ShowStatus(const std::string& text) override {
    Statuses.push_back(text);
    if (text.empty() || text.find("LPM") != std::string::npos) return;
    Events.push_back(text);
    OnEvent();
  }
  void RefreshDisplay() override { OnRefresh(++Refreshes); }
  void ModeChanged() override { ++ModeChanges; }
  void AutoSave() override { OnSave(); }
  void ShowNewLine() override { ++NewLines; }
  void SetAttention(bool on) override { Attention = on; }

  std::vector<std::string> Statuses, Events;
  int Refreshes = 0, ModeChanges = 0, NewLines = 0;
  bool Attention = false;
  std::function<void()> OnEvent = [] {}, OnSave = [] {};
  std::function<void(int)> OnRefresh = [](int) {};
};

}  // namespace zarvo::test
