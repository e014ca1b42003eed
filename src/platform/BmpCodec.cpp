#include "platform/BmpCodec.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/PlatformError.h"

namespace zarvo {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::uint32_t kFileHeader = 14;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kPalette = 256 * 4;

}  // namespace

std::uint8_t GreyIndex(std::uint32_t colour) {
  const std::uint32_t sum = ((colour >> 16) & 0xFF) + ((colour >> 8) & 0xFF) + (colour & 0xFF);
  return static_cast<std::uint8_t>((sum + 1) / 3);
}

std::vector<std::uint8_t> EncodeGreyBmp(const Bitmap& picture, int height) {
  const int rows = std::clamp(height, 0, picture.Height());
  const std::uint32_t width = static_cast<std::uint32_t>(picture.Width());
  const std::uint32_t stride = (width + 3) & ~3u;
  const std::uint32_t offset = kFileHeader + kInfoHeader + kPalette;
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(rows);
  std::vector<std::uint8_t> out(offset + imageSize, 0);

  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, offset + imageSize);
  Put32(out, 10, offset);
  Put32(out, 14, kInfoHeader);
  Put32(out, 18, width);
  Put32(out, 22, static_cast<std::uint32_t>(rows));  // positive: bottom-up
  Put16(out, 26, 1);                                 // planes
  Put16(out, 28, 8);                                 // bits per pixel
  Put32(out, 30, 0);                                 // no compression
  Put32(out, 34, imageSize);
  Put32(out, 38, 3780);  // 96 dpi
  Put32(out, 42, 3780);
  Put32(out, 46, 256);  // colours used
  Put32(out, 50, 0);    // all important
  for (std::uint32_t i = 0; i < 256; ++i) {
    const std::size_t at = kFileHeader + kInfoHeader + 4 * i;
    out[at] = out[at + 1] = out[at + 2] = static_cast<std::uint8_t>(i);
  }
  for (int y = 0; y < rows; ++y) {
    const std::uint32_t* source = picture.Row(y);
    std::uint8_t* dest = out.data() + offset + stride * static_cast<std::uint32_t>(rows - 1 - y);
    for (std::uint32_t x = 0; x < width; ++x) dest[x] = GreyIndex(source[x]);
  }
  return out;
}

bool WriteGreyBmp(const std::string& path, const Bitmap& picture, int height, bool exclusive) {
  const std::vector<std::uint8_t> image = EncodeGreyBmp(picture, height);
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
  const int fd = open(path.c_str(), flags, 0644);
  if (fd < 0) {
    if (exclusive && errno == EEXIST) return false;
    throw PlatformError("Cannot create file " + path);
  }
  std::size_t done = 0;
  while (done < image.size()) {
    const ssize_t n = write(fd, image.data() + done, image.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      unlink(path.c_str());  // no half-written picture left behind
      throw PlatformError("Cannot create file " + path);
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) {
    unlink(path.c_str());
    throw PlatformError("Cannot create file " + path);
  }
  return true;
}

}  // namespace zarvo
