#include "platform/Bitmap.h"

#include <algorithm>

namespace zarvo {

Bitmap::Bitmap(int width, int height, std::uint32_t colour)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), colour) {}

void Bitmap::FillRect(int left, int top, int right, int bottom, std::uint32_t colour) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  for (int y = top; y < bottom; ++y)
    std::fill(Row(y) + left, Row(y) + std::max(left, right), colour);
}

}  // namespace zarvo
