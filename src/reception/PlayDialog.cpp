#include "reception/PlayDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "platform/Help.h"
#include "platform/QtHelpViewer.h"

namespace zarvo {

TPlayDlg::TPlayDlg(const QString& fileName, bool fast, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Play Recording"));
  setFixedSize(320, 128);
  setModal(true);
  InstallHelpKey(this, kHelpReception);

  FileLabel = new QLabel(this);
  FileLabel->setGeometry(12, 10, 296, 20);
  // A long name is cut in the middle, where it says least.
  FileLabel->setText(FileLabel->fontMetrics().elidedText(fileName, Qt::ElideMiddle, 296));
  FileLabel->setToolTip(fileName);
  RealTimeItem = new QRadioButton(QStringLiteral("Real time"), this);
  RealTimeItem->setGeometry(12, 36, 296, 20);
  FastItem = new QRadioButton(QStringLiteral("As fast as the decoder goes"), this);
  FastItem->setGeometry(12, 58, 296, 20);
  (fast ? FastItem : RealTimeItem)->setChecked(true);
  OkBtn = new QPushButton(QStringLiteral("OK"), this);
  OkBtn->setGeometry(142, 92, 80, 26);
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setGeometry(228, 92, 80, 26);
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

bool TPlayDlg::Fast() const {
  return FastItem->isChecked();
}

}  // namespace zarvo
