// The PNG reader on arbitrary bytes: a damaged file is refused with a PlatformError or gives a
// picture of exactly its declared size, never a read or write outside the buffers.
#include <cstdint>

#include "platform/PlatformError.h"
#include "platform/PngCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const zarvo::Bitmap picture = zarvo::DecodePng(data, size);
    if (picture.Width() <= 0 || picture.Height() <= 0) __builtin_trap();
    volatile std::uint32_t last = picture.Pixel(picture.Width() - 1, picture.Height() - 1);
    (void)last;
  } catch (const zarvo::PlatformError&) {
  }
  return 0;
}
