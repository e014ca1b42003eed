#include "viewer/PictureOps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zarvo {
namespace {

// Turns `picture` a quarter; `place` gives the destination of source (c, r).
template <typename Place>
void Rotate(Bitmap& picture, const RotationProgress& progress, std::uint32_t blank, Place place) {
  const Bitmap source = std::move(picture);
  const int w = source.Width(), h = source.Height();
  picture = Bitmap(h, w, blank);
  for (int r = 0; r < h; ++r) {
    const std::uint32_t* row = source.Row(r);
    for (int c = 0; c < w; ++c) {
      int x = 0, y = 0;
      place(c, r, w, h, x, y);
      picture.SetPixel(x, y, row[c]);
    }
    if (r % 16 == 0 && progress) progress(r);
  }
}

}  // namespace

void RotateLeft(Bitmap& picture, const RotationProgress& progress, std::uint32_t blank) {
  Rotate(picture, progress, blank, [](int c, int r, int w, int, int& x, int& y) {
    x = r;
    y = w - 1 - c;
  });
}

void RotateRight(Bitmap& picture, const RotationProgress& progress, std::uint32_t blank) {
  Rotate(picture, progress, blank, [](int c, int r, int, int h, int& x, int& y) {
    x = h - 1 - r;
    y = c;
  });
}

int ShiftLeftBorder(Bitmap& picture, int column, int rows) {
  const int w = picture.Width();
  if (w <= 0) return 0;
  const int shift = std::clamp(column, 0, w - 1);
  const int shifted = std::clamp(rows, 0, picture.Height());
  for (int y = 0; y < shifted; ++y) picture.RollRow(y, shift);
  return shift;
}

bool ShearRows(Bitmap& picture, int x1, int y1, int x2, int y2) {
  if (y1 == y2) return false;
  // Halves round away from zero, the same way above and below the first point.
  for (int y = 0; y < picture.Height(); ++y)
    picture.RollRow(y,
                    std::lround(static_cast<double>(std::int64_t{x2 - x1} * (y - y1)) / (y2 - y1)));
  return true;
}

void DetailOrigin(int x, int y, int viewWidth, int viewHeight, int pictureWidth, int pictureHeight,
                  int& left, int& top) {
  left = std::min(std::max(0, x - viewWidth / 2), pictureWidth - viewWidth);
  top = std::min(std::max(0, y - viewHeight / 2), pictureHeight - viewHeight);
}

void CropLowerBorder(Bitmap& picture, int row, std::uint32_t paper) {
  const int rows = std::max(row, 0);
  Bitmap cropped(picture.Width(), rows, paper);
  const int kept = std::min(rows, picture.Height());
  if (kept > 0)
    std::memcpy(cropped.Data(), picture.Data(),
                static_cast<std::size_t>(kept) * static_cast<std::size_t>(picture.Width()) * 4);
  picture = std::move(cropped);
}

ViewerLayout LayOutViewer(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight,
                          std::int32_t top, double zoom, std::int32_t left) {
  ViewerLayout layout;
  if (pictureHeight <= 0) return layout;
  layout.Paint = true;
  layout.PanelVisible = clientWidth > 250;
  layout.AreaWidth = layout.PanelVisible ? clientWidth - (kPanelWidth + 2) : clientWidth;
  const std::int32_t width =
      zoom > 0 ? std::max(1, static_cast<int>(std::lround(pictureWidth * zoom))) : layout.AreaWidth;
  layout.SidewaysBar = width > layout.AreaWidth;
  if (layout.SidewaysBar) {
    clientHeight -= kViewerBarHeight;
    layout.SidewaysMax = width - layout.AreaWidth;
    layout.Left = std::clamp(left, -layout.SidewaysMax, 0);
  }
  layout.AreaHeight = clientHeight;
  layout.Right = layout.Left + width;
  const std::int32_t height =
      static_cast<std::int32_t>(std::int64_t{pictureHeight} * width / std::max(pictureWidth, 1));
  layout.Top = top;
  layout.Bottom = top + height;
  // The whole picture fits: show it from its top again.
  if (layout.Top < 0 && clientHeight > height + 1) {
    layout.Top = 0;
    layout.Bottom = height;
  }
  layout.ScrollLargeStep = clientHeight - 1;
  layout.ScrollMax = std::max(0, height + 1 - clientHeight);
  return layout;
}

double NextZoom(double zoom, int direction) {
  constexpr int kLowest = -6, kHighest = 6;
  if (direction > 0) {
    for (int n = kLowest; n <= kHighest; ++n)
      if (std::pow(1.25, n) > zoom * 1.001) return std::pow(1.25, n);
  } else {
    for (int n = kHighest; n >= kLowest; --n)
      if (std::pow(1.25, n) < zoom / 1.001) return std::pow(1.25, n);
  }
  return zoom;
}

PrintArea PrintedArea(int pictureWidth, int pictureHeight, int pageWidth, int pageHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || pageWidth <= 0 || pageHeight <= 0) return {};
  const double sy = static_cast<double>(pageHeight) / pictureHeight;
  const double sx = static_cast<double>(pageWidth) / pictureWidth;
  const double s = sx < sy ? sx : sy;
  return {static_cast<int>(std::trunc(pictureWidth * s)),
          static_cast<int>(std::trunc(pictureHeight * s))};
}

std::string ViewCaption(const std::string& fileName) {
  const std::size_t cut = fileName.find_last_of("/\\");
  std::string caption("View ");
  caption.append(fileName, cut == std::string::npos ? 0 : cut + 1, std::string::npos);
  return caption;
}

bool StoreDialogFolder(const std::string& chosenFile, char* field, std::size_t size) {
  const std::size_t cut = chosenFile.find_last_of('/');
  // A file in the root folder keeps its slash; a bare name lies in the current folder.
  const std::string folder =
      cut == std::string::npos ? std::string(1, '.') : chosenFile.substr(0, cut == 0 ? 1 : cut);
  if (size == 0 || folder.size() + 1 > size) return false;
  std::memset(field, 0, size);
  std::memcpy(field, folder.data(), folder.size());
  return true;
}

}  // namespace zarvo
