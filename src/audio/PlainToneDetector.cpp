#include "audio/PlainToneDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zarvo {
namespace {

constexpr PlainTone kToneOf[] = {PlainTone::Start576, PlainTone::Start288, PlainTone::Stop};
constexpr double kToneHz[] = {300, 675, 450};
// Two filter widths (50 Hz for 20 ms) from the tone: a zero of its response.
constexpr double kNeighbourHz = 100;
// A block holds a tone when its filter has ten times the stronger neighbour's power and three
// per cent of all the block's power. A tone under noise of the same power in 3 kHz fills its
// filter about sixty times above a neighbour; noise alone passes both tests about once in ten
// thousand blocks; a fax's sound, far above the tones, leaves the filters nearly empty.
constexpr double kRatio = 10;
constexpr double kShare = 0.03;
// Of the blocks before the newest, the run that began the tone may miss one in ten.
constexpr double kRunHeld = 0.9;

}  // namespace

int PlainToneHz(PlainTone tone) {
  switch (tone) {
    case PlainTone::Start576:
      return 300;
    case PlainTone::Start288:
      return 675;
    case PlainTone::Stop:
      return 450;
    case PlainTone::None:
      break;
  }
  return 0;
}

PlainToneDetector::PlainToneDetector(double sampleRate, double shiftHz)
    : rate_(sampleRate), shift_(shiftHz), pendingShift_(shiftHz) {
  blockLength_ = std::max(8, static_cast<int>(std::lround(kBlockSeconds * rate_)));
  Configure();
}

void PlainToneDetector::Configure() {
  shift_ = pendingShift_;
  for (int t = 0; t < kTones; ++t) {
    const double hz[3] = {kToneHz[t], kToneHz[t] - kNeighbourHz, kToneHz[t] + kNeighbourHz};
    bool usable = true;
    for (int k = 0; k < 3; ++k) {
      const double f = hz[k] + shift_;
      usable = usable && f >= 20 && f <= rate_ / 2 - 20;
      coefficient_[t * 3 + k] = static_cast<float>(2 * std::cos(2 * std::numbers::pi * f / rate_));
    }
    for (int k = 0; k < 3; ++k) usable_[t * 3 + k] = usable;
  }
}

void PlainToneDetector::SetShift(double shiftHz) {
  pendingShift_ = shiftHz;
}

void PlainToneDetector::Reset() {
  s1_.fill(0);
  s2_.fill(0);
  sum_ = sumSquares_ = 0;
  inBlock_ = 0;
  taken_ = 0;
  history_.fill({});
  next_ = filled_ = 0;
  held_.fill(0);
  current_ = PlainTone::None;
  missed_ = 0;
  armed_.fill(true);
  Configure();
}

void PlainToneDetector::Push(const float* samples, std::size_t count, std::vector<Event>& events) {
  for (std::size_t i = 0; i < count; ++i) {
    const float x = samples[i];
    for (int f = 0; f < kFilters; ++f) {
      const float s0 = x + coefficient_[f] * s1_[f] - s2_[f];
      s2_[f] = s1_[f];
      s1_[f] = s0;
    }
    sum_ += x;
    sumSquares_ += static_cast<double>(x) * x;
    ++taken_;
    if (++inBlock_ >= blockLength_) EndOfBlock(events);
  }
}

int PlainToneDetector::Onset(int tone) const {
  int onset = 0, held = 0, missedInRow = 0;
  for (int k = 0; k < filled_; ++k) {
    const Block& b = history_[(next_ - 1 - k + kWindowBlocks) % kWindowBlocks];
    if (b.Held[tone]) {
      ++held;
      missedInRow = 0;
      if (held >= kRunHeld * (k + 1)) onset = k;
    } else if (++missedInRow >= kEndBlocks) {
      break;
    }
  }
  return onset;
}

void PlainToneDetector::EndOfBlock(std::vector<Event>& events) {
  const double n = inBlock_;
  const double variation = std::max(0.0, sumSquares_ - sum_ * sum_ / n);
  Block& block = history_[next_];
  if (filled_ == kWindowBlocks)
    for (int t = 0; t < kTones; ++t) held_[t] -= block.Held[t];
  block.Start = taken_ - static_cast<std::uint64_t>(inBlock_);
  for (int t = 0; t < kTones; ++t) {
    double power[3];
    for (int k = 0; k < 3; ++k) {
      const int f = t * 3 + k;
      power[k] = static_cast<double>(s1_[f]) * s1_[f] + static_cast<double>(s2_[f]) * s2_[f] -
                 static_cast<double>(coefficient_[f]) * s1_[f] * s2_[f];
    }
    // A sinusoid that fills the block puts all its power into 2 |X|^2 / n.
    block.Held[t] = usable_[t * 3] && variation > 0 &&
                    power[0] > kRatio * std::max(power[1], power[2]) &&
                    2 * power[0] / n >= kShare * variation;
    held_[t] += block.Held[t];
  }
  s1_.fill(0);
  s2_.fill(0);
  sum_ = sumSquares_ = 0;
  inBlock_ = 0;
  next_ = (next_ + 1) % kWindowBlocks;
  filled_ = std::min(filled_ + 1, kWindowBlocks);
  if (pendingShift_ != shift_) Configure();

  // The tone sounding goes on until it has missed kEndBlocks blocks in a row.
  const auto index = [](PlainTone tone) {
    return tone == PlainTone::Start576 ? 0 : tone == PlainTone::Start288 ? 1 : 2;
  };
  if (current_ != PlainTone::None) {
    if (block.Held[index(current_)]) {
      missed_ = 0;
    } else if (++missed_ >= kEndBlocks) {
      const Block& firstMissed = history_[(next_ - kEndBlocks + kWindowBlocks) % kWindowBlocks];
      events.push_back({current_, false, firstMissed.Start});
      armed_[index(current_)] = false;
      current_ = PlainTone::None;
      missed_ = 0;
    }
  }
  for (int t = 0; t < kTones; ++t) {
    if (held_[t] < kWindowBlocks / 2) armed_[t] = true;
    if (kToneOf[t] == current_ || !armed_[t] || !block.Held[t] || held_[t] < kHeldBlocks) continue;
    const std::uint64_t onset =
        history_[(next_ - 1 - Onset(t) + kWindowBlocks) % kWindowBlocks].Start;
    // Another tone cut short by this one ends where this one began.
    if (current_ != PlainTone::None) {
      events.push_back({current_, false, onset});
      armed_[index(current_)] = false;
    }
    current_ = kToneOf[t];
    missed_ = 0;
    events.push_back({current_, true, onset});
    break;
  }
}

}  // namespace zarvo
