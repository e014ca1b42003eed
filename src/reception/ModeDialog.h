#pragma once
#include <QDialog>

class QButtonGroup;
class QGroupBox;

namespace zarvo {

// The drum speed and IOC dialog: non-modal, on top, in the middle of the screen. Its radio
// groups follow the settings at every paint, also when the decoder changes the mode.
class TModeDlg final : public QDialog {
  Q_OBJECT
 public:
  TModeDlg();
  ~TModeDlg() override;

  void ShowModeDlg();

  QGroupBox* DrumSpeed;
  QGroupBox* IOC;
  QButtonGroup* DrumSpeedItems;
  QButtonGroup* IOCItems;
  bool Updating = false;

  void DrumSpeedClick();
  void IOCClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace zarvo
