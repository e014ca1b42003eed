#include "decoder/PhasingFold.h"

#include <algorithm>
#include <cmath>

namespace zarvo {
namespace {

// Folded over a multiple of the true period the pulses make as many peaks of full height; over a
// fraction of it, a peak of that fraction. The shortest period whose peak reaches this share of
// the highest is the drum speed.
constexpr double kHarmonicShare = 0.65;
// The fold decides after this many lines of the chosen speed, when two looks a quarter of a
// second apart agree on the speed and on the line start to within this share of a line.
constexpr double kLeastLines = 4;
constexpr double kLookEveryMs = 250;
constexpr double kAgreement = 0.01;

}  // namespace

PhasingFold::PhasingFold()
    : sum_(static_cast<std::size_t>(kSpeeds) * kMaxBins),
      count_(static_cast<std::size_t>(kSpeeds) * kMaxBins),
      mean_(kMaxBins),
      box_(kMaxBins) {}

void PhasingFold::Start(double samplePeriodMs) {
  period_ = samplePeriodMs;
  for (int s = 0; s < kSpeeds; ++s) {
    lineSamples_[s] = kLinePeriodMs[s] / period_;
    bins_[s] = static_cast<int>(std::min<double>(kMaxBins, std::ceil(lineSamples_[s])));
    binsPerSample_[s] = bins_[s] / lineSamples_[s];
    position_[s] = 0;
  }
  std::fill(sum_.begin(), sum_.end(), 0.0f);
  std::fill(count_.begin(), count_.end(), 0u);
  samples_ = 0;
  sinceEvaluation_ = 0;
  evaluateEvery_ = std::max(1, static_cast<int>(std::lround(kLookEveryMs / period_)));
  candidate_ = -1;
  speed_ = -1;
}

bool PhasingFold::Push(std::int32_t grey) {
  // Not started (a decoder switched to this detector halfway through phasing): nothing to fold
  // into.
  if (period_ <= 0) return false;
  if (speed_ >= 0) {  // decided: only the line start is still measured, on the speed found
    Fold(speed_, grey);
    ++samples_;
    return false;
  }
  for (int s = 0; s < kSpeeds; ++s) Fold(s, grey);
  ++samples_;
  if (++sinceEvaluation_ < evaluateEvery_) return false;
  sinceEvaluation_ = 0;
  return Evaluate();
}

void PhasingFold::Fold(int speed, std::int32_t grey) {
  const int bin =
      std::min(bins_[speed] - 1, static_cast<int>(position_[speed] * binsPerSample_[speed]));
  const std::size_t at = static_cast<std::size_t>(speed) * kMaxBins + bin;
  sum_[at] += static_cast<float>(grey);
  ++count_[at];
  position_[speed] += 1;
  if (position_[speed] >= lineSamples_[speed]) position_[speed] -= lineSamples_[speed];
}

PhasingFold::Pulse PhasingFold::Measure(int speed) {
  const int bins = bins_[speed];
  const float* sum = &sum_[static_cast<std::size_t>(speed) * kMaxBins];
  const std::uint32_t* count = &count_[static_cast<std::size_t>(speed) * kMaxBins];
  double total = 0;
  int filled = 0;
  for (int b = 0; b < bins; ++b)
    if (count[b] > 0) {
      mean_[b] = static_cast<double>(sum[b]) / count[b];
      total += mean_[b];
      ++filled;
    }
  if (filled == 0) return {};
  // Bins no sample has reached yet (a fold shorter than a line) take the line's mean.
  const double fill = total / filled;
  for (int b = 0; b < bins; ++b)
    if (count[b] == 0) mean_[b] = fill;
  total = fill * bins;

  const int width = std::max(1, static_cast<int>(std::lround(kPulseShare * bins)));
  if (width >= bins) return {};
  // The sum over a pulse's width starting at each bin: the fold correlated with the pulse, which
  // averages the noise of the single bins away.
  double window = 0;
  for (int b = 0; b < width; ++b) window += mean_[b];
  int first = 0;
  double best = window;
  for (int b = 0; b < bins; ++b) {
    box_[b] = window;
    if (window > best) {
      best = window;
      first = b;
    }
    window += mean_[(b + width) % bins] - mean_[b];
  }
  Pulse pulse;
  const double inside = best / width;
  const double outside = (total - best) / (bins - width);
  if (outside > kDarkestRest || inside < kLightestPulse) return pulse;
  pulse.Height = inside - outside;

  // The correlation rises and falls over a pulse's width on either side of its top; where it
  // crosses half way, on both sides, is finer than its flat-topped or noisy peak.
  const double half = (best + outside * width) / 2;
  const auto box = [&](int b) { return box_[((b % bins) + bins) % bins]; };
  double left = first, right = first;
  for (int b = first; b > first - 2 * width; --b)
    if (box(b - 1) < half) {
      left = b - (box(b) - half) / (box(b) - box(b - 1));
      break;
    }
  for (int b = first; b < first + 2 * width; ++b)
    if (box(b + 1) < half) {
      right = b + (box(b) - half) / (box(b) - box(b + 1));
      break;
    }
  // A window starting at b covers the places b .. b+width (in bins); the pulse's middle lies in
  // the middle of the best window.
  const double centre = (left + right) / 2 + width / 2.0;
  pulse.Centre =
      std::fmod(centre / binsPerSample_[speed] + lineSamples_[speed] * 2, lineSamples_[speed]);
  return pulse;
}

bool PhasingFold::Remeasure(int unfolded) {
  if (speed_ < 0) return false;
  const Pulse pulse = Measure(speed_);
  if (pulse.Height < kLeastHeight) return false;
  SetSinceLineStart(pulse.Centre, unfolded);
  return true;
}

void PhasingFold::SetSinceLineStart(double centre, int unfolded) {
  const double line = lineSamples_[speed_];
  centre_ = centre;
  // The sample just taken lay one before the next sample's place, and those not folded yet
  // after it.
  const double now = position_[speed_] - 1 + unfolded;
  sinceLineStart_ = std::fmod(now - centre + 2 * line, line);
}

bool PhasingFold::Evaluate() {
  Pulse pulses[kSpeeds];
  double highest = 0;
  for (int s = 0; s < kSpeeds; ++s) {
    if (static_cast<double>(samples_) < lineSamples_[s]) continue;  // not one whole line folded yet
    pulses[s] = Measure(s);
    highest = std::max(highest, pulses[s].Height);
  }
  if (highest < kLeastHeight) {
    candidate_ = -1;
    return false;
  }
  int chosen = kSpeeds - 1;  // the shortest period first
  while (chosen > 0 && pulses[chosen].Height < kHarmonicShare * highest) --chosen;
  const double line = lineSamples_[chosen];
  double apart = std::fabs(pulses[chosen].Centre - candidateCentre_);
  apart = std::min(apart, line - apart);
  const bool agreed = chosen == candidate_ && apart <= kAgreement * line;
  candidate_ = chosen;
  candidateCentre_ = pulses[chosen].Centre;
  if (!agreed || static_cast<double>(samples_) < kLeastLines * line) return false;
  speed_ = chosen;
  SetSinceLineStart(pulses[chosen].Centre);
  return true;
}

}  // namespace zarvo
