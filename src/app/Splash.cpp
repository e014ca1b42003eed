#include "app/Splash.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "app/MainProg.h"
#include "platform/Lifecycle.h"
#include "platform/QtPictures.h"

namespace zarvo {

TSplashForm* SplashForm = nullptr;

TSplashForm::TSplashForm()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  SplashForm = this;
  NoteLifecycle("create SplashForm");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Zarvo Meteo"));
  setFixedSize(kWidth, kHeight);
  picture_ = SplashPicture();
  CentreOnScreen(this);
  Timer1.setSingleShot(true);
  connect(&Timer1, &QTimer::timeout, this, &TSplashForm::Timer1Timer);
  Timer1.start(kShowMs);
}

TSplashForm::~TSplashForm() {
  NoteLifecycle("destroy SplashForm");
  if (SplashForm == this) SplashForm = nullptr;
}

void TSplashForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

void TSplashForm::Timer1Timer() {
  close();
  if (Main) Main->hide();
}

QPixmap SplashPicture() {
  QPixmap pixmap(TSplashForm::kWidth, TSplashForm::kHeight);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, pixmap.height());
  sky.setColorAt(0, QColor(0x1b, 0x3a, 0x5c));
  sky.setColorAt(1, QColor(0x0b, 0x1c, 0x2e));
  p.fillRect(pixmap.rect(), sky);

  // A weather chart on its paper: isobars round a low and a high, as a fax would draw them.
  const QRect chart(18, 18, 180, 150);
  p.fillRect(chart, QColor(0xe8, 0xe8, 0xe0));
  p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
  for (int r = 12; r <= 60; r += 12) p.drawEllipse(QPoint(70, 80), r + 8, r);
  for (int r = 10; r <= 40; r += 10) p.drawEllipse(QPoint(160, 130), r, r - 4);
  QPainterPath front;
  front.moveTo(chart.left(), 150);
  front.cubicTo(70, 120, 110, 170, chart.right(), 110);
  p.setPen(QPen(QColor(0x10, 0x10, 0x10), 2.5));
  p.drawPath(front);
  QFont mark = p.font();
  mark.setBold(true);
  mark.setPixelSize(18);
  p.setFont(mark);
  p.drawText(QRect(60, 68, 20, 24), Qt::AlignCenter, QStringLiteral("L"));
  p.drawText(QRect(150, 118, 20, 24), Qt::AlignCenter, QStringLiteral("H"));
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
  p.drawRect(chart.adjusted(0, 0, -1, -1));

  // Short-wave signal lines on the right.
  p.setPen(QPen(QColor(0x7f, 0xd4, 0xff), 2));
  for (int i = 0; i < 3; ++i)
    p.drawArc(QRect(226 - i * 14, 40 - i * 14, 60 + i * 28, 60 + i * 28), 30 * 16, 120 * 16);
  p.setBrush(QColor(0x7f, 0xd4, 0xff));
  p.drawEllipse(QPoint(256, 70), 4, 4);

  QFont title = p.font();
  title.setPixelSize(30);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0x3c, 0xd0, 0x5a));
  p.drawText(QRect(0, 172, pixmap.width(), 34), Qt::AlignCenter, QStringLiteral("Zarvo Meteo"));
  QFont line = p.font();
  line.setPixelSize(12);
  line.setBold(false);
  p.setFont(line);
  p.setPen(QColor(0xd0, 0xe0, 0xf0));
  p.drawText(QRect(0, 204, pixmap.width(), 18), Qt::AlignCenter,
             QStringLiteral("HF weather-fax receiver"));
  return pixmap;
}

QPixmap ProgramIconPixmap() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0xe8, 0xe8, 0xe0));
  p.setPen(QPen(QColor(0x1b, 0x3a, 0x5c), 2));
  p.drawRoundedRect(QRectF(2, 2, 28, 28), 4, 4);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
  p.drawEllipse(QPointF(14, 15), 8, 6);
  p.drawEllipse(QPointF(14, 15), 4, 3);
  p.setPen(QPen(QColor(0x10, 0x90, 0x30), 2));
  p.drawLine(QPointF(6, 26), QPointF(26, 22));
  return pixmap;
}

}  // namespace zarvo
