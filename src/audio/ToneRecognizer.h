#pragma once
// Start and stop tones recognised in the sound, so that the demodulator can hand the decoder the
// clean black/white alternation an interface box shows for them, also where the box's byte
// stream would not carry it:
// - plain tones: some transmitters send start and stop as plain audio tones of 300, 675 or
//   450 Hz, which the frequency discriminator reads as far below black, with no edge at all;
// - alternations under heavy noise: below about 5 dB in 3 kHz the discriminator's clicks bury
//   the alternation in a byte stream whose tone no longer holds block after block.
// Each block (of 20 ms or more) is measured at every tone and at two neighbours 100 Hz either side
// (Goertzel filters, whose response is zero there for a whole block). A block holds a tone when the
// tone's filter stands well above both neighbours and carries a good share of the block's
// power; a tone is recognised when it has held for most of a second and, over that time, stands
// far above its neighbours. A fax's picture varies over many frequencies and noise spreads over
// all of them, so neither holds a tone block after block.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarvo {

enum class StartStopTone { None, Start576, Start288, Stop };

// The rate of the black/white alternation (and the plain tone's frequency): 300, 675, 450 Hz.
int ToneRate(StartStopTone tone);

class ToneRecognizer {
 public:
  // How a tone is recognised: blocks of BlockSeconds; a block holds a tone when the tone's power
  // is BlockRatio times the stronger neighbour's and BlockShare of the block's power about its
  // mean, and it has at least MinAmplitude. The tone is recognised when HeldBlocks of the last
  // WindowBlocks held it, the newest among them, and over its run it has WindowRatio times its
  // neighbours' power and WindowShare of all; it is over when EndBlocks in a row no longer hold it.
  struct Criteria {
    double BlockSeconds;
    int WindowBlocks;
    int HeldBlocks;
    int EndBlocks;
    double BlockRatio;
    double BlockShare;
    double WindowRatio;
    double WindowShare;
    double MinAmplitude;  // of the tone in a block, in the samples' unit
  };

  struct Event {
    StartStopTone Tone = StartStopTone::None;  // the tone that began or ended
    bool Began = false;
    std::uint64_t Sample = 0;  // where it began or ended, in samples taken
  };

  // `sampleRate` in Hz (at least 1000); every tone's filters sit `shiftHz` above its rate.
  ToneRecognizer(double sampleRate, double shiftHz, const Criteria& criteria);

  void Reset();
  // Takes effect at the next block. A tone whose filters would fall outside 20 Hz..half the
  // rate less 20 Hz is not looked for.
  void SetShift(double shiftHz);

  // Takes `count` samples and appends what began or ended in them to `events`, in order.
  void Push(const float* samples, std::size_t count, std::vector<Event>& events);

  StartStopTone Current() const { return current_; }

 private:
  static constexpr int kTones = 3;
  static constexpr int kFilters = kTones * 3;  // each tone, its lower and its upper neighbour
  void Configure();
  void EndOfBlock(std::vector<Event>& events);
  // The block (0 = the newest) where the run of the tone now recognised began.
  int Onset(int tone) const;

  double rate_;
  double shift_;
  double pendingShift_;
  Criteria criteria_;
  int blockLength_ = 0;
  std::array<float, kFilters> coefficient_{};
  std::array<float, kFilters> s1_{}, s2_{};
  std::array<bool, kTones> usable_{};
  double sum_ = 0, sumSquares_ = 0;
  int inBlock_ = 0;
  std::uint64_t taken_ = 0;

  struct Block {
    std::uint64_t Start = 0;
    std::array<bool, kTones> Held{};
    std::array<double, kTones> Power{}, Neighbour{};  // 2 |X|^2 / n
    double Variation = 0;                             // sum of squares about the mean
  };
  std::vector<Block> history_;      // the last WindowBlocks blocks, a ring
  const Block& Back(int k) const {  // k = 0: the newest
    const int window = criteria_.WindowBlocks;
    return history_[static_cast<std::size_t>((next_ - 1 - k + 2 * window) % window)];
  }
  int next_ = 0, filled_ = 0;
  std::array<int, kTones> held_{};  // blocks in the history holding each tone
  StartStopTone current_ = StartStopTone::None;
  int missed_ = 0;       // blocks in a row without the current tone
  double runPower_ = 0;  // the current tone's power summed over the blocks that held it
  int runBlocks_ = 0;
  std::uint64_t Samples(double share) const {
    return static_cast<std::uint64_t>(std::lround(share * blockLength_));
  }
  // A tone that has ended is recognised again only after it has gone from most of the window.
  std::array<bool, kTones> armed_{true, true, true};
};

}  // namespace zarvo
