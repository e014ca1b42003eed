#pragma once
// Area averaging: a picture reduced to fewer pixels, each the mean of the picture pixels it
// covers, so that a line thinner than a screen pixel fades instead of vanishing.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "platform/Bitmap.h"

namespace zarvo {

// The whole `picture` mapped onto an 8-bit grey image of `outWidth` x `outHeight`: output pixel
// (i, j) covers picture columns i*W/outWidth to (i+1)*W/outWidth and rows j*H/outHeight to
// (j+1)*H/outHeight exactly, a picture pixel cut by an edge counting with the part covered. A
// pixel's grey is the mean of its channels; the result is rounded to the nearest level. Writes
// only output rows `firstRow` to `endRow` - 1, row j at `out` + j * `stride`, and of them only
// columns `firstColumn` to `endColumn` - 1, each exactly as a whole run would write it.
void AreaAverage(const Bitmap& picture, int outWidth, int outHeight, int firstRow, int endRow,
                 std::uint8_t* out, std::ptrdiff_t stride, int firstColumn = 0,
                 int endColumn = std::numeric_limits<int>::max());

}  // namespace zarvo
