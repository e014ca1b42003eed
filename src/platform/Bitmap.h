#pragma once
// A picture in memory: 32-bit 0x00RRGGBB pixels, row by row, drawable by Qt without a copy.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarvo {

// Storage of a huge page (2 MB) and more is asked for in huge pages where the kernel gives them: a
// full-size fax is 16 MB, and touching it page by page costs some 4000 page faults.
void* AllocatePixels(std::size_t bytes);
void FreePixels(void* pixels) noexcept;

template <class T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <class U>
  PixelAllocator(const PixelAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocatePixels(n * sizeof(T))); }
  void deallocate(T* p, std::size_t) noexcept { FreePixels(p); }
  template <class U>
  bool operator==(const PixelAllocator<U>&) const {
    return true;
  }
};

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height, std::uint32_t colour = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }

  std::uint32_t Pixel(int x, int y) const { return pixels_[Index(x, y)]; }
  void SetPixel(int x, int y, std::uint32_t colour) { pixels_[Index(x, y)] = colour; }
  // Fills the rectangle from (left, top) to (right, bottom), right and bottom excluded, cut to
  // the picture.
  void FillRect(int left, int top, int right, int bottom, std::uint32_t colour);
  // Rolls row y left by `columns`, round the line (right when negative).
  void RollRow(int y, std::int64_t columns);

  std::uint32_t* Row(int y) { return pixels_.data() + Index(0, y); }
  const std::uint32_t* Row(int y) const { return pixels_.data() + Index(0, y); }
  std::uint32_t* Data() { return pixels_.data(); }
  const std::uint32_t* Data() const { return pixels_.data(); }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t, PixelAllocator<std::uint32_t>> pixels_;
};

// The largest picture the readers accept: one side, and all pixels (256 MiB of 32-bit pixels).
inline constexpr std::int64_t kMaxPictureSide = 32768;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{64} * 1024 * 1024;

inline constexpr std::uint32_t GreyColour(int g) {
  return static_cast<std::uint32_t>(g) * 0x010101u;
}

}  // namespace zarvo
