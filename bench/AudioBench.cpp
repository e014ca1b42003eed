// zarvo-bench-audio: the audio demodulator's speed in sound samples a second at 8000, 48000 and
// 96000 Hz (the target is 200 times real time at 48000 Hz on one core: 9.6 million), against a
// plainer pipeline of the same library: mixing down at the full rate, then liquid-dsp's
// multi-stage arbitrary resampler straight to 7200 a second and its discriminator there.
#include <benchmark/benchmark.h>

#include <complex>
// liquid-dsp takes std::complex in C++ when <complex> comes first.
#include <liquid/liquid.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "audio/AudioDemodulator.h"
#include "sim/AudioSynth.h"

namespace {

// A second of the start tone's alternation as sound, as broadcasts send it.
std::vector<float> Alternation(int rate) {
  std::vector<double> hz(7200);
  for (int i = 0; i < 7200; ++i) hz[static_cast<std::size_t>(i)] = (i / 12) % 2 ? 2300 : 1500;
  zarvo::sim::ToneSynth synth(7200, rate, 20, 1);
  std::vector<float> sound;
  synth.Push(hz.data(), hz.size(), sound);
  return sound;
}

void Demodulator(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  const auto sound = Alternation(rate);
  zarvo::AudioDemodulator demodulator(rate);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(8000);
  for (auto _ : state) {
    bytes.clear();
    demodulator.Push(sound.data(), sound.size(), bytes);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(sound.size()));
  state.counters["x real time"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(sound.size()) / rate,
      benchmark::Counter::kIsRate);
}

void MixAndMultiStage(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  const auto sound = Alternation(rate);
  nco_crcf mixer = nco_crcf_create(LIQUID_VCO);
  nco_crcf_set_frequency(mixer, static_cast<float>(2 * std::numbers::pi * 1900 / rate));
  msresamp_crcf resampler = msresamp_crcf_create(7200.0f / static_cast<float>(rate), 60);
  freqdem discriminator = freqdem_create(1.0f / 7200);
  std::vector<std::complex<float>> mixed(sound.size()), resampled(sound.size() + 64);
  std::vector<float> hz(sound.size() + 64);
  for (auto _ : state) {
    for (std::size_t i = 0; i < sound.size(); ++i) {
      nco_crcf_mix_down(mixer, std::complex<float>(sound[i], 0), &mixed[i]);
      nco_crcf_step(mixer);
    }
    unsigned written = 0;
    msresamp_crcf_execute(resampler, mixed.data(), static_cast<unsigned>(mixed.size()),
                          resampled.data(), &written);
    freqdem_demodulate_block(discriminator, resampled.data(), written, hz.data());
    benchmark::DoNotOptimize(hz.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(sound.size()));
  state.counters["x real time"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(sound.size()) / rate,
      benchmark::Counter::kIsRate);
  freqdem_destroy(discriminator);
  msresamp_crcf_destroy(resampler);
  nco_crcf_destroy(mixer);
}

BENCHMARK(Demodulator)->Arg(8000)->Arg(48000)->Arg(96000)->Unit(benchmark::kMillisecond);
BENCHMARK(MixAndMultiStage)->Arg(8000)->Arg(48000)->Arg(96000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
