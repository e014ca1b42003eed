#include "measure/FaxCompare.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace zarvo::measure {
namespace {

// Floor division: the saved rows above the first line belong to line -1, not line 0.
int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Blocks of a fixed length, which the compiler turns into vector code even at -O2.
std::uint64_t SumAbsDiff(const std::uint8_t* a, const std::uint8_t* b, int n) {
  std::uint64_t sum = 0;
  int i = 0;
  for (; i + 32 <= n; i += 32) {
    std::uint32_t block = 0;
    for (int j = 0; j < 32; ++j) block += static_cast<std::uint32_t>(std::abs(a[i + j] - b[i + j]));
    sum += block;
  }
  for (; i < n; ++i) sum += static_cast<std::uint64_t>(std::abs(a[i] - b[i]));
  return sum;
}

class Aligner {
 public:
  Aligner(const sim::GreyImage& saved, const sim::GreyImage& sent, int rowsPerLine)
      : saved_(saved), sent_(sent), rowsPerLine_(rowsPerLine) {}

  struct Cost {
    double Mean = 0;
    std::uint64_t Pixels = 0;
    int Rows = 0;
  };

  // The sent stream index shown at column 0 of saved row `row`, and whether the row shows a
  // sent line at all.
  bool RowBase(int row, int firstRow, int border, long long& base) const {
    const int line = FloorDiv(row - firstRow, rowsPerLine_);
    if (line < 0 || line >= sent_.Height) return false;
    base = static_cast<long long>(line) * sent_.Width - border;
    return true;
  }

  // The columns of a saved row whose stream index lies inside the sent picture.
  void Span(long long base, int& first, int& end) const {
    const long long total = static_cast<long long>(sent_.Height) * sent_.Width;
    first = static_cast<int>(std::clamp<long long>(-base, 0, saved_.Width));
    end = static_cast<int>(std::clamp<long long>(total - base, 0, saved_.Width));
  }

  Cost Measure(const std::vector<int>& rows, int firstRow, int border) const {
    std::uint64_t sum = 0;
    Cost cost;
    for (const int row : rows) {
      long long base = 0;
      if (!RowBase(row, firstRow, border, base)) continue;
      int first = 0, end = 0;
      Span(base, first, end);
      if (end <= first) continue;
      sum += SumAbsDiff(saved_.Pixels.data() + static_cast<std::size_t>(row) * saved_.Width + first,
                        sent_.Pixels.data() + base + first, end - first);
      cost.Pixels += static_cast<std::uint64_t>(end - first);
      ++cost.Rows;
    }
    cost.Mean = cost.Pixels > 0 ? static_cast<double>(sum) / static_cast<double>(cost.Pixels) : 1e9;
    return cost;
  }

  // The error forgiving half-pixel sampling: distance to the range of the three sent pixels
  // around each saved pixel's place.
  double TolerantError(const std::vector<int>& rows, int firstRow, int border) const {
    const long long total = static_cast<long long>(sent_.Height) * sent_.Width;
    const std::uint8_t* sent = sent_.Pixels.data();
    std::uint64_t sum = 0, pixels = 0;
    for (const int row : rows) {
      long long base = 0;
      if (!RowBase(row, firstRow, border, base)) continue;
      int first = 0, end = 0;
      Span(base, first, end);
      const std::uint8_t* saved =
          saved_.Pixels.data() + static_cast<std::size_t>(row) * saved_.Width;
      for (int x = first; x < end; ++x) {
        const long long i = base + x;
        int low = sent[i], high = sent[i];
        if (i > 0) low = std::min<int>(low, sent[i - 1]), high = std::max<int>(high, sent[i - 1]);
        if (i + 1 < total)
          low = std::min<int>(low, sent[i + 1]), high = std::max<int>(high, sent[i + 1]);
        const int v = saved[x];
        sum += static_cast<std::uint64_t>(v > high ? v - high : v < low ? low - v : 0);
        ++pixels;
      }
    }
    return pixels > 0 ? static_cast<double>(sum) / static_cast<double>(pixels) : 0;
  }

 private:
  const sim::GreyImage& saved_;
  const sim::GreyImage& sent_;
  int rowsPerLine_;
};

struct Candidate {
  int FirstRow = 0;
  int Border = 0;
  Aligner::Cost Cost;
  bool Found = false;

  // Lower error first; on a tie (a picture without vertical detail) the larger overlap, then the
  // smaller shifts.
  bool BetterThan(const Candidate& other) const {
    if (!other.Found) return true;
    const double tie = 1e-9 * std::max(1.0, other.Cost.Mean);
    if (Cost.Mean < other.Cost.Mean - tie) return true;
    if (Cost.Mean > other.Cost.Mean + tie) return false;
    if (Cost.Pixels != other.Cost.Pixels) return Cost.Pixels > other.Cost.Pixels;
    return std::abs(FirstRow) + std::abs(Border) <
           std::abs(other.FirstRow) + std::abs(other.Border);
  }
};

// The border, -width/2 .. width/2-1, at which the saved picture's column means best match the
// sent one's turned round the line: a line start far off column 0 shows there first.
int ColumnMeansMatch(const sim::GreyImage& saved, const sim::GreyImage& sent) {
  const int w = saved.Width;
  const auto means = [w](const sim::GreyImage& picture) {
    std::vector<double> sum(static_cast<std::size_t>(w), 0.0);
    for (int r = 0; r < picture.Height; ++r)
      for (int x = 0; x < w; ++x)
        sum[static_cast<std::size_t>(x)] += picture.Pixels[static_cast<std::size_t>(r) * w + x];
    for (auto& v : sum) v /= picture.Height;
    return sum;
  };
  const std::vector<double> got = means(saved), want = means(sent);
  int best = 0;
  double bestCost = 0;
  for (int border = -w / 2; border < w - w / 2; ++border) {
    double cost = 0;
    for (int x = 0; x < w; ++x)
      cost += std::abs(got[static_cast<std::size_t>(x)] -
                       want[static_cast<std::size_t>(((x - border) % w + w) % w)]);
    if (border == -w / 2 || cost < bestCost - 1e-9 ||
        (cost <= bestCost + 1e-9 && std::abs(border) < std::abs(best))) {
      best = border;
      bestCost = cost;
    }
  }
  return best;
}

}  // namespace

FaxComparison CompareFax(const sim::GreyImage& saved, const sim::GreyImage& sentLines, int ioc,
                         const CompareLimits& limits) {
  FaxComparison result;
  const int rowsPerLine = ioc == 288 ? 2 : 1;
  result.RowsSaved = saved.Height;
  result.RowsSent = sentLines.Height * rowsPerLine;
  if (saved.Width != sentLines.Width || saved.Width <= 0 || saved.Height <= 0 ||
      sentLines.Height <= 0)
    return result;
  const Aligner aligner(saved, sentLines, rowsPerLine);

  std::vector<int> allRows(static_cast<std::size_t>(saved.Height));
  for (int r = 0; r < saved.Height; ++r) allRows[static_cast<std::size_t>(r)] = r;
  // A few rows spread over the picture find the neighbourhood of the answer cheaply.
  constexpr int CoarseRows = 24;
  std::vector<int> someRows;
  for (int i = 0; i < CoarseRows && i < saved.Height; ++i)
    someRows.push_back(static_cast<int>((2LL * i + 1) * saved.Height / (2LL * CoarseRows)));
  someRows.erase(std::unique(someRows.begin(), someRows.end()), someRows.end());

  const auto search = [&](const std::vector<int>& rows, int rowLow, int rowHigh, int colLow,
                          int colHigh) {
    Candidate best;
    for (int firstRow = rowLow; firstRow <= rowHigh; ++firstRow)
      for (int border = colLow; border <= colHigh; ++border) {
        Candidate c{firstRow, border, aligner.Measure(rows, firstRow, border), true};
        if (c.Cost.Pixels > 0 && c.BetterThan(best)) best = c;
      }
    return best;
  };
  const int rowShift = std::max(0, limits.RowShift);
  const int colShift = std::max(1, limits.ColumnShift);
  constexpr int CoarseNear = 8;  // columns searched around the column means' match
  Candidate coarse = search(someRows, -rowShift, rowShift, -colShift, colShift);
  const int far = ColumnMeansMatch(saved, sentLines);
  if (std::abs(far) > colShift - CoarseNear) {
    const Candidate there =
        search(someRows, -rowShift, rowShift, far - CoarseNear, far + CoarseNear);
    if (there.Found && there.BetterThan(coarse)) coarse = there;
  }
  if (!coarse.Found) return result;
  // Every row for the row alignment, near the coarse column; then the column on every row.
  const Candidate rows = search(allRows, -rowShift, rowShift, coarse.Border - 1, coarse.Border + 1);
  const Candidate best =
      search(allRows, rows.FirstRow, rows.FirstRow, coarse.Border - 3, coarse.Border + 3);
  if (!best.Found) return result;

  const double here = best.Cost.Mean;
  const double left = aligner.Measure(allRows, best.FirstRow, best.Border - 1).Mean;
  const double right = aligner.Measure(allRows, best.FirstRow, best.Border + 1).Mean;
  const double rise = std::max(left, right) - here;
  const double fraction = rise > 0 ? std::clamp((left - right) / (2 * rise), -0.5, 0.5) : 0.0;

  result.Valid = true;
  result.FirstRow = best.FirstRow;
  result.Border = best.Border + fraction;
  result.OverlapRows = best.Cost.Rows;
  result.GreyError = best.Cost.Mean;
  result.GreyErrorNear = aligner.TolerantError(allRows, best.FirstRow, best.Border);
  return result;
}

double SlantPer1000Rows(const sim::GreyImage& saved, const sim::GreyImage& sentLines, int ioc,
                        const FaxComparison& whole) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  if (!whole.Valid) return none;
  const int perLine = ioc == 288 ? 2 : 1;
  // From the first whole sent line on the fax to the last.
  const int firstLine = whole.FirstRow >= 0 ? 0 : (-whole.FirstRow + perLine - 1) / perLine;
  const int endLine = std::min(sentLines.Height, (saved.Height - whole.FirstRow) / perLine);
  const int blockLines = (endLine - firstLine) / 8;
  if (blockLines < 2) return none;
  const auto border = [&](int line) {
    const auto rows = [](const sim::GreyImage& image, int row, int count) {
      const auto at = image.Pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.Width;
      return sim::GreyImage{
          image.Width, count, {at, at + static_cast<std::ptrdiff_t>(count) * image.Width}};
    };
    return CompareFax(rows(saved, whole.FirstRow + line * perLine, blockLines * perLine),
                      rows(sentLines, line, blockLines), ioc, {2, 32});
  };
  const int lastBlock = endLine - blockLines;
  const FaxComparison top = border(firstLine), bottom = border(lastBlock);
  if (!top.Valid || !bottom.Valid) return none;
  // Borders wrap round the line: the nearer way round is the drift.
  double drift = bottom.Border - top.Border;
  drift -= saved.Width * std::round(drift / saved.Width);
  return drift * 1000.0 / ((lastBlock - firstLine) * perLine);
}

}  // namespace zarvo::measure
