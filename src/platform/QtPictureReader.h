#pragma once
// The viewer's picture files: BMP and PNG through the core's readers, JPEG, TIFF, GIF and
// whatever else Qt's image plug-ins read through Qt.
#include <string>

#include "platform/Bitmap.h"

namespace zarvo {

// The picture in the file at `path`, its colours kept as 0x00RRGGBB and transparent pixels laid
// over white. Throws PlatformError: "Cannot open file <path>" when it cannot be read, the core
// readers' errors, "<format> image is not valid: <why>" for a damaged file of another format,
// and "Bitmap image is not valid" for a file of no format known here.
Bitmap ReadPictureFile(const std::string& path);

}  // namespace zarvo
