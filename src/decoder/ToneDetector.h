#pragma once
// Recognises the start and stop tones of a broadcast by what they are: a steady black/white
// alternation at 300, 675 or 450 Hz. Each 20 ms block of samples is measured at the three tone
// frequencies and at two neighbours of each (Goertzel filters); a tone is recognised when a
// second of blocks holds it, block after block, far above its neighbours and as a large share of
// all the signal's variation. Noise spreads over every frequency and a chart's content over many,
// so neither passes for a tone, while a tone under heavy noise still stands out of its
// neighbours. Broadcasts send their tones for three to five seconds; a chart with hatching of
// the tone's period rarely fills two whole lines.
#include <array>
#include <cstdint>

namespace zarvo {

enum class Tone { None, Start576, Start288, Stop };

class ToneDetector {
 public:
  static constexpr double kBlockMs = 20;
  static constexpr int kWindowBlocks = 50;  // a second
  static_assert(kBlockMs * kWindowBlocks == 1000);
  // A tone acts as from this long after it began, as the half-second edge counts made it act (at
  // the first edge after 500 ms), so that a stop closes a fax after the same rows. Its
  // beginning is read from the share of a block it filled, to within about 3 ms.
  static constexpr double kActsAfterMs = 503;
  static constexpr int kTones = 3;
  static constexpr double kToneHz[kTones] = {300, 675, 450};
  // The filters' frequencies: the tones and their neighbours, which lie a whole number of filter
  // widths (50 Hz for 20 ms blocks) away, on the zeros of the tones' responses, so that a clean
  // tone leaves them empty. One more, unused, makes eight for the vector unit.
  static constexpr int kFilters = 8;
  static constexpr double kFilterHz[kFilters] = {150, 300, 450, 600, 575, 675, 775, 0};
  // For each tone: its own filter, its lower and its upper neighbour.
  static constexpr int kToneFilters[kTones][3] = {{1, 0, 2}, {5, 4, 6}, {2, 1, 3}};

  // Samples in milliseconds each; the period may change between samples (clock calibration)
  // and takes effect at the next block.
  explicit ToneDetector(double samplePeriodMs = 1000.0 / 7200);

  // Forgets everything heard so far.
  void Reset();
  // Takes one sample; returns the tone recognised with it, once per tone until the tone has
  // ended. Late() then tells how many samples ago the tone's half second was over.
  Tone Push(std::uint8_t sample, double samplePeriodMs) {
    ToBlockEnd(samplePeriodMs);
    PushWithin(&sample, 1);
    return inBlock_ >= blockLength_ ? EndOfBlock() : Tone::None;
  }
  // Samples until and with the one that ends the current block, at this sample period.
  int ToBlockEnd(double samplePeriodMs) {
    if (inBlock_ == 0 && samplePeriodMs != period_) Configure(samplePeriodMs);
    return blockLength_ - inBlock_;
  }
  // Takes `count` samples, no more than ToBlockEnd(), without ending the block: the filters
  // step in registers from one sample to the next. The decoder's step for every sample.
  void PushWithin(const std::uint8_t* samples, int count) {
    Lanes a1 = s1_[0], a2 = s2_[0], b1 = s1_[1], b2 = s2_[1];
    const Lanes ca = coefficient_[0], cb = coefficient_[1];
    std::int64_t sum = 0, squares = 0;
    for (int i = 0; i < count; ++i) {
      const std::int32_t sample = samples[i];
      // About the last block's mean, so that the signal's level does not leak into the filters.
      const float x = static_cast<float>(sample) - level_;
      const Lanes a0 = x + ca * a1 - a2, b0 = x + cb * b1 - b2;
      a2 = a1, a1 = a0, b2 = b1, b1 = b0;
      sum += sample;
      squares += sample * sample;
    }
    s1_[0] = a1, s2_[0] = a2, s1_[1] = b1, s2_[1] = b2;
    sum_ += sum;
    sumSquares_ += squares;
    taken_ += static_cast<std::uint64_t>(count);
    inBlock_ += count;
  }
  std::int64_t Late() const { return late_; }
  // True from a tone's recognition until it has gone from most of the window.
  bool Sounding() const { return reported_[0] || reported_[1] || reported_[2]; }

 private:
  void Configure(double samplePeriodMs);
  Tone EndOfBlock();

  double period_ = 0;
  int blockLength_ = 0;
  // Four filters to a vector: the eight step together in two registers, with no shuffling of
  // single lanes on every sample.
  static constexpr int kLanes = 4;
  using Lanes = float __attribute__((vector_size(kLanes * sizeof(float))));
  static_assert(kFilters == 2 * kLanes);
  std::array<Lanes, kFilters / kLanes> coefficient_{}, s1_{}, s2_{};
  // By value: clang binds no reference to a vector's element.
  static float Lane(const std::array<Lanes, kFilters / kLanes>& bank, int f) {
    return bank[f / kLanes][f % kLanes];
  }
  std::int64_t sum_ = 0, sumSquares_ = 0;
  int inBlock_ = 0;
  float level_ = 0;          // the last block's mean
  std::uint64_t taken_ = 0;  // samples taken

  // Per block in the window, per tone: the tone's power, its neighbours' mean power, the
  // block's variation (sum of squares about its mean), whether the block held the tone.
  struct BlockResult {
    std::array<float, kTones> Power{}, Neighbours{};
    float Variation = 0;
    std::array<bool, kTones> Held{};
    int Length = 0;         // samples
    std::uint64_t End = 0;  // samples taken up to its end
  };
  const BlockResult& Back(int k) const {  // k = 1: the newest block
    return window_[(next_ - k + kWindowBlocks) % kWindowBlocks];
  }
  // The sample at which tone t began, from the run of `run` blocks that hold it.
  double Onset(int t, int run) const;
  std::array<BlockResult, kWindowBlocks> window_{};
  int next_ = 0, filled_ = 0;
  // The window's sums, kept as blocks come and go; and per tone the blocks holding it, and how
  // many of the newest hold it one after the other.
  std::array<double, kTones> tonePower_{}, neighbours_{};
  double variation_ = 0;
  std::array<int, kTones> held_{}, run_{};
  std::array<bool, kTones> reported_{};
  std::int64_t late_ = 0;
};

}  // namespace zarvo
