// zarvo-bench-slant: how straight the saved fax comes out when the interface's clock is off and
// nobody calibrated it. The simulator sends the test chart with a clock error at every drum
// speed, both IOC values and two interface rates, clean and with frequency noise; the slant of
// the saved fax is its left edge's drift in columns per 1000 rows, received as the line length
// measured from the phasing ("straight") and with the nominal line length ("off").
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "measure/FaxCompare.h"
#include "measure/ReceptionScore.h"
#include "measure/TableText.h"
#include "sim/Broadcast.h"
#include "sim/Picture.h"
#include "support/TempDir.h"

namespace {

using namespace zarvo;

struct Interface {
  int Rate, CalLow, CalHigh, Type;
};
constexpr Interface kInterfaces[] = {{7200, 0, 255, 1}, {4800, 36, 236, 4}};
constexpr int kLpm[] = {60, 90, 120, 180, 240};
constexpr int kIoc[] = {576, 288};
constexpr int kNoiseHz[] = {0, 150};
constexpr double kPpm[] = {-100, -30, 0, 30, 100};
constexpr int kChartRows = 600;
// What the receiver must reach, in columns per 1000 rows.
constexpr double kCleanTarget = 1, kNoisyTarget = 2;

// The left edge of the chart's black bar (sent at columns 100..139 from line 40 on) found in
// every row, to a fraction of a column, and a straight line fitted through it: its slope in
// columns per 1000 rows. The bar is the one place where 40 black columns lie between white ones;
// a row's edge is taken the way round the line nearest the row before, as the drum wraps.
double BarSlant(const sim::GreyImage& fax, const measure::FaxComparison& whole, int ioc,
                int sentLines) {
  const int perLine = ioc == 288 ? 2 : 1;
  const int width = fax.Width;
  constexpr int kBar = sim::ChartBarEnd - sim::ChartBarFirst, kSide = 8, kHalf = 4;
  std::vector<double> sum(static_cast<std::size_t>(2 * width + 1));
  std::vector<std::pair<double, double>> edges;  // row, column
  const int end = std::min(fax.Height, whole.FirstRow + sentLines * perLine);
  for (int row = std::max(0, whole.FirstRow + (sim::ChartTopRows + 1) * perLine); row < end;
       ++row) {
    const auto at = [&](int column) {
      return static_cast<double>(fax.At(((column % width) + width) % width, row));
    };
    for (int c = 0; c < 2 * width; ++c) sum[c + 1] = sum[c] + at(c);
    const auto between = [&](int from, int to) { return sum[to] - sum[from]; };
    int best = 0;
    double bestScore = -1e18;
    for (int c = kSide; c < width + kSide; ++c) {
      const double score = (between(c - kSide, c) + between(c + kBar, c + kBar + kSide)) / 2 -
                           between(c, c + kBar) * kSide / kBar;
      if (score > bestScore) bestScore = score, best = c;
    }
    // A row the noise has smudged past recognition is left out.
    if (bestScore < kSide * 255 / 2) continue;
    double light = 0;
    for (int c = best - kHalf; c < best + kHalf; ++c) light += std::clamp(at(c) / 255, 0.0, 1.0);
    double column = best - kHalf + light;
    // The way round the line nearest the last rows' edges: a lone misplaced row does not carry
    // the rows after it round the drum.
    if (!edges.empty()) {
      std::vector<double> recent;
      for (std::size_t k = edges.size() - std::min<std::size_t>(edges.size(), 5); k < edges.size();
           ++k)
        recent.push_back(edges[k].second);
      std::nth_element(recent.begin(), recent.begin() + recent.size() / 2, recent.end());
      column += width * std::round((recent[recent.size() / 2] - column) / width);
    }
    edges.emplace_back(row, column);
  }
  // A first line through the medians of the top and bottom thirds, which a few misplaced rows
  // cannot pull; then fits without the rows more than a few columns off the line before.
  if (edges.size() < 30) return std::nan("");
  const auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  const std::size_t third = edges.size() / 3;
  std::vector<double> topRows, topColumns, bottomRows, bottomColumns;
  for (std::size_t k = 0; k < third; ++k) {
    topRows.push_back(edges[k].first), topColumns.push_back(edges[k].second);
    bottomRows.push_back(edges[edges.size() - 1 - k].first);
    bottomColumns.push_back(edges[edges.size() - 1 - k].second);
  }
  double slope =
      (median(bottomColumns) - median(topColumns)) / (median(bottomRows) - median(topRows));
  std::vector<double> offsets;
  for (const auto& [row, column] : edges) offsets.push_back(column - slope * row);
  double intercept = median(offsets);
  for (int pass = 0; pass < 2; ++pass) {
    double n = 0, sr = 0, sc = 0, srr = 0, src = 0;
    for (const auto& [row, column] : edges)
      if (std::fabs(column - intercept - slope * row) <= 3)
        n += 1, sr += row, sc += column, srr += row * row, src += row * column;
    const double spread = n * srr - sr * sr;
    if (n < 10 || spread <= 0) return std::nan("");
    slope = (n * src - sr * sc) / spread;
    intercept = (sc - slope * sr) / n;
  }
  return slope * 1000;
}

// The slant of the one fax the broadcast gave; NaN when there was none to judge.
double Slant(const std::vector<std::uint8_t>& stream, const Interface& i, int ioc,
             const sim::GreyImage& sentLines, bool straighten, const std::string& folder) {
  decode::DecodeOptions options;
  options.InterfaceType = i.Type;
  options.HaveCal = true;
  options.CalLow = i.CalLow;
  options.CalHigh = i.CalHigh;
  options.Start = {2026, 12, 8, 10, 0, 0};
  options.OutDir = folder;
  options.Straighten = straighten;
  const measure::Reception reception = measure::Receive(stream, options);
  if (reception.Faxes.empty()) return std::nan("");
  const auto& fax = std::max_element(reception.Faxes.begin(), reception.Faxes.end(),
                                     [](const auto& a, const auto& b) {
                                       return a.Picture.Height < b.Picture.Height;
                                     })
                        ->Picture;
  const measure::FaxComparison whole = measure::CompareFax(fax, sentLines, ioc);
  return whole.Valid ? BarSlant(fax, whole, ioc, sentLines.Height) : std::nan("");
}

std::string Cell(double slant) {
  return std::isnan(slant) ? "-" : measure::Fixed(slant);
}

}  // namespace

int main() {
  const test::TempDir folder;
  const sim::GreyImage chart = sim::TestChart(kChartRows);
  constexpr int widths[] = {24, 8, 8, 8, 8, 8, 3, 8, 8, 8, 8, 0};
  std::printf(
      "Slant of the saved fax, columns per 1000 rows, chart of %d lines, 30 s phasing,\n"
      "no clock calibration; straight = line length measured from the phasing, off = "
      "nominal\n",
      kChartRows);
  measure::PrintColumns({"", "straight, clock error in ppm", "", "", "", "", "", "off"}, widths);
  std::vector<std::string> head = {"rate, noise, LPM, IOC"};
  for (double ppm : kPpm) head.push_back(measure::Fixed(ppm));
  head.push_back("");
  for (double ppm : kPpm) head.push_back(measure::Fixed(ppm));
  measure::PrintColumns(head, widths);

  double worst[2] = {0, 0};
  int missing = 0, over = 0, cases = 0;
  for (const Interface& i : kInterfaces)
    for (int noise : kNoiseHz)
      for (int lpm : kLpm)
        for (int ioc : kIoc) {
          const sim::GreyImage sentLines = measure::SentLines(chart, ioc);
          std::vector<std::string> straight, off;
          for (double ppm : kPpm) {
            sim::BroadcastOptions sent;
            sent.DataRate = i.Rate;
            sent.CalLow = i.CalLow;
            sent.CalHigh = i.CalHigh;
            sent.Lpm = lpm;
            sent.Ioc = ioc;
            sent.LeadSeconds = 2;
            sent.NoiseHz = noise;
            sent.ClockErrorPpm = ppm;
            sent.Seed = static_cast<unsigned>(lpm + ioc + static_cast<int>(ppm));
            const std::vector<std::uint8_t> stream = sim::MakeBroadcast(chart, sent);
            const double slant = Slant(stream, i, ioc, sentLines, true, folder.Path());
            ++cases;
            if (std::isnan(slant)) {
              ++missing;
            } else {
              worst[noise > 0] = std::max(worst[noise > 0], std::fabs(slant));
              over += std::fabs(slant) > (noise > 0 ? kNoisyTarget : kCleanTarget);
            }
            straight.push_back(Cell(slant));
            off.push_back(Cell(Slant(stream, i, ioc, sentLines, false, folder.Path())));
          }
          char name[64];
          std::snprintf(name, sizeof name, "%d/s %3d Hz %3d LPM %d", i.Rate, noise, lpm, ioc);
          std::vector<std::string> cells = {name};
          cells.insert(cells.end(), straight.begin(), straight.end());
          cells.push_back("");
          cells.insert(cells.end(), off.begin(), off.end());
          measure::PrintColumns(cells, widths);
          std::fflush(stdout);
        }
  std::printf(
      "worst straight slant: clean %.2f (target <= %.0f), with noise %.2f (target <= %.0f)"
      "; cases over their target: %d of %d; without a fax to judge: %d\n",
      worst[0], kCleanTarget, worst[1], kNoisyTarget, over, cases, missing);
  return 0;
}
