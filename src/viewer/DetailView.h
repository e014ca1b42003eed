#pragma once
#include <QWidget>

#include "platform/Bitmap.h"

namespace zarvo {

// The detailed view: a part of a picture at full resolution, one picture pixel per screen
// pixel, round the point last asked for. It shows the picture of whichever window asked last.
// Esc closes it.
class TDetail final : public QWidget {
  Q_OBJECT
 public:
  TDetail();
  ~TDetail() override;

  // Shows the window and brings it to the front; the callers do so before each DrawDetail.
  void ShowDetail();
  // Draws round (x, y) of `picture`; ignored while the window is hidden.
  void DrawDetail(int x, int y, const Bitmap* picture);
  // Draws again round the remembered point.
  void RefreshDetail();
  // A picture that is going away: shown no more.
  void Forget(const Bitmap* picture);

  std::int32_t DetailCentreX = 0;
  std::int32_t DetailCentreY = 0;
  const Bitmap* DetailPicture = nullptr;

 protected:
  void paintEvent(QPaintEvent*) override;
};

// The single instance, null until constructed.
extern TDetail* Detail;

}  // namespace zarvo
