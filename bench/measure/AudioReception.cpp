#include "measure/AudioReception.h"

#include "audio/AudioDemodulator.h"
#include "sim/AudioSynth.h"

namespace zarvo::measure {

decode::DecodeOptions AudioStreamOptions() {
  decode::DecodeOptions options;
  options.InterfaceType = 1;
  options.DataRate = kAudioByteRate;
  options.HaveCal = true;
  options.CalLow = kAudioCalLow;
  options.CalHigh = kAudioCalHigh;
  options.Start = {2026, 12, 7, 10, 0, 0};
  return options;
}

std::vector<std::uint8_t> Demodulate(const std::vector<float>& audio, int audioRate,
                                     double centreHz) {
  AudioDemodulator demodulator(audioRate, centreHz);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(audio.size() * kAudioByteRate / static_cast<std::size_t>(audioRate) + 16);
  demodulator.Push(audio.data(), audio.size(), bytes);
  demodulator.Flush(bytes);
  return bytes;
}

std::vector<float> StreamToAudio(const std::vector<std::uint8_t>& stream, int rate, int calLow,
                                 int calHigh, int audioRate, double snrDb, unsigned seed) {
  std::vector<double> hz(stream.size());
  const double step = 1100.0 / (calHigh - calLow);
  for (std::size_t i = 0; i < stream.size(); ++i) hz[i] = 1200 + (stream[i] - calLow) * step;
  sim::ToneSynth synth(rate, audioRate, snrDb, seed);
  std::vector<float> audio;
  audio.reserve(stream.size() * static_cast<std::size_t>(audioRate) / rate + 16);
  synth.Push(hz.data(), hz.size(), audio);
  return audio;
}

}  // namespace zarvo::measure
