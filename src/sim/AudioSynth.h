#pragma once
// A broadcast as a sound card hears it: a tone whose frequency follows the interface's samples,
// with continuous phase, and white noise at a signal-to-noise ratio measured in a 3 kHz band.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "sim/Broadcast.h"
#include "sim/Picture.h"

namespace zarvo::sim {

// The noise's bandwidth for the signal-to-noise ratio: the usual receiver's audio channel.
inline constexpr double kSnrBandHz = 3000;
// zarvo-sim's sound rate unless told: the fax's band ends near 2.6 kHz, and a minute of it is
// 1.3 MB as 16-bit WAV, against 5.8 MB at 48000 Hz.
inline constexpr int kDefaultAudioRate = 11025;

class ToneSynth {
 public:
  // Frequencies come at `sampleRate` per second (the interface's rate) and sound goes out at
  // `audioRate`; a frequency holds for its whole sample. `snrDb` infinite: no noise. The
  // tone's amplitude leaves the noise four standard deviations of room below full scale.
  ToneSynth(int sampleRate, int audioRate, double snrDb = INFINITY, unsigned seed = 1);

  // Appends the sound of `count` samples of frequency (Hz) to `out`.
  void Push(const double* hz, std::size_t count, std::vector<float>& out);

  double Amplitude() const { return amplitude_; }
  double NoiseDeviation() const { return sigma_; }

 private:
  double Noise();

  int sampleRate_;
  int audioRate_;
  double amplitude_ = 0.9;
  double sigma_ = 0;
  double phase_ = 0;            // cycles, 0..1
  std::uint64_t samples_ = 0;   // frequencies taken
  std::uint64_t produced_ = 0;  // sound samples made
  std::mt19937 random_;
  double spare_ = 0;
  bool haveSpare_ = false;
};

// The whole broadcast of `picture` as sound at `audioRate`.
std::vector<float> MakeBroadcastAudio(const GreyImage& picture, const BroadcastOptions& options,
                                      int audioRate, double snrDb = INFINITY, unsigned seed = 1);

}  // namespace zarvo::sim
