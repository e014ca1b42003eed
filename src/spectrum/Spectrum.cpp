#include "spectrum/Spectrum.h"

#include <QCloseEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <new>
#include <system_error>

#include "interface/Receiver.h"
#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/Messages.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtPictures.h"
#include "settings/QtWindowGeometry.h"
#include "settings/Settings.h"

namespace zarvo {

TSpec* Spec = nullptr;
namespace {

// Queued onto the window: what is still queued when the window goes is dropped with it.
class QtGuiThreadRunner final : public GuiThreadRunner {
 public:
  explicit QtGuiThreadRunner(QObject* target) : target_(target) {}
  void Post(std::function<void()> task) override {
    QMetaObject::invokeMethod(target_, std::move(task), Qt::QueuedConnection);
  }

 private:
  QObject* const target_;
};

}  // namespace

TSpec::TSpec() : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  Spec = this;
  NoteLifecycle("create Spec");
  setWindowTitle(QStringLiteral("Spectrum"));
  // The picture covers every pixel: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  InstallHelpKey(this, kHelpSpectrum);
  Histogram = std::make_unique<SpectrumHistogram>(Settings.CalLow, Settings.CalHigh);
  RestoreGeometry(this, Settings.SpecWindow);
  // The one place that decides at start-up; the reception window's menu item toggles it later.
  setVisible(!IsOn(Settings.HideSpectrum));
  runner_ = std::make_unique<QtGuiThreadRunner>(this);
  try {
    Thread = std::make_unique<SpThread>(*runner_, [this] { return SpectrumUpdate(); });
  } catch (const std::system_error&) {
    ReportError("Not able to create Spectrum Thread");
  } catch (const std::bad_alloc&) {
    ReportError("Not able to create Spectrum Thread");
  }
}

TSpec::~TSpec() {
  NoteLifecycle("destroy Spec");
  // The thread first: once it has ended no update can touch the picture.
  Thread.reset();
  StoreGeometry(this, Settings.SpecWindow);
  Histogram.reset();
  if (Spec == this) Spec = nullptr;
}

bool TSpec::SpectrumUpdate() {
  TReceiveSide* receive = ActiveReceiveSide();
  if (!Histogram || !receive) return false;
  if (!receive->InputThread || !receive->RxBuffer) return false;
  if (!Histogram->Update(*receive->InputThread, Settings.CalLow, Settings.CalHigh)) return false;
  update();
  emit Updated();
  return true;
}

void TSpec::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!Histogram) return;
  const Bitmap& picture = Histogram->SpecBitmap;
  const QImage image = BitmapImage(picture);
  // Stretched over the whole client area without smoothing: the bars stay sharp.
  painter.drawImage(rect(), image);
}

void TSpec::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // Back to the picture's own size, one screen pixel per picture pixel.
  setWindowState(windowState() &
                 ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
  resize(SpecWidth, SpecHeight);
  Settings.SpecWindow.ClientWidth = SpecWidth;
  Settings.SpecWindow.ClientHeight = SpecHeight;
}

void TSpec::closeEvent(QCloseEvent* event) {
  // The window has no close button, and the platform's close (Alt+F4) is refused too. The
  // program's shutdown deletes it instead.
  event->ignore();
}

}  // namespace zarvo
