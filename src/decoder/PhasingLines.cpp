#include "decoder/PhasingLines.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "decoder/PhasingFold.h"

namespace zarvo {
namespace {

// A line counts when its pulse stands out as the fold's does, and is about a pulse wide: the last
// pulse before the picture runs into its white top.
using Fold = PhasingFold;
constexpr double kWidthTolerance = 0.3;
// The pulse's edges are measured within a few samples either side (a box's edges take about a
// sample to swing, a demodulator's a few).
constexpr int kEdgeHalfWindow = 3;
// Fewer lines than this, or a clock further off than this, and the fit is not trusted: the
// clock calibration and a box's clock together stay well within it.
constexpr int kLeastLines = 6;
constexpr double kMostPpm = 3000;
constexpr double kMostSigmaPpm = 20;
// A line whose centre lies further off the fit than this many standard deviations of the others
// (or samples, when they scatter less) is a misread pulse: it is left out and the fit made again.
constexpr double kOutlierSigmas = 4;
constexpr double kLeastScatter = 0.25;
// The band of slopes that sharp edges allow is taken when its centre lies within this many
// standard errors of the least-squares slope.
constexpr double kSharpAgreement = 3;
// Where the edges are not sharp, the line lengths this many standard errors either side of the
// fit are those the lines allow.
constexpr double kBandSigmas = 3;

struct Point {
  double Line, Offset;
  std::int64_t Rise, Fall;  // the first light and the first dark sample
};

struct Fit {
  double Intercept = 0, Slope = 0, Residual = 0, SpreadOfLines = 0;
  bool Valid = false;
};

Fit FitLine(const std::vector<Point>& points) {
  Fit fit;
  const double n = static_cast<double>(points.size());
  if (points.size() < 2) return fit;
  double mx = 0, my = 0;
  for (const Point& p : points) mx += p.Line, my += p.Offset;
  mx /= n;
  my /= n;
  double sxx = 0, sxy = 0;
  for (const Point& p : points) {
    sxx += (p.Line - mx) * (p.Line - mx);
    sxy += (p.Line - mx) * (p.Offset - my);
  }
  if (sxx <= 0) return fit;
  fit.Slope = sxy / sxx;
  fit.Intercept = my - fit.Slope * mx;
  double sse = 0;
  for (const Point& p : points) {
    const double r = p.Offset - fit.Intercept - fit.Slope * p.Line;
    sse += r * r;
  }
  fit.Residual = points.size() > 2 ? std::sqrt(sse / (n - 2)) : 0;
  fit.SpreadOfLines = sxx;
  fit.Valid = true;
  return fit;
}

// Sharp edges (a box that jumps from one frequency to the next within a sample) tell only the
// sample at which each edge turned: the edge lies within the sample before it. The lines through
// all those intervals, of the rises and of the falls, form a narrow band of slopes; its centre is
// finer than a least-squares fit, whose errors follow the grid of the samples. A few lines a
// noise spike moved by a sample are let off. False when no line passes (edges that swing over
// several samples, or heavy noise): the least-squares fit stands.
bool FitSharp(const std::vector<Point>& points, double nominal, const Fit& guess, double& slope,
              double& intercept, double& lowest, double& highest) {
  const std::size_t n = points.size();
  double firstLine = points.front().Line, lastLine = points.back().Line;
  const double span = lastLine - firstLine;
  if (span <= 0) return false;
  constexpr int kSteps = 600;
  const double sigma = std::max(guess.Residual, kLeastScatter) / std::sqrt(guess.SpreadOfLines);
  const double reach = std::max(4 * sigma, 3 / span);
  std::vector<double> low(n), high(n);
  // The offsets every line's edges allow at a slope, as the band of intercepts all of them
  // (but `spare`) share for the rises and for the falls.
  const auto band = [&](double m, std::size_t spare, bool rises, double& from, double& to) {
    for (std::size_t k = 0; k < n; ++k) {
      const Point& p = points[k];
      const double at =
          static_cast<double>(rises ? p.Rise : p.Fall) - p.Line * nominal - p.Line * m;
      low[k] = at - 1;
      high[k] = at;
    }
    std::nth_element(low.begin(), low.begin() + static_cast<std::ptrdiff_t>(spare), low.end(),
                     std::greater<>());
    std::nth_element(high.begin(), high.begin() + static_cast<std::ptrdiff_t>(spare), high.end());
    from = low[spare];
    to = high[spare];
    return to - from;
  };
  for (std::size_t spare : {std::size_t{0}, n / 25}) {
    double weights = 0, moment = 0, from = 0, to = 0;
    for (int i = 0; i <= kSteps; ++i) {
      const double m = guess.Slope + reach * (2.0 * i / kSteps - 1);
      double a, b;
      const double w =
          std::max(0.0, band(m, spare, true, a, b)) * std::max(0.0, band(m, spare, false, a, b));
      if (w > 0 && weights <= 0) from = m;
      if (w > 0) to = m;
      weights += w;
      moment += w * m;
    }
    if (weights <= 0) continue;
    // A band that a line moved by noise has narrowed to the wrong slopes lies off the
    // least-squares fit, which that line barely moves.
    if (std::fabs(moment / weights - guess.Slope) > kSharpAgreement * sigma) continue;
    slope = moment / weights;
    // A step of the search either side: the band's true ends lie between the steps.
    lowest = from - 2 * reach / kSteps;
    highest = to + 2 * reach / kSteps;
    double riseFrom, riseTo, fallFrom, fallTo;
    band(slope, spare, true, riseFrom, riseTo);
    band(slope, spare, false, fallFrom, fallTo);
    intercept = (riseFrom + riseTo + fallFrom + fallTo) / 4;
    return true;
  }
  return false;
}

}  // namespace

PhasingLines::Result PhasingLines::Measure(double nominalLine) const {
  const int length = static_cast<int>(nominalLine);
  const int width = static_cast<int>(std::lround(Fold::kPulseShare * nominalLine));
  if (width < 1 || length <= 2 * width) return {};
  std::vector<double> fold(static_cast<std::size_t>(length));
  for (std::size_t i = 0; i < grey_.size(); ++i)
    fold[static_cast<std::size_t>(std::fmod(static_cast<double>(i), nominalLine)) % fold.size()] +=
        grey_[i];
  // The brightest pulse width round the folded line.
  double window = 0;
  for (int i = 0; i < width; ++i) window += fold[static_cast<std::size_t>(i)];
  double best = window;
  int first = 0;
  for (int b = 1; b < length; ++b) {
    window += fold[static_cast<std::size_t>((b + width - 1) % length)] -
              fold[static_cast<std::size_t>(b - 1)];
    if (window > best) best = window, first = b;
  }
  return Measure(nominalLine, first + width / 2.0);
}

PhasingLines::Result PhasingLines::Measure(double nominalLine, double centre) const {
  Result result;
  const std::int64_t total = static_cast<std::int64_t>(grey_.size());
  const int width = static_cast<int>(std::lround(Fold::kPulseShare * nominalLine));
  const int length = static_cast<int>(nominalLine);
  if (width < 2 * kEdgeHalfWindow || length <= 2 * width) return result;
  const auto grey = [&](std::int64_t i) { return static_cast<double>(grey_[i]); };

  // The edge near `at`, from the share of light samples around it: a step at t leaves
  // (window end - t) light samples in a rising window and (t - window start) in a falling one,
  // whatever the shape of its swing.
  const auto edge = [&](double at, bool rising, double dark, double light, std::int64_t& first) {
    for (int pass = 0; pass < 2; ++pass) {
      const int half = pass == 0 ? std::max(kEdgeHalfWindow, width / 4) : kEdgeHalfWindow;
      const std::int64_t middle = std::llround(at);
      if (middle - half < 0 || middle + half > total) return -1.0;
      double share = 0;
      for (std::int64_t i = middle - half; i < middle + half; ++i)
        share += std::clamp((grey(i) - dark) / (light - dark), 0.0, 1.0);
      at = rising ? static_cast<double>(middle + half) - share
                  : static_cast<double>(middle - half) + share;
    }
    // And the sample where it turns: the split of the window that best parts dark from light.
    const std::int64_t middle = std::llround(at);
    double score = 0, best = -1;
    first = middle;
    for (std::int64_t q = middle - kEdgeHalfWindow; q < middle + kEdgeHalfWindow; ++q) {
      if (q > middle - kEdgeHalfWindow) {
        const double u = (grey(q - 1) - dark) / (light - dark) - 0.5;
        score += rising ? -2 * u : 2 * u;
      }
      if (score > best) best = score, first = q;
    }
    return at;
  };

  // One line at a time, from half a line before each folded pulse centre: the brightest pulse
  // width in it is the pulse.
  std::vector<Point> points;
  const std::int64_t firstLine =
      static_cast<std::int64_t>(std::ceil((nominalLine / 2 - centre) / nominalLine));
  for (std::int64_t k = firstLine;; ++k) {
    const std::int64_t from =
        std::llround(centre + static_cast<double>(k) * nominalLine) - length / 2;
    if (from < 0) continue;
    if (from + length > total) break;
    double window = 0, sum = 0;
    for (int i = 0; i < width; ++i) window += grey(from + i);
    for (int i = 0; i < length; ++i) sum += grey(from + i);
    double best = window;
    std::int64_t first = from;
    for (std::int64_t b = from + 1; b + width <= from + length; ++b) {
      window += grey(b + width - 1) - grey(b - 1);
      if (window > best) best = window, first = b;
    }
    const double light = best / width;
    const double dark = (sum - best) / (length - width);
    if (light - dark < Fold::kLeastHeight || dark > Fold::kDarkestRest ||
        light < Fold::kLightestPulse)
      continue;
    std::int64_t riseSample = 0, fallSample = 0;
    const double rise = edge(static_cast<double>(first), true, dark, light, riseSample);
    const double fall = edge(static_cast<double>(first + width), false, dark, light, fallSample);
    if (rise < 0 || fall < 0 || std::fabs(fall - rise - width) > kWidthTolerance * width) continue;
    const double offset = (rise + fall) / 2 - static_cast<double>(k) * nominalLine;
    points.push_back({static_cast<double>(k), offset, riseSample, fallSample});
  }

  Fit fit = FitLine(points);
  if (!fit.Valid) return result;
  const double limit = kOutlierSigmas * std::max(fit.Residual, kLeastScatter);
  std::erase_if(points, [&](const Point& p) {
    return std::fabs(p.Offset - fit.Intercept - fit.Slope * p.Line) > limit;
  });
  fit = FitLine(points);
  if (!fit.Valid || static_cast<int>(points.size()) < kLeastLines) return result;

  result.Lines = static_cast<int>(points.size());
  double slope = fit.Slope, intercept = fit.Intercept;
  const double spread = kBandSigmas * fit.Residual / std::sqrt(fit.SpreadOfLines);
  double lowest = slope - spread, highest = slope + spread;
  FitSharp(points, nominalLine, fit, slope, intercept, lowest, highest);
  result.LineSamples = nominalLine + slope;
  result.LeastLine = nominalLine + lowest;
  result.MostLine = nominalLine + highest;
  result.FirstCentre = intercept;
  result.Ppm = slope / nominalLine * 1e6;
  result.SigmaPpm = fit.Residual / std::sqrt(fit.SpreadOfLines) / nominalLine * 1e6;
  result.Valid = std::fabs(result.Ppm) <= kMostPpm && result.SigmaPpm <= kMostSigmaPpm;
  return result;
}

}  // namespace zarvo
