#pragma once
// Windows bitmap files. The program writes one format: 8 bits per pixel with a 256-entry grey
// colour table (entry i is grey level i), rows bottom-up, each padded to 4 bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace zarvo {

// The grey index of a colour: the nearest entry of the grey table (the mean of its channels).
std::uint8_t GreyIndex(std::uint32_t colour);

// The file image of the top `height` rows of `picture` (all rows when height is above them).
std::vector<std::uint8_t> EncodeGreyBmp(const Bitmap& picture, int height);

// Writes the file image to `path`; throws PlatformError "Cannot create file <path>" when the
// file cannot be created or written. With `exclusive`, an existing file is not replaced (false).
bool WriteGreyBmp(const std::string& path, const Bitmap& picture, int height,
                  bool exclusive = false);

}  // namespace zarvo
