#pragma once
// Sample streams made by hand for the decoder's tests: levels, edges at chosen times, tones.
#include <cmath>
#include <cstdint>
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
