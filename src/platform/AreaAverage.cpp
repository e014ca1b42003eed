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

std::vector<Piece> Pieces(int width, int outWidth) {
  std::vector<Piece> pieces;
  pieces.reserve(static_cast<std::size_t>(width) + static_cast<std::size_t>(outWidth));
  for (int c = 0; c < width; ++c) {
    std::int64_t from = std::int64_t{c} * outWidth;
    const std::int64_t to = from + outWidth;
    while (from < to) {
      const std::int64_t out = from / width;
      const std::int64_t end = std::min(to, (out + 1) * width);
      pieces.push_back({c, static_cast<int>(out), static_cast<std::uint64_t>(end - from)});
      from = end;
    }
  }
  return pieces;
}

}  // namespace

void AreaAverage(const Bitmap& picture, int outWidth, int outHeight, int firstRow, int endRow,
                 std::uint8_t* out, std::ptrdiff_t stride) {
  const int width = picture.Width(), height = picture.Height();
  if (width <= 0 || height <= 0 || outWidth <= 0 || outHeight <= 0) return;
  firstRow = std::max(firstRow, 0);
  endRow = std::min(endRow, outHeight);
  const std::vector<Piece> pieces = Pieces(width, outWidth);
  // Each output pixel gathers width x height units of area, three channels each.
  const std::uint64_t area =
      3 * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  std::vector<std::uint64_t> sums(static_cast<std::size_t>(outWidth));
  std::vector<std::uint64_t> rowSums(static_cast<std::size_t>(outWidth));
  for (int j = firstRow; j < endRow; ++j) {
    std::fill(sums.begin(), sums.end(), 0);
    // Rows in units of 1/outHeight of a picture row.
    const std::int64_t top = std::int64_t{j} * height, bottom = top + height;
    for (std::int64_t r = top / outHeight; r < height && r * outHeight < bottom; ++r) {
      const auto weight = static_cast<std::uint64_t>(std::min(bottom, (r + 1) * outHeight) -
                                                     std::max(top, r * outHeight));
      const std::uint32_t* row = picture.Row(static_cast<int>(r));
      std::fill(rowSums.begin(), rowSums.end(), 0);
      for (const Piece& piece : pieces) {
        const std::uint32_t p = row[piece.Column];
        rowSums[static_cast<std::size_t>(piece.Out)] +=
            (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) * piece.Units;
      }
      for (int i = 0; i < outWidth; ++i)
        sums[static_cast<std::size_t>(i)] += rowSums[static_cast<std::size_t>(i)] * weight;
    }
    std::uint8_t* dest = out + j * stride;
    for (int i = 0; i < outWidth; ++i)
      dest[i] = static_cast<std::uint8_t>((sums[static_cast<std::size_t>(i)] + area / 2) / area);
  }
}

}  // namespace zarvo
