#pragma once
// Sound from a receiver turned into the byte stream an interface box sends, so that everything
// after it stays as it is: the instantaneous frequency of the fax signal, taken around a centre
// the user can set, filtered to the fax's bandwidth, resampled to exactly 7200 samples a second
// and written as one byte per sample, linear in the frequency. Start and stop tones sent as
// plain tones, and alternations too weak for the discriminator, come out as the black/white
// alternation a box would show for them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/ToneRecognizer.h"
#include "settings/SoundInput.h"

namespace zarvo {

// The stream's rate and calibration are the sound input's (settings/SoundInput.h).
inline constexpr double kAudioHzPerLevel = 1100.0 / (kAudioCalHigh - kAudioCalLow);

// The sample rates taken.
inline constexpr int kLowestAudioRate = 8000;
inline constexpr int kHighestAudioRate = 96000;

// The byte of a frequency in the stream's calibration, rounded and clamped to 0..255.
std::uint8_t AudioFrequencyToByte(double hz);

class AudioDemodulator {
 public:
  // Start and stop tones are recognised after most of a second; the bytes are held back this
  // long, so that the alternation can begin where the tone began.
  static constexpr double kLookAheadSeconds = 1.0;

  // std::invalid_argument for a rate outside 8000..96000 or a centre outside 1000..2500 Hz.
  explicit AudioDemodulator(int audioRate, double centreHz = kDefaultCentreHz);
  ~AudioDemodulator();
  AudioDemodulator(AudioDemodulator&&) noexcept;
  AudioDemodulator& operator=(AudioDemodulator&&) noexcept;

  // Takes `count` samples (mono, or the left channel; full scale is +-1) and appends the bytes
  // that are complete to `out`. Non-finite samples count as silence.
  void Push(const float* samples, std::size_t count, std::vector<std::uint8_t>& out);
  // The end of a recording: appends the bytes held back.
  void Flush(std::vector<std::uint8_t>& out);
  // Forgets everything heard so far.
  void Reset();

  // A tone at centre + d Hz comes out as 1900 + d Hz. Acts at once.
  void SetCentre(double centreHz);
  double Centre() const;
  int AudioRate() const;
  // The stream's byte j shows the sound of j / 7200 s - DelaySeconds(): the filters' delay.
  double DelaySeconds() const;
  // How long after a sound the byte that shows it is given out: the delay and the look-ahead.
  double LatencySeconds() const { return DelaySeconds() + kLookAheadSeconds; }
  // The tone being sent as its alternation, as far as the sound has been heard.
  StartStopTone Tone() const;
  // Start and stop tones recognised since the start or the last reset.
  int TonesRecognised() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarvo
