#pragma once
// Pictures saved by the user, in the format their name or the save dialog's filter asks for, and
// the picture files the core reads itself (BMP and PNG).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace zarvo {

enum class PictureFormat { Bmp, Png };

// The name's extension decides (.bmp or .png, in any case), so that a file never holds another
// format than its name says; a name with any other extension takes the dialog filter's format.
PictureFormat SaveFormat(const std::string& path, PictureFormat filter);

// Writes the top `height` rows as 8-bit grey in `format`. The bytes go to a temporary file in the
// same folder, renamed to `path` once whole: a failed write leaves nothing under either name, and
// a file that was at `path` stays as it was. Throws PlatformError "Cannot create file <path>:
// <reason>".
void WriteGreyPicture(const std::string& path, const Bitmap& picture, int height,
                      PictureFormat format);

// The picture of a BMP or PNG file image, told apart by their first bytes (an image of length 0
// is an empty picture, as for BMP); nothing for any other image. Throws the readers' errors.
std::optional<Bitmap> DecodeOwnFormats(const std::vector<std::uint8_t>& image);

// The whole file at `path`; throws PlatformError "Cannot open file <path>" when it cannot be read,
// and "Bitmap image is not valid" when it is larger than any picture file that may be read.
std::vector<std::uint8_t> ReadPictureBytes(const std::string& path);

}  // namespace zarvo
