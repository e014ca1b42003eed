#include "decoder/PictureSlant.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace zarvo {
namespace {

// Fewer lines than this hold too little to judge a slant by.
constexpr int kLeastLines = 64;
// The lines are summed in blocks, each a column profile of the picture's horizontal steps; a
// block is short enough that the slant left within it smears an edge by under a column.
constexpr int kMostBlocks = 32;
constexpr int kLeastBlockLines = 4;
// Shears tried across the band; the best is refined between its neighbours.
constexpr int kTrials = 65;
// The profiles are compared by their lowest frequencies, where a shift by a fraction of a column
// is exact (a phase turn) and favours no whole column; a sharp edge's step reaches them all,
// noise is weighed down towards the highest.
constexpr int kFrequencies = 256;
constexpr double kSmoothing = 1.5;  // columns: the Gaussian the frequencies are weighed by
// The blocks stacked at the best shear must hold this many times the energy they hold apart:
// blocks of noise alone stack to about once it, a picture's upright edges to many times.
constexpr double kLeastCoherence = 4;
// And stack this much better than at the worst shear in the band: else the band is too narrow
// for the picture's edges to tell its shears apart.
constexpr double kLeastContrast = 0.02;

// Shears tried, from half to one and a half times the one wanted, for whole-column shifts whose
// fitted slope comes nearest it.
constexpr int kWholeTrials = 256;

int Grey(std::uint32_t pixel) {
  return static_cast<int>((pixel >> 8) & 0xFF);
}

}  // namespace

double PictureSlant(const Bitmap& picture, int rows, int rowsPerLine, double low, double high) {
  const int width = picture.Width();
  const int perLine = std::max(1, rowsPerLine);
  const int lines = std::clamp(rows, 0, picture.Height()) / perLine;
  if (lines < kLeastLines || width < 8 || !(high > low)) return 0;
  const int blockLines = std::max(kLeastBlockLines, (lines + kMostBlocks - 1) / kMostBlocks);
  const int blocks = lines / blockLines;

  const int frequencies = std::min(kFrequencies, width / 2);
  // The turn of one column at each frequency, for every whole number of columns round the line.
  std::vector<double> cosines(static_cast<std::size_t>(width)), sines(cosines.size());
  for (int x = 0; x < width; ++x) {
    cosines[x] = std::cos(2 * M_PI * x / width);
    sines[x] = -std::sin(2 * M_PI * x / width);
  }
  // Each block's spectrum of steps.
  std::vector<std::complex<double>> spectra(static_cast<std::size_t>(blocks) * frequencies);
  std::vector<double> steps(static_cast<std::size_t>(width));
  for (int b = 0; b < blocks; ++b) {
    std::fill(steps.begin(), steps.end(), 0.0);
    for (int k = b * blockLines; k < (b + 1) * blockLines; ++k) {
      const std::uint32_t* row = picture.Row(k * perLine);
      for (int x = 0; x < width; ++x) steps[x] += Grey(row[(x + 1) % width]) - Grey(row[x]);
    }
    for (int f = 1; f <= frequencies; ++f) {
      double re = 0, im = 0;
      for (int x = 0, at = 0; x < width; ++x) {
        re += steps[x] * cosines[at];
        im += steps[x] * sines[at];
        if ((at += f) >= width) at -= width;
      }
      const double weight = std::exp(-0.5 * std::pow(2 * M_PI * f * kSmoothing / width, 2));
      spectra[static_cast<std::size_t>(b) * frequencies + f - 1] = weight * std::complex(re, im);
    }
  }

  // How sharply the blocks' edges stack when block b is shifted right by its middle line times
  // the shear.
  std::vector<std::complex<double>> stack(static_cast<std::size_t>(frequencies));
  const auto sharpness = [&](double shear) {
    std::fill(stack.begin(), stack.end(), 0.0);
    for (int b = 0; b < blocks; ++b) {
      const std::complex<double> turn =
          std::polar(1.0, -2 * M_PI * shear * ((b + 0.5) * blockLines - 0.5) / width);
      std::complex<double> phase = 1;
      const std::complex<double>* spectrum = &spectra[static_cast<std::size_t>(b) * frequencies];
      for (int f = 0; f < frequencies; ++f) {
        phase *= turn;
        stack[f] += spectrum[f] * phase;
      }
    }
    double sum = 0;
    for (const std::complex<double>& s : stack) sum += std::norm(s);
    return sum;
  };
  std::vector<double> scores(kTrials);
  const double step = (high - low) / (kTrials - 1);
  for (int t = 0; t < kTrials; ++t) scores[t] = sharpness(low + t * step);
  const auto best = std::max_element(scores.begin(), scores.end()) - scores.begin();
  const double top = scores[best];
  const double bottom = *std::min_element(scores.begin(), scores.end());
  double apart = 0;
  for (const std::complex<double>& z : spectra) apart += std::norm(z);
  if (best == 0 || best == kTrials - 1 || !(apart > 0) || top < kLeastCoherence * apart ||
      top - bottom < kLeastContrast * top)
    return 0;
  // The peak of the parabola through the best and its neighbours.
  const double left = scores[best - 1], right = scores[best + 1];
  const double curve = left - 2 * top + right;
  const double offset = curve < 0 ? std::clamp(0.5 * (left - right) / curve, -0.5, 0.5) : 0;
  return low + (static_cast<double>(best) + offset) * step;
}

double WholeColumnShear(double shear, int lines) {
  if (lines < 2 || shear == 0) return 0;
  // The slope of the line fitted through the lines' whole-column shifts at a shear.
  const double middle = (lines - 1) / 2.0;
  const auto fitted = [&](double trial) {
    double moment = 0, spread = 0;
    for (int k = 0; k < lines; ++k) {
      moment += (k - middle) * static_cast<double>(std::lround(trial * k));
      spread += (k - middle) * (k - middle);
    }
    return moment / spread;
  };
  double best = 0, bestMiss = std::fabs(shear);
  for (int t = 0; t <= kWholeTrials; ++t) {
    const double trial = shear * (0.5 + static_cast<double>(t) / kWholeTrials);
    const double miss = std::fabs(fitted(trial) - shear);
    if (miss < bestMiss) best = trial, bestMiss = miss;
  }
  return best;
}

void ShearLines(Bitmap& picture, int rows, int rowsPerLine, double columnsPerLine) {
  const int perLine = std::max(1, rowsPerLine);
  const int end = std::clamp(rows, 0, picture.Height());
  for (int y = 0; y < end; ++y) picture.RollRow(y, -std::lround(columnsPerLine * (y / perLine)));
}

}  // namespace zarvo
