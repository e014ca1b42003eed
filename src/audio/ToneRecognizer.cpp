#include "audio/ToneRecognizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zarvo {
namespace {

constexpr StartStopTone kToneOf[] = {StartStopTone::Start576, StartStopTone::Start288,
                                     StartStopTone::Stop};
constexpr double kToneHz[] = {300, 675, 450};
// Two filter widths (50 Hz for 20 ms) from the tone: a zero of its response.
constexpr double kNeighbourHz = 100;
// Of the blocks before the newest, the run that began the tone may miss one in ten.
constexpr double kRunHeld = 0.9;
// The share of a block a tone filled, from the tone's power above the noise its neighbours show,
// against a full block's: the filter's amplitude grows with the share, its power with the
// square.
double Share(double power, double noise, double full) {
  return full > 0 ? std::min(1.0, std::sqrt(std::max(0.0, power - noise) / full)) : 1.0;
}

int IndexOf(StartStopTone tone) {
  return tone == StartStopTone::Start576 ? 0 : tone == StartStopTone::Start288 ? 1 : 2;
}

}  // namespace

int ToneRate(StartStopTone tone) {
  return tone == StartStopTone::None ? 0 : static_cast<int>(kToneHz[IndexOf(tone)]);
}

ToneRecognizer::ToneRecognizer(double sampleRate, double shiftHz, const Criteria& criteria)
    : rate_(sampleRate), shift_(shiftHz), pendingShift_(shiftHz), criteria_(criteria) {
  blockLength_ = std::max(8, static_cast<int>(std::lround(criteria.BlockSeconds * rate_)));
  history_.resize(static_cast<std::size_t>(std::max(1, criteria.WindowBlocks)));
  Configure();
}

void ToneRecognizer::Configure() {
  shift_ = pendingShift_;
  for (int t = 0; t < kTones; ++t) {
    const double hz[3] = {kToneHz[t], kToneHz[t] - kNeighbourHz, kToneHz[t] + kNeighbourHz};
    bool usable = true;
    for (int k = 0; k < 3; ++k) {
      const double f = hz[k] + shift_;
      usable = usable && f >= 20 && f <= rate_ / 2 - 20;
      coefficient_[t * 3 + k] = static_cast<float>(2 * std::cos(2 * std::numbers::pi * f / rate_));
    }
    usable_[t] = usable;
  }
}

void ToneRecognizer::SetShift(double shiftHz) {
  pendingShift_ = shiftHz;
}

void ToneRecognizer::Reset() {
  s1_.fill(0);
  s2_.fill(0);
  sum_ = sumSquares_ = 0;
  inBlock_ = 0;
  taken_ = 0;
  std::fill(history_.begin(), history_.end(), Block{});
  next_ = filled_ = 0;
  held_.fill(0);
  current_ = StartStopTone::None;
  missed_ = 0;
  armed_.fill(true);
  Configure();
}

void ToneRecognizer::Push(const float* samples, std::size_t count, std::vector<Event>& events) {
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

int ToneRecognizer::Onset(int tone) const {
  int onset = 0, held = 0, missedInRow = 0;
  for (int k = 0; k < filled_; ++k) {
    if (Back(k).Held[tone]) {
      ++held;
      missedInRow = 0;
      if (held >= kRunHeld * (k + 1)) onset = k;
    } else if (++missedInRow >= criteria_.EndBlocks) {
      break;
    }
  }
  // A lone block held by chance before a miss is no part of the run.
  while (onset > 0 && !Back(onset - 1).Held[tone]) --onset;
  return onset;
}

void ToneRecognizer::EndOfBlock(std::vector<Event>& events) {
  const int window = criteria_.WindowBlocks;
  const double n = inBlock_;
  Block& block = history_[static_cast<std::size_t>(next_)];
  if (filled_ == window)
    for (int t = 0; t < kTones; ++t) held_[t] -= block.Held[t];
  block.Start = taken_ - static_cast<std::uint64_t>(inBlock_);
  block.Variation = std::max(0.0, sumSquares_ - sum_ * sum_ / n);
  for (int t = 0; t < kTones; ++t) {
    // A sinusoid of amplitude a that fills the block puts all its power, a^2 n / 2, into
    // 2 |X|^2 / n.
    double power[3];
    for (int k = 0; k < 3; ++k) {
      const int f = t * 3 + k;
      power[k] = 2 *
                 (static_cast<double>(s1_[f]) * s1_[f] + static_cast<double>(s2_[f]) * s2_[f] -
                  static_cast<double>(coefficient_[f]) * s1_[f] * s2_[f]) /
                 n;
    }
    block.Power[t] = power[0];
    block.Neighbour[t] = std::max(power[1], power[2]);
    block.Held[t] = usable_[t] && block.Variation > 0 &&
                    power[0] >= criteria_.MinAmplitude * criteria_.MinAmplitude * n / 2 &&
                    power[0] > criteria_.BlockRatio * block.Neighbour[t] &&
                    power[0] >= criteria_.BlockShare * block.Variation;
    held_[t] += block.Held[t];
  }
  s1_.fill(0);
  s2_.fill(0);
  sum_ = sumSquares_ = 0;
  inBlock_ = 0;
  next_ = (next_ + 1) % window;
  filled_ = std::min(filled_ + 1, window);
  if (pendingShift_ != shift_) Configure();

  // The tone sounding goes on until it has missed criteria_.EndBlocks blocks in a row. It ended
  // inside the last block that held it when that block has less than its mean power, else
  // inside the first that missed, as far as that one still has some of it.
  if (current_ != StartStopTone::None) {
    const int t = IndexOf(current_);
    if (block.Held[t]) {
      missed_ = 0;
      runPower_ += block.Power[t] - block.Neighbour[t];
      ++runBlocks_;
    } else if (++missed_ >= criteria_.EndBlocks) {
      const Block& lastHeld = Back(criteria_.EndBlocks);
      const Block& firstMissed = Back(criteria_.EndBlocks - 1);
      const double full = runPower_ / std::max(1, runBlocks_);
      const double lastShare = Share(lastHeld.Power[t], lastHeld.Neighbour[t], full);
      const double missedShare = Share(firstMissed.Power[t], firstMissed.Neighbour[t], full);
      const std::uint64_t end = lastShare < 1 ? lastHeld.Start + Samples(lastShare)
                                              : firstMissed.Start + Samples(missedShare);
      events.push_back({current_, false, end});
      armed_[t] = false;
      current_ = StartStopTone::None;
      missed_ = 0;
    }
  }
  for (int t = 0; t < kTones; ++t) {
    if (held_[t] < window / 2) armed_[t] = true;
    if (kToneOf[t] == current_ || !armed_[t] || !block.Held[t] || held_[t] < criteria_.HeldBlocks)
      continue;
    // Over the run, the tone stands far above its neighbours and carries much of the power.
    const int onset = Onset(t);
    double power = 0, neighbour = 0, variation = 0;
    for (int k = 0; k <= onset; ++k) {
      const Block& b = Back(k);
      power += b.Power[t];
      neighbour += b.Neighbour[t];
      variation += b.Variation;
    }
    if (power < criteria_.WindowRatio * neighbour || power < criteria_.WindowShare * variation)
      continue;
    // The first block of the run holds the tone in its later part when it has less than the
    // run's mean power.
    const Block& first = Back(onset);
    const double full = onset > 0
                            ? (power - neighbour - first.Power[t] + first.Neighbour[t]) / onset
                            : first.Power[t] - first.Neighbour[t];
    const std::uint64_t start =
        first.Start + Samples(1 - Share(first.Power[t], first.Neighbour[t], full));
    runPower_ = power - neighbour;
    runBlocks_ = onset + 1;
    // Another tone cut short by this one ends where this one began.
    if (current_ != StartStopTone::None) {
      events.push_back({current_, false, start});
      armed_[IndexOf(current_)] = false;
    }
    current_ = kToneOf[t];
    missed_ = 0;
    events.push_back({current_, true, start});
    break;
  }
}

}  // namespace zarvo
