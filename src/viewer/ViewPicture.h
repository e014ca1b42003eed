#pragma once
#include <QWidget>
#include <optional>
#include <string>

#include "platform/Bitmap.h"
#include "settings/Settings.h"
#include "viewer/PictureCommands.h"
#include "viewer/PictureOps.h"
#include "viewer/PictureWindow.h"

class QFrame;
class QMenu;
class QScrollBar;
class QToolButton;

namespace zarvo {

// The picture viewer: one stored picture, scaled to the window's width or zoomed, and scrolled,
// with the commands that turn it, move its left border, straighten it, crop it, print it and save
// it. Closing the window (or Esc, unless it cancels Straighten) only hides it.
class TViewPic final : public QWidget {
  Q_OBJECT
 public:
  TViewPic();
  ~TViewPic() override;

  // Loads a picture file (BMP, PNG, JPEG, TIFF, GIF) and shows it from its top. Throws
  // PlatformError when the file cannot be read; the window then stays as it was.
  void LoadPicture(const std::string& fileName);

  // Lays the window out for its client size and the scroll offset, and repaints.
  void FormResize();

  // The commands.
  void ViewBtnClick();
  void SaveAsBtnClick();
  void PrintBtnClick();
  void RotateLeftBtnClick();
  void RotateRightBtnClick();
  void MarkLeftBtnClick();
  void MarkLowerBtnClick();
  void StraightenBtnClick();
  void ScrollBarScroll(int position);
  // Zooms one level in (direction > 0) or out, keeping the picture point under `anchor` (client
  // coordinates) where it is; FitToWidth goes back to the width of the window.
  void ZoomBy(int direction, QPoint anchor);
  void FitToWidth();
  double Zoom = 0;  // screen pixels per picture pixel; 0 fits the picture to the width
  void FormMouseDown(int x, int y);
  void FormMouseMove(int x, int y);

  // Hints over the window's controls, switched by the configuration window.
  void ShowHints(bool on);
  bool HintsShown = true;

  Bitmap Picture;
  DisplayRectangle DisplayRect;
  QFrame* Panel;
  QScrollBar* ScrollBar;
  QScrollBar* SidewaysBar;  // along the bottom, while the zoomed picture is wider than the window
  QToolButton* RotateLeftBtn;
  QToolButton* RotateRightBtn;
  QToolButton* MarkLeftBtn;
  QToolButton* MarkLowerBtn;
  QToolButton* StraightenBtn;
  QToolButton* ViewBtn;
  QToolButton* SaveAsBtn;
  QToolButton* PrintBtn;
  QMenu* PopupMenu;
  DialogMemory OpenMemory{{}, Settings.ViewDir, sizeof Settings.ViewDir};
  DialogMemory SaveMemory{{}, Settings.SaveDir, sizeof Settings.SaveDir};

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void BuildControls();
  void Rotate(QToolButton* button, bool left);
  // Where picture columns `first` to `end` - 1 are on screen, within the picture's area.
  QRect ColumnsOnScreen(int first, int end) const;
  QColor BorderColour() const;
  void ZoomTo(double zoom, QPoint anchor);
  // Straighten's clicks: the top of the slanted edge, then its bottom.
  void StraightenClick(int px, int py);
  void EndStraighten();
  std::optional<QPoint> straightenTop_;
  ReducedPicture reduced_;
  int wheelRest_ = 0;   // a fine wheel's eighths of a degree not yet turned into a step
  bool paint_ = false;  // false while the picture has no rows: nothing is painted
};

// The single instance, null until constructed.
extern TViewPic* ViewPic;

// Shows the file in the viewer, brought to the front; a file that cannot be read is reported.
void OpenInViewer(const std::string& fileName);

}  // namespace zarvo
