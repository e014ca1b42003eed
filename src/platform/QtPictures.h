#pragma once
// What the windows share of Qt: a Bitmap drawn by Qt, and a window put in the middle of the
// screen.
#include <QImage>

#include "platform/Bitmap.h"

class QWidget;

namespace zarvo {

// The bitmap's pixels as Qt's image, without a copy: valid while the bitmap is neither changed
// in size nor destroyed.
inline QImage BitmapImage(const Bitmap& picture) {
  return QImage(reinterpret_cast<const uchar*>(picture.Data()), picture.Width(), picture.Height(),
                picture.Width() * 4, QImage::Format_RGB32);
}

// Moves the window, frame included (none before it has first been shown), to the middle of the
// primary screen.
void CentreOnScreen(QWidget* window);

}  // namespace zarvo
