#include "decoder/ToneDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zarvo {
namespace {

// A block holds a tone when the tone's filter has this many times its neighbours' mean power
// and the tone carries this share of the block's variation. A clean square wave puts 81 % of
// its variation into its fundamental; 400 Hz of frequency noise, clipped at white, still leaves
// about a third, 800 Hz a little more than a tenth. Noise alone gives a filter about 2 / n of
// the variation (1.4 % in a block of 144 samples), and reaches a tenth once in a thousand.
constexpr float kBlockRatio = 4;
constexpr float kBlockShare = 0.1f;
// The window is a tone when all its blocks but the oldest held it, one after the other (the
// oldest may have caught only the tone's beginning), and together its blocks hold it ten times
// above the neighbours and as more than a seventh of all the variation.
constexpr int kHeldBlocks = ToneDetector::kWindowBlocks - 1;
constexpr float kWindowRatio = 10;
constexpr float kWindowShare = 0.15f;
// A tone already reported is reported again only after it has gone from most of the window.
constexpr int kGoneBlocks = ToneDetector::kWindowBlocks / 2;
// A block whose tone filter has this share of the tone's full amplitude holds some of the tone.
constexpr double kSomeTone = 0.2;
// Blocks shorter than this cannot tell the tones apart (only with absurd sample periods).
constexpr int kShortestBlock = 8;

constexpr Tone kToneOf[ToneDetector::kTones] = {Tone::Start576, Tone::Start288, Tone::Stop};

// Each tone's own filter is at its frequency, its neighbours a whole number of filter widths away.
constexpr bool FiltersFitTheTones() {
  using D = ToneDetector;
  for (int t = 0; t < D::kTones; ++t) {
    const double own = D::kFilterHz[D::kToneFilters[t][0]];
    if (own != D::kToneHz[t]) return false;
    for (int k = 1; k < 3; ++k) {
      const double widths = (D::kFilterHz[D::kToneFilters[t][k]] - own) * D::kBlockMs / 1000;
      if (widths == 0 || widths != static_cast<int>(widths)) return false;
    }
  }
  return true;
}
static_assert(FiltersFitTheTones());
static_assert(ToneDetector::kActsAfterMs < ToneDetector::kBlockMs * kHeldBlocks,
              "a tone acts no earlier than it is recognised");

}  // namespace

ToneDetector::ToneDetector(double samplePeriodMs) {
  Configure(samplePeriodMs);
}

void ToneDetector::Configure(double samplePeriodMs) {
  period_ = samplePeriodMs;
  blockLength_ = std::max(kShortestBlock, static_cast<int>(std::lround(kBlockMs / period_)));
  for (int f = 0; f < kFilters; ++f)
    coefficient_[f / kLanes][f % kLanes] =
        static_cast<float>(2 * std::cos(2 * std::numbers::pi * kFilterHz[f] * period_ / 1000));
}

void ToneDetector::Reset() {
  s1_.fill(Lanes{});
  s2_.fill(Lanes{});
  sum_ = sumSquares_ = 0;
  inBlock_ = 0;
  level_ = 0;
  taken_ = 0;
  window_.fill({});
  next_ = filled_ = 0;
  reported_.fill(false);
  late_ = 0;
  tonePower_.fill(0);
  neighbours_.fill(0);
  variation_ = 0;
  held_.fill(0);
  run_.fill(0);
}

double ToneDetector::Onset(int t, int run) const {
  const BlockResult& first = Back(run);
  double power = 0;
  for (int k = 1; k < run; ++k) power += Back(k).Power[t];
  const double full = run > 1 ? power / (run - 1) : first.Power[t];
  // A filter's power grows with the square of the share of the block the tone filled.
  const auto share = [&](const BlockResult& b) {
    return full > 0 ? std::min(1.0, std::sqrt(b.Power[t] / full)) : 1.0;
  };
  double onset = static_cast<double>(first.End) - share(first) * first.Length;
  if (run < filled_ && share(first) > 1 - kSomeTone) {
    const BlockResult& before = Back(run + 1);
    if (share(before) >= kSomeTone) onset -= share(before) * before.Length;
  }
  return onset;
}

Tone ToneDetector::EndOfBlock() {
  const double n = inBlock_;
  BlockResult& block = window_[next_];
  // The block that leaves the window takes its share out of the window's sums.
  if (filled_ == kWindowBlocks) {
    variation_ -= block.Variation;
    for (int t = 0; t < kTones; ++t) {
      tonePower_[t] -= block.Power[t];
      neighbours_[t] -= block.Neighbours[t];
      held_[t] -= block.Held[t];
    }
  }
  // The energy of a sinusoid that fills the filter's output: 2 |X|^2 / n.
  float power[kFilters];
  for (int f = 0; f < kFilters; ++f) {
    const float s1 = Lane(s1_, f), s2 = Lane(s2_, f);
    power[f] = static_cast<float>(2.0 * (s1 * s1 + s2 * s2 - Lane(coefficient_, f) * s1 * s2) / n);
  }
  const double sum = static_cast<double>(sum_);
  block.Variation =
      static_cast<float>(std::max(0.0, static_cast<double>(sumSquares_) - sum * sum / n));
  block.Length = inBlock_;
  block.End = taken_;
  variation_ += block.Variation;
  for (int t = 0; t < kTones; ++t) {
    block.Power[t] = power[kToneFilters[t][0]];
    block.Neighbours[t] = (power[kToneFilters[t][1]] + power[kToneFilters[t][2]]) / 2;
    block.Held[t] = block.Power[t] > kBlockRatio * block.Neighbours[t] &&
                    block.Power[t] >= kBlockShare * block.Variation && block.Variation > 0;
    tonePower_[t] += block.Power[t];
    neighbours_[t] += block.Neighbours[t];
    held_[t] += block.Held[t];
    run_[t] = block.Held[t] ? std::min(run_[t] + 1, kWindowBlocks) : 0;
  }
  level_ = static_cast<float>(sum / n);
  s1_.fill(Lanes{});
  s2_.fill(Lanes{});
  sum_ = sumSquares_ = 0;
  inBlock_ = 0;
  next_ = (next_ + 1) % kWindowBlocks;
  filled_ = std::min(filled_ + 1, kWindowBlocks);

  Tone heard = Tone::None;
  for (int t = 0; t < kTones; ++t) {
    if (held_[t] < kGoneBlocks) reported_[t] = false;
    const bool tone = run_[t] >= kHeldBlocks && tonePower_[t] >= kWindowRatio * neighbours_[t] &&
                      tonePower_[t] >= kWindowShare * variation_;
    if (tone && !reported_[t] && heard == Tone::None) {
      reported_[t] = true;
      heard = kToneOf[t];
      const double actsAt = Onset(t, run_[t]) + kActsAfterMs / period_;
      late_ = std::max<std::int64_t>(
          0, static_cast<std::int64_t>(taken_) - static_cast<std::int64_t>(std::ceil(actsAt)));
    }
  }
  return heard;
}

}  // namespace zarvo
