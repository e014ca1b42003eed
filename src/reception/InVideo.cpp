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
  // A failure here is fatal and reported; the window then simply receives nothing.
  if (Receive.Create()) {
    connect(&InVidTimer, &QTimer::timeout, this, &TInVid::InVidTimerTimer);
    InVidTimer.start(1);
    Receive.Link.InterfaceStartup();
  }
}

TInVid::~TInVid() {
  NoteLifecycle("destroy InVid");
  InVidTimer.stop();
  Receive.TerminateThread();
  StoreGeometry(this, Settings.InVidWindow);
  if (Receive.InputThread) Receive.Link.InterfaceShutdown();
  Receive.ReleaseBuffer();
  if (InVid == this) InVid = nullptr;
  CloseMain();
}

void TInVid::InVidTimerTimer() {
  Receive.Drain(SampleStep);
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
