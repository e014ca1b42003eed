#include "viewer/DetailView.h"

#include <QImage>
#include <QPainter>
#include <QShortcut>

#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtPictures.h"
#include "settings/QtWindowGeometry.h"
#include "settings/Settings.h"
#include "viewer/PictureOps.h"

namespace zarvo {

TDetail* Detail = nullptr;

TDetail::TDetail() : QWidget(nullptr, Qt::Window) {
  Detail = this;
  NoteLifecycle("create Detail");
  setWindowTitle(QStringLiteral("Detailed View"));
  InstallHelpKey(this, kHelpReception);
  RestoreGeometry(this, Settings.DetailWindow);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

TDetail::~TDetail() {
  NoteLifecycle("destroy Detail");
  StoreGeometry(this, Settings.DetailWindow);
  if (Detail == this) Detail = nullptr;
}

void TDetail::ShowDetail() {
  show();
  raise();
}

void TDetail::DrawDetail(int x, int y, const Bitmap* picture) {
  if (!isVisible()) return;
  DetailCentreX = x;
  DetailCentreY = y;
  DetailPicture = picture;
  update();
}

void TDetail::RefreshDetail() {
  if (DetailPicture && isVisible()) update();
}

void TDetail::Forget(const Bitmap* picture) {
  if (DetailPicture == picture) DetailPicture = nullptr;
}

void TDetail::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Outside a picture smaller than the view: the blank colour of an empty picture.
  painter.fillRect(rect(), QColor::fromRgb(0xC0C0C0));
  if (!DetailPicture || DetailPicture->Width() <= 0) return;
  int left = 0, top = 0;
  DetailOrigin(DetailCentreX, DetailCentreY, width(), height(), DetailPicture->Width(),
               DetailPicture->Height(), left, top);
  const QImage image = BitmapImage(*DetailPicture);
  // Pixel for pixel: the part of the picture inside the view, at its place in the view.
  const QRect source = QRect(left, top, width(), height()).intersected(image.rect());
  painter.drawImage(source.topLeft() - QPoint(left, top), image, source);
}

}  // namespace zarvo
