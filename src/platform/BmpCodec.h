#pragma once
// Windows bitmap files. The program writes one format: 8 bits per pixel with a 256-entry grey
// colour table (entry i is grey level i), rows bottom-up, each padded to 4 bytes. It reads the
// usual ones: 1, 4, 8, 16, 24 and 32 bits, uncompressed, RLE and bit-field, bottom-up and
// top-down, with the short OS/2 header too.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace zarvo {

// The grey index of a colour: the nearest entry of the grey table (the mean of its channels).
std::uint8_t GreyIndex(std::uint32_t colour);

// The file image of the top `height` rows of `picture` (all rows when height is above them).
std::vector<std::uint8_t> EncodeGreyBmp(const Bitmap& picture, int height);

// Writes the file image to `path`; throws PlatformError "Cannot create file <path>: <reason>"
// when the file cannot be created or written. With `exclusive`, an existing file is not replaced
// (false).
bool WriteGreyBmp(const std::string& path, const Bitmap& picture, int height,
                  bool exclusive = false);

// The picture held by a file image. An image of length 0 is an empty picture (0 x 0). Throws
// PlatformError "Bitmap image is not valid" when the first two bytes are not "BM" or the headers
// describe no picture this reader can build, and "Stream read error" when the image ends before
// its headers, colour table or pixel data do. Never reads outside `data`, and refuses pictures
// too large to hold before allocating them.
Bitmap DecodeBmp(const std::uint8_t* data, std::size_t size);

// Reads and decodes the file at `path`; throws PlatformError "Cannot open file <path>" when it
// cannot be opened or read, and the errors of DecodeBmp.
Bitmap ReadBmpFile(const std::string& path);

}  // namespace zarvo
