#pragma once
// What clicks on a received picture do: the left-border mark, the clock calibration from two
// corners, and where the detailed view's window onto a picture lies.
#include <cstdint>
#include <string>

#include "platform/Bitmap.h"

namespace zarvo {

// A client point in a picture stretched into (0, top, right, ...): the picture's column and row,
// in 32-bit integers truncating toward zero.
inline std::int32_t PictureColumn(int x, int right, int width) {
  return right > 0 ? static_cast<std::int32_t>(std::int64_t{width} * x / right) : 0;
}
inline std::int32_t PictureRow(int y, int top, int right, int width) {
  return right > 0 ? static_cast<std::int32_t>(std::int64_t{width} * (y - top) / right) : 0;
}

// Shifts rows 0 .. saveHeight-1 cyclically so that column x becomes the left edge, and moves the
// line being written with them. A column right of the picture is taken as its last column.
void MarkLeftBorder(Bitmap& picture, int saveHeight, int x, std::int32_t& currentColumn);

// The clock correction in percent from the first corner (x1, y1) and the second (x2, y2):
// factor x (x1 - x2) / W / (y2 - y1), factor 200 at IOC 288 else 100, halved when below 0.001.
// False when both corners lie on one row, which measures nothing.
bool ClockCorrection(int x1, int y1, int x2, int y2, int ioc, int width, float& correction);

// The top-left picture pixel that the detailed view shows for a requested centre, kept inside
// the picture; negative when the view is larger than the picture.
void DetailOrigin(int x, int y, int viewWidth, int viewHeight, int pictureWidth, int pictureHeight,
                  int& left, int& top);

}  // namespace zarvo
