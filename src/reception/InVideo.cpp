#include "reception/InVideo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QPainter>

#include "app/MainProg.h"
#include "app/Windows.h"
#include "decoder/AutoSave.h"
#include "platform/Help.h"
#include "platform/LocalClock.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtWindowGeometry.h"
#include "reception/ModeDialog.h"
#include "settings/Settings.h"

namespace zarvo {

TInVid::TInVid() : QWidget(nullptr, Qt::Window), Decoder(Settings, *this) {
  InVid = this;
  NoteLifecycle("create InVid");
  setWindowTitle(QStringLiteral("Zarvo Meteo"));
  setCursor(Qt::CrossCursor);
  InstallHelpKey(this, kHelpReception);
  RestoreGeometry(this, Settings.InVidWindow);
  ShowHints(!IsOn(Settings.DisableHints));
  show();
  // A failure here is fatal and reported; the window then simply receives nothing.
  if (Receive.Create()) {
    Decoder.SetMode(Settings.DrumSpeed);
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
  Receive.Drain(
      [this](const std::uint8_t* samples, std::size_t count) { Decoder.Process(samples, count); });
  Decoder.EndOfTick();
}

void TInVid::ShowStatus(const std::string& text) {
  setWindowTitle(text.empty() ? QStringLiteral("Incoming Fax")
                              : QStringLiteral("Incoming Fax: ") + QString::fromStdString(text));
}

void TInVid::ModeChanged() {
  if (ModeDlg && ModeDlg->isVisible()) ModeDlg->update();
}

void TInVid::AutoSave() {
  AutoSaveFax(Decoder.Picture, Decoder.SaveHeight, Settings.DeleteDays, ProgramFolder(),
              CurrentLocalClock().Now());
}

void TInVid::SetAttention(bool on) {
  if (on && !attention_) QApplication::alert(this);
  attention_ = on;
}

void TInVid::paintEvent(QPaintEvent*) {
  // The picture scaled to the window's width, from its top.
  QPainter painter(this);
  const QImage image(reinterpret_cast<const uchar*>(Decoder.Picture.Data()), TDecoder::W,
                     TDecoder::H, TDecoder::W * 4, QImage::Format_RGB32);
  const int height = TDecoder::H * width() / TDecoder::W;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRect(0, 0, width(), height), image);
  if (height < this->height())
    painter.fillRect(0, height, width(), this->height() - height, palette().window());
}

void TInVid::closeEvent(QCloseEvent* event) {
  // The title-bar close ends the program, without the Exit command's question.
  event->accept();
  CloseMain();
}

}  // namespace zarvo
