#include "reception/InVideo.h"

#include <QCloseEvent>
#include <QPainter>

#include "app/MainProg.h"
#include "app/Windows.h"
#include "platform/Help.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtWindowGeometry.h"
#include "settings/Settings.h"

namespace zarvo {

TInVid::TInVid() : QWidget(nullptr, Qt::Window) {
  InVid = this;
  NoteLifecycle("create InVid");
  setWindowTitle(QStringLiteral("Zarvo Meteo"));
  setCursor(Qt::CrossCursor);
  InstallHelpKey(this, kHelpReception);
  RestoreGeometry(this, Settings.InVidWindow);
  show();
}

TInVid::~TInVid() {
  NoteLifecycle("destroy InVid");
  StoreGeometry(this, Settings.InVidWindow);
  if (InVid == this) InVid = nullptr;
}

void TInVid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgb(kBlankColour));
}

void TInVid::closeEvent(QCloseEvent* event) {
  // The title-bar close ends the program, without the Exit command's question.
  event->accept();
  CloseMain();
}

}  // namespace zarvo
