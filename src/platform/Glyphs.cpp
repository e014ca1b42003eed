#include "platform/Glyphs.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace zarvo {
namespace {

// A quarter-circle arrow round the centre, turning left or right.
void TurnArrow(QPainter& p, bool left) {
  QPainterPath arc;
  arc.arcMoveTo(QRectF(3, 3, 10, 10), left ? 20 : 160);
  arc.arcTo(QRectF(3, 3, 10, 10), left ? 20 : 160, left ? 250 : -250);
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  const QPointF tip = arc.currentPosition();
  const double dx = left ? 3 : -3;
  p.drawLine(tip, tip + QPointF(dx, -1));
  p.drawLine(tip, tip + QPointF(dx * 0.3, 3));
}

}  // namespace

QIcon Glyph(GlyphKind kind) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(0x20, 0x30, 0x50);
  p.setPen(QPen(ink, 1.6));
  switch (kind) {
    case GlyphKind::Start:  // a triangle onto a line
      p.setBrush(QColor(0x20, 0x90, 0x30));
      p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(13, 8), QPointF(4, 14)}));
      break;
    case GlyphKind::MarkLeft:  // a bar with an arrow onto it
      p.drawLine(QPointF(3, 2), QPointF(3, 14));
      p.drawLine(QPointF(13, 8), QPointF(6, 8));
      p.drawLine(QPointF(6, 8), QPointF(9, 5));
      p.drawLine(QPointF(6, 8), QPointF(9, 11));
      break;
    case GlyphKind::MarkLower:  // the same, turned to the bottom edge
      p.drawLine(QPointF(2, 13), QPointF(14, 13));
      p.drawLine(QPointF(8, 3), QPointF(8, 10));
      p.drawLine(QPointF(8, 10), QPointF(5, 7));
      p.drawLine(QPointF(8, 10), QPointF(11, 7));
      break;
    case GlyphKind::Straighten:  // a slanted edge, an arrow, and the upright edge it becomes
      p.setPen(QPen(QColor(0x80, 0x90, 0xA8), 1.6));
      p.drawLine(QPointF(2, 2), QPointF(6, 14));
      p.setPen(QPen(ink, 1.6));
      p.drawLine(QPointF(14, 2), QPointF(14, 14));
      p.drawLine(QPointF(7.5, 8), QPointF(11.5, 8));
      p.drawLine(QPointF(11.5, 8), QPointF(9.5, 6));
      p.drawLine(QPointF(11.5, 8), QPointF(9.5, 10));
      break;
    case GlyphKind::Mode:  // a drum
      p.drawEllipse(QPointF(8, 8), 6, 6);
      p.drawLine(QPointF(8, 8), QPointF(12, 5));
      break;
    case GlyphKind::Configuration:  // sliders
      for (int i = 0; i < 3; ++i) {
        p.drawLine(QPointF(2, 4 + 4 * i), QPointF(14, 4 + 4 * i));
        p.fillRect(QRectF(4 + 3 * i, 2.5 + 4 * i, 3, 3), ink);
      }
      break;
    case GlyphKind::Exit:  // a red cross
      p.setPen(QPen(QColor(0xB0, 0x20, 0x20), 2.2));
      p.drawLine(QPointF(4, 4), QPointF(12, 12));
      p.drawLine(QPointF(12, 4), QPointF(4, 12));
      break;
    case GlyphKind::Print:  // a printer with its sheet
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 1.5, 7, 5));
      p.setBrush(QColor(0xA0, 0xA8, 0xB8));
      p.drawRect(QRectF(1.5, 6.5, 13, 6));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 10.5, 7, 4));
      break;
    case GlyphKind::View:  // an eye
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(1.5, 4.5, 13, 7));
      p.setBrush(ink);
      p.drawEllipse(QPointF(8, 8), 2.2, 2.2);
      break;
    case GlyphKind::SaveAs:  // a disk
      p.setBrush(QColor(0x40, 0x60, 0xA0));
      p.drawRect(QRectF(2.5, 2.5, 11, 11));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(5, 2.5, 6, 4));
      p.fillRect(QRectF(4.5, 9, 7, 4.5), QColor(0xE0, 0xE0, 0xE0));
      break;
    case GlyphKind::RotateLeft:
      TurnArrow(p, true);
      break;
    case GlyphKind::RotateRight:
      TurnArrow(p, false);
      break;
  }
  return QIcon(pixmap);
}

namespace {

class ToolPanel final : public QFrame {
 public:
  using QFrame::QFrame;

 protected:
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
  void mouseMoveEvent(QMouseEvent* event) override { event->accept(); }
};

}  // namespace

QFrame* MakeToolPanel(QWidget* parent) {
  auto* panel = new ToolPanel(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setAutoFillBackground(true);
  panel->setCursor(Qt::ArrowCursor);
  return panel;
}

QToolButton* MakeToolButton(QWidget* parent, GlyphKind kind, const char* hint, QRect geometry) {
  auto* button = new QToolButton(parent);
  button->setIcon(Glyph(kind));
  button->setIconSize(QSize(16, 16));
  button->setAutoRaise(true);
  button->setGeometry(geometry);
  button->setProperty("hint", QString::fromLatin1(hint));
  return button;
}

}  // namespace zarvo
