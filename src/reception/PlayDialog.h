#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;

namespace zarvo {

// "Play Recording": the recording's name, and whether to play it in real time (as the
// broadcast was heard) or as fast as the decoder takes it. Modal, asked before each playing.
class TPlayDlg final : public QDialog {
  Q_OBJECT
 public:
  TPlayDlg(const QString& fileName, bool fast, QWidget* parent);

  bool Fast() const;

  QLabel* FileLabel;
  QRadioButton* RealTimeItem;
  QRadioButton* FastItem;
  QPushButton* OkBtn;
  QPushButton* CancelBtn;
};

}  // namespace zarvo
