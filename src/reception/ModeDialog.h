#pragma once
#include <QDialog>

class QButtonGroup;
class QGroupBox;

namespace zarvo {

// The drum speed and IOC dialog: non-modal, on top, in the middle of the screen. Its radio
// groups follow the settings when it is shown and whenever the mode changes, the decoder's
// changes included; a paint never touches them, so a click in progress keeps its choice.
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

  // Selects the record's drum speed and IOC, with `Updating` set so that nothing acts on it.
  void FollowSettings();

 protected:
  void showEvent(QShowEvent* event) override;
};

// The single instance, null until constructed.
extern TModeDlg* ModeDlg;

}  // namespace zarvo
