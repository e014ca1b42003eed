#pragma once
#include <QWidget>

namespace zarvo {

// The picture viewer for stored bitmaps.
class TViewPic final : public QWidget {
  Q_OBJECT
 public:
  TViewPic();
  ~TViewPic() override;

  // Hints over the window's controls, switched by the configuration window.
  void ShowHints(bool on) { HintsShown = on; }
  bool HintsShown = true;
};

}  // namespace zarvo
