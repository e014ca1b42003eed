#include "reception/ModeDialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>

#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtPictures.h"
#include "reception/InVideo.h"
#include "settings/Settings.h"

namespace zarvo {

TModeDlg* ModeDlg = nullptr;

TModeDlg::TModeDlg() : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  ModeDlg = this;
  NoteLifecycle("create ModeDlg");
  setWindowTitle(QStringLiteral("Mode"));
  setFixedSize(111, 180);
  setModal(false);
  InstallHelpKey(this, kHelpReception);

  DrumSpeed = new QGroupBox(QStringLiteral("Drum Speed"), this);
  DrumSpeed->setGeometry(4, 4, 103, 112);
  DrumSpeedItems = new QButtonGroup(this);
  const char* speeds[5] = {"60", "90", "120", "180", "240"};
  for (int i = 0; i < 5; ++i) {
    auto* item = new QRadioButton(QString::fromLatin1(speeds[i]), DrumSpeed);
    item->setGeometry(8, 20 + 18 * i, 90, 18);
    DrumSpeedItems->addButton(item, i);
  }
  IOC = new QGroupBox(QStringLiteral("IOC"), this);
  IOC->setGeometry(4, 120, 103, 56);
  IOCItems = new QButtonGroup(this);
  const char* iocs[2] = {"288", "576"};
  for (int i = 0; i < 2; ++i) {
    auto* item = new QRadioButton(QString::fromLatin1(iocs[i]), IOC);
    item->setGeometry(8, 18 + 17 * i, 90, 17);
    IOCItems->addButton(item, i);
  }
  connect(DrumSpeedItems, &QButtonGroup::idClicked, this, &TModeDlg::DrumSpeedClick);
  connect(IOCItems, &QButtonGroup::idClicked, this, &TModeDlg::IOCClick);
}

TModeDlg::~TModeDlg() {
  NoteLifecycle("destroy ModeDlg");
  if (ModeDlg == this) ModeDlg = nullptr;
}

void TModeDlg::ShowModeDlg() {
  CentreOnScreen(this);
  show();
  raise();
  activateWindow();
}

void TModeDlg::FollowSettings() {
  Updating = true;
  if (QAbstractButton* b = DrumSpeedItems->button(Settings.DrumSpeed)) b->setChecked(true);
  if (QAbstractButton* b = IOCItems->button(Settings.IOC)) b->setChecked(true);
  Updating = false;
}

void TModeDlg::showEvent(QShowEvent* event) {
  FollowSettings();
  QDialog::showEvent(event);
}

void TModeDlg::DrumSpeedClick() {
  if (Updating || !InVid) return;
  InVid->Decoder.SetMode(DrumSpeedItems->checkedId());
}

void TModeDlg::IOCClick() {
  Settings.IOC = IOCItems->checkedId();
  if (Updating || !InVid) return;
  InVid->Decoder.SetMode(DrumSpeedItems->checkedId() >= 0 ? DrumSpeedItems->checkedId()
                                                          : Settings.DrumSpeed);
}

}  // namespace zarvo
