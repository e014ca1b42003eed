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

namespace {

// Widens the range [first, end) to take in [from, to).
void Widen(int& first, int& end, int from, int to) {
  if (first >= end) {
    first = from;
    end = to;
  } else {
    first = std::min(first, from);
    end = std::max(end, to);
  }
}

// The cells [first, end) of `out` that picture cells [from, to) of `count` reach into.
std::pair<int, int> Reached(int from, int to, std::int64_t count, int out) {
  return {static_cast<int>(std::max<std::int64_t>(from, 0) * out / count),
          static_cast<int>((std::min<std::int64_t>(to, count) * out + count - 1) / count)};
}

}  // namespace

void ReducedPicture::InvalidateRows(int first, int end) {
  Widen(dirtyFirst_, dirtyEnd_, first, end);
}

void ReducedPicture::InvalidateColumns(int first, int end) {
  Widen(dirtyLeft_, dirtyRight_, first, end);
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
  const int width = target.width(), height = target.height();
  const auto average = [&](std::pair<int, int> rows, std::pair<int, int> columns) {
    if (rows.first < rows.second && columns.first < columns.second)
      AreaAverage(picture, width, height, rows.first, rows.second, reduced_.bits(),
                  reduced_.bytesPerLine(), columns.first, columns.second);
  };
  if (all_) {
    average({0, height}, {0, width});
  } else {
    // The screen rows, and columns, whose span reaches into the changed picture rows (columns).
    average(Reached(dirtyFirst_, dirtyEnd_, picture.Height(), height), {0, width});
    average({0, height}, Reached(dirtyLeft_, dirtyRight_, picture.Width(), width));
  }
  all_ = false;
  dirtyFirst_ = dirtyEnd_ = dirtyLeft_ = dirtyRight_ = 0;
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
