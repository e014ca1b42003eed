#include "platform/Bitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace zarvo {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

void* AllocatePixels(std::size_t bytes) {
  void* pixels = nullptr;
  if (bytes < kHugePage) {
    pixels = std::malloc(bytes == 0 ? 1 : bytes);
  } else if (posix_memalign(&pixels, kHugePage, bytes) != 0) {
    pixels = nullptr;
  } else {
    // Only whole huge pages: the tail stays in small ones, so that no memory is taken beyond
    // what the picture holds. Refused (no transparent huge pages), it changes nothing.
    madvise(pixels, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
  }
  if (!pixels) throw std::bad_alloc();
  return pixels;
}

void FreePixels(void* pixels) noexcept {
  std::free(pixels);
}

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

void Bitmap::RollRow(int y, std::int64_t columns) {
  if (width_ <= 0) return;
  const auto shift = static_cast<int>((columns % width_ + width_) % width_);
  std::rotate(Row(y), Row(y) + shift, Row(y) + width_);
}

}  // namespace zarvo
