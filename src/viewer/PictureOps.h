#pragma once
// The viewer's picture operations and geometry: quarter turns, the left-border shift, the
// lower-border crop, the layout of the viewer window, the printed rectangle, and the folder a
// file dialog leaves behind. All of it without a screen.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Bitmap.h"

namespace zarvo {

// Called after each source row whose number is a multiple of 16, so the caller can redraw the
// picture as it is being turned.
using RotationProgress = std::function<void(int sourceRow)>;

// Quarter turns, pixel values copied unchanged. Left: source (c, r) goes to (r, W-1-c); right:
// source (c, r) goes to (H-1-r, c). The not yet written part shows `blank`.
void RotateLeft(Bitmap& picture, const RotationProgress& progress = {},
                std::uint32_t blank = 0xFFFFFF);
void RotateRight(Bitmap& picture, const RotationProgress& progress = {},
                 std::uint32_t blank = 0xFFFFFF);

// Cyclic shift of every row so that column `column` becomes the left edge. A column right of the
// picture is taken as its last column, a negative one as column 0.
void ShiftLeftBorder(Bitmap& picture, int column);

// Keeps rows 0 .. row-1. A row below the picture makes it taller; the new rows are `paper`.
void CropLowerBorder(Bitmap& picture, int row, std::uint32_t paper = 0xFFFFFF);

inline constexpr int kViewerPanelWidth = 85;

// One run of the viewer's layout for its client area, its picture and the current scroll offset.
struct ViewerLayout {
  bool Paint = false;  // false for a picture of height 0: nothing is laid out or painted
  bool PanelVisible = false;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
  int ScrollLargeStep = 0;
  int ScrollMax = 0;
};
ViewerLayout LayOutViewer(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight,
                          std::int32_t top);

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
