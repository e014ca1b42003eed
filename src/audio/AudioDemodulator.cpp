#include "audio/AudioDemodulator.h"

#include <complex>
// liquid-dsp takes std::complex in C++ when <complex> comes first.
#include <liquid/liquid.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>
#include <numeric>
#include <stdexcept>
#include <string>

namespace zarvo {
namespace {

using Complex = std::complex<float>;

// The sound is first brought down to 12000..24000 samples a second with its band up to 4 kHz
// intact (the fax with the highest centre, and the plain tones), then moved down by the centre
// and cut to the fax's channel at half that rate, where the discriminator runs.
constexpr double kFirstRate = 12000;
constexpr double kFirstPassHz = 4000;
constexpr double kChannelRate = 6000;
// The channel: the signal swings 400 Hz either side of the centre, and its sidebands that
// matter reach some 500 Hz beyond; +-900 Hz keeps them and lets through less noise, which holds
// the discriminator's clicks down in weak signals (measured: the grey error at 10 dB falls by
// a tenth against +-1500 Hz, a clean picture keeps its sharpness).
constexpr double kChannelPassHz = 900;
constexpr double kChannelStopHz = 1600;
// The fax's bandwidth in the frequency signal: a pixel at 120 lines per minute lasts 0.28 ms,
// so fine detail reaches about 1800 Hz; 1100 Hz keeps edges sharp to a pixel or two and holds
// the noise of a weak signal down.
constexpr double kVideoHz = 1100;
constexpr double kVideoTransitionHz = 500;
constexpr float kStopBandDb = 60;
// A rational resampler with more phases than this would be large: beyond, the arbitrary one.
constexpr unsigned kMaxPhases = 1024;

constexpr int kBlack = kAudioCalLow + 48;  // 1500 Hz
constexpr int kWhite = kAudioCalHigh;      // 2300 Hz
static_assert(kAudioCalLow + (1500 - 1200) / kAudioHzPerLevel == kBlack);

// An odd-length Kaiser low-pass passing `passHz` and stopping from `stopHz`, unity at 0 Hz.
std::vector<float> LowPass(double rate, double passHz, double stopHz) {
  const float df = static_cast<float>((stopHz - passHz) / rate);
  unsigned n = estimate_req_filter_len(df, kStopBandDb);
  n |= 1;
  std::vector<float> h(n);
  liquid_firdes_kaiser(n, static_cast<float>((passHz + stopHz) / 2 / rate), kStopBandDb, 0,
                       h.data());
  const float sum = std::accumulate(h.begin(), h.end(), 0.0f);
  for (auto& c : h) c /= sum;
  return h;
}

template <typename T>
T* Created(T* object, const char* what) {
  if (!object) throw std::runtime_error(std::string("cannot create the ") + what);
  return object;
}

// Plain tones sit where the sound of a fax has nothing, so a small share of the block's power
// will do: a tone under noise of the same power in 3 kHz fills its 20 ms filter some sixty
// times above a neighbour. Alternations are judged in the frequency signal as the decoder
// judges them, but on blocks of 100 ms: under noise of the signal's power in 3 kHz a 20 ms block
// holds the tone only about five times above its neighbours, and one in ten not at all. Either
// must have an amplitude worth the name, so that a steady signal's rounding noise holds none.
constexpr ToneRecognizer::Criteria kPlainCriteria{0.02, 40, 36, 5, 4, 0.03, 10, 0.03, 1e-4};
constexpr ToneRecognizer::Criteria kAlternationCriteria{0.1, 8, 7, 2, 4, 0.1, 10, 0.15, 100};
// The alternations are looked for in the frequency signal cut to the tones' swing: a click of
// the discriminator under noise then weighs no more than a black or white sample.
constexpr float kAlternationClipHz = 600;

struct ToneSpan {
  StartStopTone Tone;
  std::uint64_t Begin;  // in bytes of the stream
  std::uint64_t End;
};

}  // namespace

std::uint8_t AudioFrequencyToByte(double hz) {
  const double value = kAudioCalLow + (hz - 1200.0) / kAudioHzPerLevel;
  if (!(value > 0)) return 0;  // also NaN
  if (value >= 255) return 255;
  return static_cast<std::uint8_t>(std::lround(value));
}

struct AudioDemodulator::Impl {
  int rate = 0;
  double centre = kDefaultCentreHz;
  unsigned firstDecimation = 1;  // audio -> first rate
  double firstRate = 0;
  unsigned channelDecimation = 1;  // first rate -> channel rate
  double channelRate = 0;

  firdecim_rrrf first = nullptr;
  nco_crcf mixer = nullptr;
  firdecim_crcf channel = nullptr;    // with a channel decimation of 2 or more
  firfilt_crcf channelFir = nullptr;  // without
  freqdem discriminator = nullptr;
  rresamp_rrrf resampler = nullptr;
  resamp_rrrf arbitrary = nullptr;       // for rates whose ratio to 7200 has large terms
  unsigned interp = 0, decim = 0;        // the rational resampler's P and Q
  double delayFirst = 0, delayRest = 0;  // seconds: the first stage's, and all after it
  double delayResampler = 0;

  ToneRecognizer plainTones, alternations;

  std::vector<float> firstIn, firstOut;
  std::vector<Complex> mixed, channelOut;  // mixed: waiting for the channel decimator
  std::vector<float> hz, clipped, resamplerIn, resamplerOut;
  std::size_t resamplerFill = 0;
  std::vector<ToneRecognizer::Event> events;

  std::deque<std::uint8_t> held;  // bytes made but not yet given out
  std::uint64_t made = 0, released = 0;
  std::deque<ToneSpan> spans;
  std::uint64_t lookAhead = 0;
  int recognised = 0;

  Impl(int audioRate, double centreHz);
  ~Impl();
  void SetCentre(double centreHz);
  void Push(const float* samples, std::size_t count, std::vector<std::uint8_t>& out);
  void Release(std::uint64_t upTo, std::vector<std::uint8_t>& out);
  void Reset();
  void MakeBytes(const float* frequency, std::size_t count);
  // Places the recognisers' events, counted in samples at `eventRate`, on the byte stream;
  // `delay` is how much later than those samples the bytes show the same sound.
  void TakeEvents(double eventRate, double delay);
};

AudioDemodulator::Impl::Impl(int audioRate, double centreHz)
    : rate(audioRate),
      centre(centreHz),
      plainTones(1000, 0, kPlainCriteria),
      alternations(1000, 0, kAlternationCriteria) {
  firstDecimation = std::max(1u, static_cast<unsigned>(audioRate / kFirstRate));
  firstRate = static_cast<double>(audioRate) / firstDecimation;
  channelDecimation = std::max(1u, static_cast<unsigned>(firstRate / kChannelRate));
  channelRate = firstRate / channelDecimation;
  plainTones = ToneRecognizer(firstRate, centre - kDefaultCentreHz, kPlainCriteria);
  alternations = ToneRecognizer(kAudioByteRate, 0, kAlternationCriteria);

  if (firstDecimation > 1) {
    auto h = LowPass(rate, kFirstPassHz, firstRate - kFirstPassHz);
    first =
        Created(firdecim_rrrf_create(firstDecimation, h.data(), static_cast<unsigned>(h.size())),
                "first decimator");
    delayFirst = (static_cast<double>(h.size()) - 1) / 2 / rate;
  }
  mixer = Created(nco_crcf_create(LIQUID_VCO), "mixer");
  SetCentre(centre);
  auto hc = LowPass(firstRate, kChannelPassHz, kChannelStopHz);
  const auto channelLength = static_cast<unsigned>(hc.size());
  if (channelDecimation > 1) {
    channel = Created(firdecim_crcf_create(channelDecimation, hc.data(), channelLength),
                      "channel filter");
  } else {
    channelFir = Created(firfilt_crcf_create(hc.data(), channelLength), "channel filter");
  }
  double delay = (static_cast<double>(channelLength) - 1) / 2 / firstRate;
  // Output in Hz: the phase step times the rate over 2 pi.
  discriminator = Created(freqdem_create(static_cast<float>(1.0 / channelRate)), "discriminator");
  delay += 0.5 / channelRate;

  // The exact ratio 7200 / channel rate = 7200 * decimations / audio rate.
  const unsigned long long num = 7200ULL * firstDecimation * channelDecimation;
  const unsigned long long g = std::gcd(num, static_cast<unsigned long long>(audioRate));
  const float bw = static_cast<float>(kVideoHz / channelRate);
  // The video filter's transition band sets its length, in channel samples either side.
  const auto semi = static_cast<unsigned>(std::ceil(
      estimate_req_filter_len(static_cast<float>(kVideoTransitionHz / channelRate), kStopBandDb) /
      2.0));
  if (num / g <= kMaxPhases) {
    interp = static_cast<unsigned>(num / g);
    decim = static_cast<unsigned>(audioRate / g);
    resampler =
        Created(rresamp_rrrf_create_kaiser(interp, decim, semi, bw, kStopBandDb), "resampler");
    // Unity gain at 0 Hz: a constant in, its level out.
    rresamp_rrrf_set_scale(resampler, 1.0f);
    std::vector<float> ones(decim, 1.0f), out(interp);
    for (unsigned i = 0; i < 4 * semi / decim + 4; ++i)
      rresamp_rrrf_execute(resampler, ones.data(), out.data());
    rresamp_rrrf_set_scale(resampler, 1.0f / out.back());
    rresamp_rrrf_reset(resampler);
    resamplerIn.resize(decim);
    resamplerOut.resize(interp);
  } else {
    const float ratio = static_cast<float>(kAudioByteRate / channelRate);
    arbitrary = Created(resamp_rrrf_create(ratio, semi, bw, kStopBandDb, 64), "resampler");
    resamplerOut.resize(4);
  }
  delayResampler = static_cast<double>(semi) / channelRate;
  delay += delayResampler;
  delayRest = delay;
  lookAhead = static_cast<std::uint64_t>(
      std::llround(AudioDemodulator::kLookAheadSeconds * kAudioByteRate));
}

AudioDemodulator::Impl::~Impl() {
  if (first) firdecim_rrrf_destroy(first);
  if (mixer) nco_crcf_destroy(mixer);
  if (channel) firdecim_crcf_destroy(channel);
  if (channelFir) firfilt_crcf_destroy(channelFir);
  if (discriminator) freqdem_destroy(discriminator);
  if (resampler) rresamp_rrrf_destroy(resampler);
  if (arbitrary) resamp_rrrf_destroy(arbitrary);
}

void AudioDemodulator::Impl::SetCentre(double centreHz) {
  centre = centreHz;
  nco_crcf_set_frequency(mixer, static_cast<float>(2 * std::numbers::pi * centreHz / firstRate));
  plainTones.SetShift(centreHz - kDefaultCentreHz);
}

void AudioDemodulator::Impl::Reset() {
  if (first) firdecim_rrrf_reset(first);
  nco_crcf_reset(mixer);
  SetCentre(centre);
  if (channel) firdecim_crcf_reset(channel);
  if (channelFir) firfilt_crcf_reset(channelFir);
  freqdem_reset(discriminator);
  if (resampler) rresamp_rrrf_reset(resampler);
  if (arbitrary) resamp_rrrf_reset(arbitrary);
  plainTones.Reset();
  alternations.Reset();
  firstIn.clear();
  mixed.clear();
  resamplerFill = 0;
  held.clear();
  made = released = 0;
  spans.clear();
  recognised = 0;
}

void AudioDemodulator::Impl::MakeBytes(const float* frequency, std::size_t count) {
  clipped.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    held.push_back(AudioFrequencyToByte(kDefaultCentreHz + frequency[i]));
    clipped[i] = std::clamp(frequency[i], -kAlternationClipHz, kAlternationClipHz);
  }
  made += count;
  events.clear();
  alternations.Push(clipped.data(), count, events);
  TakeEvents(kAudioByteRate, 0);
}

void AudioDemodulator::Impl::Push(const float* samples, std::size_t count,
                                  std::vector<std::uint8_t>& out) {
  constexpr std::size_t Chunk = 8192;
  while (count > 0) {
    const std::size_t n = std::min(count, Chunk);
    // Silence for what is not a number, and a bound far beyond full scale for the rest, so that
    // no filter ever holds an infinity.
    for (std::size_t i = 0; i < n; ++i) {
      const float x = samples[i];
      firstIn.push_back(std::isfinite(x) ? std::clamp(x, -1e3f, 1e3f) : 0.0f);
    }
    samples += n;
    count -= n;

    // Down to the first rate.
    const float* y = firstIn.data();
    std::size_t yCount = firstIn.size();
    if (first) {
      yCount = firstIn.size() / firstDecimation;
      firstOut.resize(yCount);
      firdecim_rrrf_execute_block(first, firstIn.data(), static_cast<unsigned>(yCount),
                                  firstOut.data());
      y = firstOut.data();
    }
    if (yCount == 0) continue;

    events.clear();
    plainTones.Push(y, yCount, events);
    TakeEvents(firstRate, delayRest);

    // Moved down by the centre, cut to the channel.
    // (liquid 1.5's block mixer does not step its oscillator: one sample at a time.)
    const std::size_t waiting = mixed.size();
    mixed.resize(waiting + yCount);
    for (std::size_t i = 0; i < yCount; ++i) {
      nco_crcf_mix_down(mixer, Complex(y[i], 0), &mixed[waiting + i]);
      nco_crcf_step(mixer);
    }
    // The decimator takes whole groups; the rest waits for the next samples.
    const std::size_t cCount = mixed.size() / channelDecimation;
    channelOut.resize(cCount);
    if (channel) {
      firdecim_crcf_execute_block(channel, mixed.data(), static_cast<unsigned>(cCount),
                                  channelOut.data());
    } else {
      firfilt_crcf_execute_block(channelFir, mixed.data(), static_cast<unsigned>(cCount),
                                 channelOut.data());
    }
    mixed.erase(mixed.begin(),
                mixed.begin() + static_cast<std::ptrdiff_t>(cCount * channelDecimation));
    hz.resize(cCount);
    freqdem_demodulate_block(discriminator, channelOut.data(), static_cast<unsigned>(cCount),
                             hz.data());

    // Filtered to the fax's bandwidth at 7200 samples a second.
    for (std::size_t i = 0; i < cCount; ++i) {
      if (arbitrary) {
        unsigned written = 0;
        resamp_rrrf_execute(arbitrary, hz[i], resamplerOut.data(), &written);
        MakeBytes(resamplerOut.data(), written);
        continue;
      }
      resamplerIn[resamplerFill++] = hz[i];
      if (resamplerFill == decim) {
        rresamp_rrrf_execute(resampler, resamplerIn.data(), resamplerOut.data());
        MakeBytes(resamplerOut.data(), interp);
        resamplerFill = 0;
      }
    }
    // Keep what the decimators have not taken yet.
    firstIn.erase(firstIn.begin(),
                  firstIn.begin() + static_cast<std::ptrdiff_t>(yCount * firstDecimation));
    Release(made > lookAhead ? made - lookAhead : 0, out);
  }
}

void AudioDemodulator::Impl::TakeEvents(double eventRate, double delay) {
  for (const auto& e : events) {
    const double seconds = static_cast<double>(e.Sample) / eventRate + delay;
    const auto byte =
        static_cast<std::uint64_t>(std::llround(std::max(0.0, seconds) * kAudioByteRate));
    const std::uint64_t at = std::max(released, byte);
    const bool open = !spans.empty() && spans.back().End == UINT64_MAX;
    if (e.Began) {
      // A tone recognised while another sounds ends the other where it begins.
      if (open) spans.back().End = std::max(at, spans.back().Begin);
      spans.push_back({e.Tone, at, UINT64_MAX});
      ++recognised;
    } else if (open && spans.back().Tone == e.Tone) {
      spans.back().End = std::max(at, spans.back().Begin);
    }
  }
}

void AudioDemodulator::Impl::Release(std::uint64_t upTo, std::vector<std::uint8_t>& out) {
  for (; released < upTo; ++released) {
    std::uint8_t byte = held.front();
    held.pop_front();
    while (!spans.empty() && spans.front().End <= released) spans.pop_front();
    if (!spans.empty() && spans.front().Begin <= released) {
      // The alternation a box shows for the tone: black first, a half period each.
      const auto& s = spans.front();
      const std::uint64_t halves =
          (released - s.Begin) * 2 * static_cast<std::uint64_t>(ToneRate(s.Tone)) / kAudioByteRate;
      byte = static_cast<std::uint8_t>(halves % 2 == 0 ? kBlack : kWhite);
    }
    out.push_back(byte);
  }
}

AudioDemodulator::AudioDemodulator(int audioRate, double centreHz) {
  if (audioRate < kLowestAudioRate || audioRate > kHighestAudioRate)
    throw std::invalid_argument("the sample rate " + std::to_string(audioRate) +
                                " Hz is outside 8000..96000 Hz");
  if (!(centreHz >= kLowestAudioCentreHz && centreHz <= kHighestAudioCentreHz))
    throw std::invalid_argument("the centre frequency must be 1000..2500 Hz");
  impl_ = std::make_unique<Impl>(audioRate, centreHz);
}

AudioDemodulator::~AudioDemodulator() = default;
AudioDemodulator::AudioDemodulator(AudioDemodulator&&) noexcept = default;
AudioDemodulator& AudioDemodulator::operator=(AudioDemodulator&&) noexcept = default;

void AudioDemodulator::Push(const float* samples, std::size_t count,
                            std::vector<std::uint8_t>& out) {
  impl_->Push(samples, count, out);
}

void AudioDemodulator::Flush(std::vector<std::uint8_t>& out) {
  impl_->Release(impl_->made, out);
}

void AudioDemodulator::Reset() {
  impl_->Reset();
}

void AudioDemodulator::SetCentre(double centreHz) {
  if (!(centreHz >= kLowestAudioCentreHz && centreHz <= kHighestAudioCentreHz))
    throw std::invalid_argument("the centre frequency must be 1000..2500 Hz");
  impl_->SetCentre(centreHz);
}

double AudioDemodulator::Centre() const {
  return impl_->centre;
}

int AudioDemodulator::AudioRate() const {
  return impl_->rate;
}

double AudioDemodulator::DelaySeconds() const {
  return impl_->delayFirst + impl_->delayRest;
}

int AudioDemodulator::TonesRecognised() const {
  return impl_->recognised;
}

StartStopTone AudioDemodulator::Tone() const {
  const auto& spans = impl_->spans;
  return !spans.empty() && spans.back().End == UINT64_MAX ? spans.back().Tone : StartStopTone::None;
}

}  // namespace zarvo
