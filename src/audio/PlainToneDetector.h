#pragma once
// Start and stop tones sent as plain audio tones (300, 675 or 450 Hz) instead of a black/white
// alternation. Through the frequency discriminator such a tone reads as far below black, so the
// decoder would see no edge; here it is found in the sound itself. Each 20 ms block is measured
// at every tone and at two neighbours 100 Hz either side (Goertzel filters, whose response is
// zero there for a whole block); a block holds a tone when the tone's filter stands far above
// both neighbours and carries a good share of the block's power. A fax's sound lies between
// 1000 and 2800 Hz and noise spreads over every filter alike, so neither holds a tone block
// after block; a tone is recognised when it has held for most of a second.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarvo {

enum class PlainTone { None, Start576, Start288, Stop };

// The audio frequency of a plain tone (0 for None) and the rate of the black/white alternation
// an interface box shows for it.
int PlainToneHz(PlainTone tone);

class PlainToneDetector {
 public:
  static constexpr double kBlockSeconds = 0.02;
  // Recognised when this many of the last kWindowBlocks blocks held it, the newest among them.
  static constexpr int kWindowBlocks = 40;
  static constexpr int kHeldBlocks = 36;
  // Over when this many blocks in a row no longer hold it.
  static constexpr int kEndBlocks = 5;

  struct Event {
    PlainTone Tone = PlainTone::None;  // the tone that began or ended
    bool Began = false;
    std::uint64_t Sample = 0;  // where it began or ended, in samples taken
  };

  // `sampleRate` in Hz (at least 1000); `shiftHz` moves every tone by the receiver's mistuning.
  PlainToneDetector(double sampleRate, double shiftHz);

  void Reset();
  // Takes effect at the next block.
  void SetShift(double shiftHz);

  // Takes `count` samples and appends what began or ended in them to `events`, in order.
  void Push(const float* samples, std::size_t count, std::vector<Event>& events);

  PlainTone Current() const { return current_; }

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
  int blockLength_ = 0;
  std::array<float, kFilters> coefficient_{};
  std::array<float, kFilters> s1_{}, s2_{};
  std::array<bool, kFilters> usable_{};
  double sum_ = 0, sumSquares_ = 0;
  int inBlock_ = 0;
  std::uint64_t taken_ = 0;

  struct Block {
    std::uint64_t Start = 0;
    std::array<bool, kTones> Held{};
  };
  std::array<Block, kWindowBlocks> history_{};
  int next_ = 0, filled_ = 0;
  std::array<int, kTones> held_{};  // blocks in the history holding each tone
  PlainTone current_ = PlainTone::None;
  int missed_ = 0;  // blocks in a row without the current tone
  // A tone that has ended is recognised again only after it has gone from most of the window.
  std::array<bool, kTones> armed_{true, true, true};
};

}  // namespace zarvo
