#pragma once
// What both picture windows share: how they draw a picture smaller than it is (area averaged,
// from a reduced copy kept between paints, or, with "Smooth display" off, stretched dropping
// whole rows and columns), and the keys and the wheel that scroll them.
#include <QImage>
#include <QObject>

#include "platform/Bitmap.h"

class QAction;
class QPainter;
class QScrollBar;
class QWidget;

namespace zarvo {

// The user's "Smooth display" choice, on by default, kept per user with QSettings. Both windows
// follow it: changing it in one redraws both.
class SmoothDisplaySetting final : public QObject {
  Q_OBJECT
 public:
  bool On() const { return on_; }
  void Set(bool on);
  // A checkable "Smoo&th Display" item, owned by `window`, that shows and sets the choice.
  QAction* MakeItem(QWidget* window);

 signals:
  void Changed(bool on);

 private:
  friend SmoothDisplaySetting& SmoothDisplay();
  SmoothDisplaySetting();
  bool on_ = true;
};
SmoothDisplaySetting& SmoothDisplay();

// A window's reduced copy of its picture, valid for one picture and one size on screen. The
// window says which picture rows or columns changed; only the screen rows or columns they fall
// in are averaged again.
class ReducedPicture {
 public:
  // Draws `picture` stretched into `target`: area averaged when it is narrower on screen than
  // the picture and smooth display is on, else nearest pixel as Qt stretches it.
  void Draw(QPainter& painter, const QRect& target, const Bitmap& picture);
  // The picture changed everywhere, or in rows (columns) `first` to `end` - 1.
  void Invalidate() { all_ = true; }
  void InvalidateRows(int first, int end);
  void InvalidateColumns(int first, int end);

 private:
  QImage reduced_;
  QSize pictureSize_;
  bool all_ = true;
  int dirtyFirst_ = 0, dirtyEnd_ = 0;   // picture rows changed since the last draw
  int dirtyLeft_ = 0, dirtyRight_ = 0;  // and picture columns
};

// The arrow keys, Page Up/Down, Home and End scroll `vertical` while `window` is active (left and
// right scroll `sideways` where there is one), whichever of its controls has the focus.
void AddScrollKeys(QWidget* window, QScrollBar* vertical, QScrollBar* sideways = nullptr);

// Scrolls `bar` by a wheel's turn, `delta` in eighths of a degree: the desktop's lines per notch
// of single steps. `rest` keeps what a fine wheel turned short of a step.
void ScrollByWheel(QScrollBar* bar, int delta, int& rest);

}  // namespace zarvo
