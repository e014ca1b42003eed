#include "viewer/PictureWindow.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <algorithm>

#include "platform/AreaAverage.h"
#include "platform/QtPictures.h"

namespace zarvo {
namespace {

// The user's, as the sound card's choices are; Zarvo.cfg keeps its layout.
const char* const kSmoothKey = "Display/Smooth";

QSettings UserStore() {
  return QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo"));
}

}  // namespace

SmoothDisplaySetting::SmoothDisplaySetting()
    : on_(UserStore().value(QLatin1String(kSmoothKey), true).toBool()) {}

SmoothDisplaySetting& SmoothDisplay() {
  static SmoothDisplaySetting setting;
  return setting;
}

void SmoothDisplaySetting::Set(bool on) {
  QSettings store = UserStore();
  store.setValue(QLatin1String(kSmoothKey), on);
  store.sync();
  if (on == on_) return;
  on_ = on;
  emit Changed(on);
}

QAction* SmoothDisplaySetting::MakeItem(QWidget* window) {
  auto* item = new QAction(QStringLiteral("Smoo&th Display"), window);
  item->setCheckable(true);
  item->setChecked(on_);
  connect(item, &QAction::toggled, this, &SmoothDisplaySetting::Set);
  connect(this, &SmoothDisplaySetting::Changed, item, &QAction::setChecked);
  return item;
}

void ReducedPicture::InvalidateRows(int first, int end) {
  if (dirtyFirst_ >= dirtyEnd_) {
    dirtyFirst_ = first;
    dirtyEnd_ = end;
  } else {
    dirtyFirst_ = std::min(dirtyFirst_, first);
    dirtyEnd_ = std::max(dirtyEnd_, end);
  }
}

void ReducedPicture::Draw(QPainter& painter, const QRect& target, const Bitmap& picture) {
  if (!SmoothDisplay().On() || target.width() >= picture.Width() || target.height() <= 0) {
    // Stretched as it is, without smoothing: whole rows and columns dropped or repeated.
    painter.drawImage(target, BitmapImage(picture));
    all_ = true;  // the copy was not kept up to date meanwhile
    return;
  }
  const QSize size(picture.Width(), picture.Height());
  if (reduced_.size() != target.size() || pictureSize_ != size) {
    reduced_ = QImage(target.size(), QImage::Format_Grayscale8);
    pictureSize_ = size;
    all_ = true;
  }
  const int height = target.height();
  int first = 0, end = height;
  if (!all_) {
    // The screen rows whose span reaches into the changed picture rows.
    const std::int64_t rows = picture.Height();
    first = static_cast<int>(std::max<std::int64_t>(dirtyFirst_, 0) * height / rows);
    end = static_cast<int>((std::min<std::int64_t>(dirtyEnd_, rows) * height + rows - 1) / rows);
  }
  if (first < end)
    AreaAverage(picture, reduced_.width(), height, first, end, reduced_.bits(),
                reduced_.bytesPerLine());
  all_ = false;
  dirtyFirst_ = dirtyEnd_ = 0;
  painter.drawImage(target.topLeft(), reduced_);
}

void AddScrollKeys(QWidget* window, QScrollBar* vertical, QScrollBar* sideways) {
  const struct {
    Qt::Key Key;
    bool Sideways;
    QAbstractSlider::SliderAction Action;
  } keys[] = {{Qt::Key_Up, false, QAbstractSlider::SliderSingleStepSub},
              {Qt::Key_Down, false, QAbstractSlider::SliderSingleStepAdd},
              {Qt::Key_PageUp, false, QAbstractSlider::SliderPageStepSub},
              {Qt::Key_PageDown, false, QAbstractSlider::SliderPageStepAdd},
              {Qt::Key_Home, false, QAbstractSlider::SliderToMinimum},
              {Qt::Key_End, false, QAbstractSlider::SliderToMaximum},
              {Qt::Key_Left, true, QAbstractSlider::SliderSingleStepSub},
              {Qt::Key_Right, true, QAbstractSlider::SliderSingleStepAdd}};
  for (const auto& k : keys) {
    QScrollBar* bar = k.Sideways ? sideways : vertical;
    if (!bar) continue;
    auto* shortcut = new QShortcut(QKeySequence(k.Key), window);
    shortcut->setContext(Qt::WindowShortcut);
    // Through the bar's own action, so the window hears it as it hears the bar.
    QObject::connect(shortcut, &QShortcut::activated, bar,
                     [bar, action = k.Action] { bar->triggerAction(action); });
  }
}

void ScrollByWheel(QScrollBar* bar, int delta, int& rest) {
  rest += delta;
  const int notches = rest / 120;
  rest %= 120;
  if (notches == 0) return;
  // A turn away from the user (positive) scrolls up.
  bar->setSliderPosition(bar->sliderPosition() -
                         notches * QApplication::wheelScrollLines() * bar->singleStep());
  bar->triggerAction(QAbstractSlider::SliderMove);
}

}  // namespace zarvo
