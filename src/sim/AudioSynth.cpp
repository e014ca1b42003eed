#include "sim/AudioSynth.h"

#include <numbers>
#include <stdexcept>

namespace zarvo::sim {

ToneSynth::ToneSynth(int sampleRate, int audioRate, double snrDb, unsigned seed)
    : sampleRate_(sampleRate), audioRate_(audioRate), random_(seed) {
  if (sampleRate < 1 || audioRate < 1) throw std::invalid_argument("rates must be positive");
  if (std::isnan(snrDb)) throw std::invalid_argument("the signal-to-noise ratio is no number");
  if (std::isfinite(snrDb)) {
    // Tone power a^2 / 2 against the noise's sigma^2 spread evenly up to half the rate, of which
    // 3 kHz is measured.
    const double sigmaPerAmplitude =
        std::sqrt(audioRate / (4 * kSnrBandHz * std::pow(10.0, snrDb / 10)));
    amplitude_ = 0.9 / (1 + 4 * sigmaPerAmplitude);
    sigma_ = amplitude_ * sigmaPerAmplitude;
  }
}

double ToneSynth::Noise() {
  // Box-Muller on the raw generator, so that a seed names the same noise with every library.
  if (haveSpare_) {
    haveSpare_ = false;
    return spare_;
  }
  const double u1 = (static_cast<double>(random_()) + 1.0) / 4294967296.0;
  const double u2 = static_cast<double>(random_()) / 4294967296.0;
  const double radius = std::sqrt(-2.0 * std::log(u1));
  spare_ = radius * std::sin(2 * std::numbers::pi * u2);
  haveSpare_ = true;
  return radius * std::cos(2 * std::numbers::pi * u2);
}

void ToneSynth::Push(const double* hz, std::size_t count, std::vector<float>& out) {
  const std::uint64_t end = samples_ + count;
  // Sound sample m falls in frequency sample floor(m * sampleRate / audioRate).
  while (true) {
    const std::uint64_t n = produced_ * static_cast<std::uint64_t>(sampleRate_) /
                            static_cast<std::uint64_t>(audioRate_);
    if (n >= end) break;
    const double f = hz[n - samples_];
    double x = amplitude_ * std::sin(2 * std::numbers::pi * phase_);
    if (sigma_ > 0) x += sigma_ * Noise();
    out.push_back(static_cast<float>(x));
    phase_ += f / audioRate_;
    phase_ -= std::floor(phase_);
    ++produced_;
  }
  samples_ = end;
}

std::vector<float> MakeBroadcastAudio(const GreyImage& picture, const BroadcastOptions& options,
                                      int audioRate, double snrDb, unsigned seed) {
  BroadcastStream stream(picture, options);
  ToneSynth synth(options.DataRate, audioRate, snrDb, seed);
  std::vector<float> audio;
  audio.reserve(static_cast<std::size_t>(
      static_cast<double>(stream.TotalSamples()) * audioRate / options.DataRate + 16));
  std::vector<double> hz(1 << 14);
  for (std::size_t count = hz.size(); stream.NextFrequencies(hz.data(), count); count = hz.size())
    synth.Push(hz.data(), count, audio);
  return audio;
}

}  // namespace zarvo::sim
