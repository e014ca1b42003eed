#pragma once
// The picture operations and geometry of the picture windows: where a picture is stretched and
// which pixel a click hits, the detailed view's part of it, quarter turns, the left-border shift,
// the straightening of a slanted picture, the lower-border crop, the layout of the viewer window,
// the printed rectangle, and the folder a file dialog leaves behind. All of it without a screen.
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "platform/Bitmap.h"

namespace zarvo {

// The tool panel on the right of a picture window, in pixels.
inline constexpr int kPanelWidth = 85;

// Where a window stretches its picture, in client coordinates.
struct DisplayRectangle {
  std::int32_t Left = 0;
  std::int32_t Top = 0;  // the scroll offset, 0 or negative
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// A client point in a picture stretched into (0, top, right, ...): the picture's column and row,
// in 32-bit integers truncating toward zero.
inline std::int32_t PictureColumn(int x, int right, int width) {
  return right > 0 ? static_cast<std::int32_t>(std::int64_t{width} * x / right) : 0;
}
inline std::int32_t PictureRow(int y, int top, int right, int width) {
  return right > 0 ? static_cast<std::int32_t>(std::int64_t{width} * (y - top) / right) : 0;
}

// The top-left picture pixel that the detailed view shows for a requested centre, kept inside
// the picture; negative when the view is larger than the picture.
void DetailOrigin(int x, int y, int viewWidth, int viewHeight, int pictureWidth, int pictureHeight,
                  int& left, int& top);

// Called after each source row whose number is a multiple of 16, so the caller can redraw the
// picture as it is being turned.
using RotationProgress = std::function<void(int sourceRow)>;

// Quarter turns, pixel values copied unchanged. Left: source (c, r) goes to (r, W-1-c); right:
// source (c, r) goes to (H-1-r, c). The not yet written part shows `blank`.
void RotateLeft(Bitmap& picture, const RotationProgress& progress = {},
                std::uint32_t blank = 0xFFFFFF);
void RotateRight(Bitmap& picture, const RotationProgress& progress = {},
                 std::uint32_t blank = 0xFFFFFF);

// Cyclic shift of the top `rows` rows (every row by default) so that column `column` becomes the
// left edge. A column right of the picture is taken as its last column, a negative one as column
// 0. Returns the columns shifted by, so that a line being written can move with its row.
int ShiftLeftBorder(Bitmap& picture, int column, int rows = std::numeric_limits<int>::max());

// Straightens a slanted picture, whose every line came a little longer or shorter than the
// drum's: row r moves cyclically left by round((x2 - x1) * (r - y1) / (y2 - y1)) columns (right
// when negative), so that the edge through (x1, y1) and (x2, y2) stands at column x1. Two points
// on one row give no slant: false, and nothing moves.
bool ShearRows(Bitmap& picture, int x1, int y1, int x2, int y2);

// Keeps rows 0 .. row-1. A row below the picture makes it taller; the new rows are `paper`.
void CropLowerBorder(Bitmap& picture, int row, std::uint32_t paper = 0xFFFFFF);

// One run of the viewer's layout for its client area, its picture, the scroll offsets and the
// zoom (screen pixels per picture pixel; 0 fits the picture to the width). A picture wider than
// the area scrolls sideways with a bar of kViewerBarHeight along the bottom.
inline constexpr int kViewerBarHeight = 16;
struct ViewerLayout {
  bool Paint = false;  // false for a picture of height 0: nothing is laid out or painted
  bool PanelVisible = false;
  std::int32_t Left = 0;  // 0 or negative
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
  int AreaWidth = 0;   // left of the panel
  int AreaHeight = 0;  // above the sideways bar, where there is one
  int ScrollLargeStep = 0;
  int ScrollMax = 0;
  bool SidewaysBar = false;
  int SidewaysMax = 0;
};
ViewerLayout LayOutViewer(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight,
                          std::int32_t top, double zoom = 0, std::int32_t left = 0);

// The viewer's zoom levels, 1.25 times apart from 1.25^-6 (26 %) to 1.25^6 (381 %): the next
// one above `zoom` (direction > 0) or below it, or `zoom` itself at either end.
double NextZoom(double zoom, int direction);

// Where a picture goes on a page of the given printable size: from (0, 0) to (Width, Height),
// scaled by the smaller of the two ratios. Empty for an empty picture or page.
struct PrintArea {
  int Width = 0;
  int Height = 0;
};
PrintArea PrintedArea(int pictureWidth, int pictureHeight, int pageWidth, int pageHeight);

// The viewer's caption for a loaded file: "View " and the name after its last path separator.
std::string ViewCaption(const std::string& fileName);

// Stores the folder of a chosen file into a dialog-folder field of the settings record
// (`size` bytes with the terminating NUL). A folder that does not fit is not stored: a cut
// path names some other folder.
bool StoreDialogFolder(const std::string& chosenFile, char* field, std::size_t size);

}  // namespace zarvo
