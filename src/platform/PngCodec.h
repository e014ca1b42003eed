#pragma once
// PNG files through libpng. The program writes one kind: 8-bit grey, one channel, no alpha. It
// reads every kind; colours are kept as they are (as the BMP reader keeps them) and transparent
// pixels are laid over white, as a desktop picture viewer shows them.
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"

namespace zarvo {

// The file image of the top `height` rows of `picture` (all rows when height is above them),
// each pixel the grey index (GreyIndex) of its colour. Throws PlatformError when libpng refuses
// the picture (none of at least one row and one column).
std::vector<std::uint8_t> EncodeGreyPng(const Bitmap& picture, int height);

// Whether the image starts with PNG's eight-byte signature.
bool IsPng(const std::uint8_t* data, std::size_t size);

// The picture held by a PNG file image. Throws PlatformError "PNG image is not valid: <why>"
// when libpng refuses it, and refuses pictures larger than a bitmap may be before allocating.
Bitmap DecodePng(const std::uint8_t* data, std::size_t size);

}  // namespace zarvo
