#pragma once
#include <QWidget>

namespace zarvo {

// The picture viewer for stored bitmaps.
class TViewPic final : public QWidget {
  Q_OBJECT
 public:
  TViewPic();
  ~TViewPic() override;
};

}  // namespace zarvo
