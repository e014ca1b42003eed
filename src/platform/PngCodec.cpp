#include "platform/PngCodec.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/BmpCodec.h"
#include "platform/PlatformError.h"

namespace zarvo {
namespace {

// The simplified API keeps its state in the image; this frees it on every way out.
struct PngImage {
  PngImage() {
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
  }
  ~PngImage() { png_image_free(&image); }
  std::string Message() const { return image.message; }
  png_image image;
};

}  // namespace

std::vector<std::uint8_t> EncodeGreyPng(const Bitmap& picture, int height) {
  const int rows = std::clamp(height, 0, picture.Height());
  const int width = picture.Width();
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows));
  for (int y = 0; y < rows; ++y) {
    const std::uint32_t* source = picture.Row(y);
    std::uint8_t* dest =
        grey.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (int x = 0; x < width; ++x) dest[x] = GreyIndex(source[x]);
  }
  PngImage png;
  png.image.width = static_cast<png_uint_32>(width);
  png.image.height = static_cast<png_uint_32>(rows);
  png.image.format = PNG_FORMAT_GRAY;
  png_alloc_size_t size = 0;
  // The first call measures, the second writes.
  if (!png_image_write_to_memory(&png.image, nullptr, &size, 0, grey.data(), width, nullptr))
    throw PlatformError("Cannot encode PNG image: " + png.Message());
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&png.image, out.data(), &size, 0, grey.data(), width, nullptr))
    throw PlatformError("Cannot encode PNG image: " + png.Message());
  out.resize(size);
  return out;
}

bool IsPng(const std::uint8_t* data, std::size_t size) {
  return size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

Bitmap DecodePng(const std::uint8_t* data, std::size_t size) {
  PngImage png;
  if (!png_image_begin_read_from_memory(&png.image, data, size))
    throw PlatformError("PNG image is not valid: " + png.Message());
  const std::int64_t width = png.image.width;
  const std::int64_t height = png.image.height;
  if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
    throw PlatformError("PNG image is not valid: the picture is too large");
  png.image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width * height * 3));
  const png_color white = {255, 255, 255};  // what transparent pixels are laid over
  if (!png_image_finish_read(&png.image, &white, rgb.data(), 0, nullptr))
    throw PlatformError("PNG image is not valid: " + png.Message());
  Bitmap out(static_cast<int>(width), static_cast<int>(height));
  const std::uint8_t* s = rgb.data();
  std::uint32_t* d = out.Data();
  for (std::int64_t i = 0; i < width * height; ++i, s += 3)
    d[i] = static_cast<std::uint32_t>(s[0]) << 16 | static_cast<std::uint32_t>(s[1]) << 8 | s[2];
  return out;
}

}  // namespace zarvo
