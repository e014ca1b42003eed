#pragma once
#include <QDialog>

namespace zarvo {

// The drum speed and IOC dialog: non-modal, on top, in the middle of the screen.
class TModeDlg final : public QDialog {
  Q_OBJECT
 public:
  TModeDlg();
  ~TModeDlg() override;
};

}  // namespace zarvo
