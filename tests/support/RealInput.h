#pragma once
// Mouse input as the window system delivers it: to the top-level window at a point, from where Qt
// finds the widget under it, hands what a widget ignores on to its parent, repaints between press
// and release, and makes the context-menu event of a right click. Sending an event straight to a
// widget, or calling its click(), skips all of that.
#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

namespace zarvo::test {

// `pos` in `widget` as a point of its top-level window.
inline QWindow* WindowAt(QWidget* widget, QPoint& pos) {
  pos = widget->mapTo(widget->window(), pos);
  return widget->window()->windowHandle();
}

inline void MouseClick(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QWindow* window = WindowAt(widget, pos);
  QTest::mouseClick(window, button, {}, pos);
}

// A click in the middle of `widget`.
inline void MouseClick(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
  MouseClick(widget, widget->rect().center(), button);
}

inline void MousePress(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QWindow* window = WindowAt(widget, pos);
  QTest::mousePress(window, button, {}, pos);
}

inline void MouseRelease(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QWindow* window = WindowAt(widget, pos);
  QTest::mouseRelease(window, button, {}, pos);
}

// A move with whatever buttons are held since the last press.
inline void MouseMove(QWidget* widget, QPoint pos) {
  QWindow* window = WindowAt(widget, pos);
  QTest::mouseMove(window, pos);
}

// A turn of the wheel over `pos` in `widget`, `angle` in eighths of a degree (120 a notch, positive
// away from the user), given to the top-level window, which hands it to the widget under it.
inline void Wheel(QWidget* widget, QPoint pos, QPoint angle, Qt::KeyboardModifiers modifiers = {}) {
  QWindow* window = WindowAt(widget, pos);
  QWheelEvent event(pos, window->mapToGlobal(QPointF(pos)), {}, angle, Qt::NoButton, modifiers,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(window, &event);
}

// Right-clicks at `pos` in `widget` and chooses the item `caption` of the menu that opens.
// False when no such menu or item appeared.
inline bool ChooseFromPopup(QWidget* widget, QPoint pos, QMenu* menu, const QString& caption) {
  MouseClick(widget, pos, Qt::RightButton);
  if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000)) return false;
  for (QAction* action : menu->actions()) {
    if (action->text() != caption) continue;
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {},
                      menu->actionGeometry(action).center());
    return QTest::qWaitFor([menu] { return !menu->isVisible(); }, 2000);
  }
  menu->close();
  return false;
}

// The thumb of a scroll bar, in its own coordinates.
inline QRect ScrollThumb(QScrollBar* bar) {
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.orientation = bar->orientation();
  option.minimum = bar->minimum();
  option.maximum = bar->maximum();
  option.sliderPosition = bar->sliderPosition();
  option.pageStep = bar->pageStep();
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                      bar);
}

}  // namespace zarvo::test
