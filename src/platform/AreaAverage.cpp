#include "platform/AreaAverage.h"

#include <algorithm>
#include <vector>

namespace zarvo {
namespace {

// The part of picture column `Column` that falls into output column `Out`, in units of
// 1/outWidth of a picture pixel (a picture pixel is outWidth units wide, an output pixel W).
struct Piece {
  int Column;
  int Out;
  std::uint64_t Units;
};

// The pieces that fall into output columns `firstOut` to `endOut` - 1, from the picture columns
// that reach into them only.
std::vector<Piece> Pieces(int width, int outWidth, int firstOut, int endOut) {
  std::vector<Piece> pieces;
  const auto firstColumn = static_cast<int>(std::int64_t{firstOut} * width / outWidth);
  for (int c = firstColumn; c < width && std::int64_t{c} * outWidth < std::int64_t{endOut} * width;
       ++c) {
    std::int64_t from = std::int64_t{c} * outWidth;
    const std::int64_t to = from + outWidth;
    while (from < to) {
      const std::int64_t out = from / width;
      const std::int64_t end = std::min(to, (out + 1) * width);
      if (out >= firstOut && out < endOut)
        pieces.push_back({c, static_cast<int>(out), static_cast<std::uint64_t>(end - from)});
      from = end;
    }
  }
  return pieces;
}

}  // namespace

void AreaAverage(const Bitmap& picture, int outWidth, int outHeight, int firstRow, int endRow,
                 std::uint8_t* out, std::ptrdiff_t stride, int firstColumn, int endColumn) {
  const int width = picture.Width(), height = picture.Height();
  if (width <= 0 || height <= 0 || outWidth <= 0 || outHeight <= 0) return;
  firstRow = std::max(firstRow, 0);
  endRow = std::min(endRow, outHeight);
  firstColumn = std::max(firstColumn, 0);
  endColumn = std::min(endColumn, outWidth);
  if (firstColumn >= endColumn) return;
  const std::vector<Piece> pieces = Pieces(width, outWidth, firstColumn, endColumn);
  const auto begin = static_cast<std::size_t>(firstColumn),
             stop = static_cast<std::size_t>(endColumn);
  // Each output pixel gathers width x height units of area, three channels each.
  const std::uint64_t area =
      3 * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  std::vector<std::uint64_t> sums(static_cast<std::size_t>(outWidth));
  std::vector<std::uint64_t> rowSums(static_cast<std::size_t>(outWidth));
  for (int j = firstRow; j < endRow; ++j) {
    std::fill(sums.begin() + firstColumn, sums.begin() + endColumn, 0);
    // Rows in units of 1/outHeight of a picture row.
    const std::int64_t top = std::int64_t{j} * height, bottom = top + height;
    for (std::int64_t r = top / outHeight; r < height && r * outHeight < bottom; ++r) {
      const auto weight = static_cast<std::uint64_t>(std::min(bottom, (r + 1) * outHeight) -
                                                     std::max(top, r * outHeight));
      const std::uint32_t* row = picture.Row(static_cast<int>(r));
      std::fill(rowSums.begin() + firstColumn, rowSums.begin() + endColumn, 0);
      for (const Piece& piece : pieces) {
        const std::uint32_t p = row[piece.Column];
        rowSums[static_cast<std::size_t>(piece.Out)] +=
            (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) * piece.Units;
      }
      for (std::size_t i = begin; i < stop; ++i) sums[i] += rowSums[i] * weight;
    }
    std::uint8_t* dest = out + j * stride;
    for (std::size_t i = begin; i < stop; ++i)
      dest[i] = static_cast<std::uint8_t>((sums[static_cast<std::size_t>(i)] + area / 2) / area);
  }
}

}  // namespace zarvo
