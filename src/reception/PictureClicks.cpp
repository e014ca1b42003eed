#include "reception/PictureClicks.h"

#include <algorithm>
#include <vector>

namespace zarvo {

void MarkLeftBorder(Bitmap& picture, int saveHeight, int x, std::int32_t& currentColumn) {
  const int width = picture.Width();
  if (width <= 0) return;
  x = std::clamp(x, 0, width - 1);
  const int rows = std::clamp(saveHeight, 0, picture.Height());
  for (int y = 0; y < rows; ++y)
    std::rotate(picture.Row(y), picture.Row(y) + x, picture.Row(y) + width);
  currentColumn -= x;
}

bool ClockCorrection(int x1, int y1, int x2, int y2, int ioc, int width, float& correction) {
  if (y2 == y1 || width <= 0) return false;
  const double factor = ioc == 0 ? 200.0 : 100.0;
  correction = static_cast<float>(factor * (x1 - x2) / width / (y2 - y1));
  if (correction < 0.001f) correction = correction / 2;
  return true;
}

void DetailOrigin(int x, int y, int viewWidth, int viewHeight, int pictureWidth, int pictureHeight,
                  int& left, int& top) {
  left = std::min(std::max(0, x - viewWidth / 2), pictureWidth - viewWidth);
  top = std::min(std::max(0, y - viewHeight / 2), pictureHeight - viewHeight);
}

}  // namespace zarvo
