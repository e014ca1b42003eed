#pragma once
// Mouse input as the window system delivers it: to the top-level window at a point, from where Qt
// finds the widget under it, hands what a widget ignores on to its parent, repaints between press
// and release, and makes the context-menu event of a right click. Sending an event straight to a
// widget, or calling its click(), skips all of that.
#include <QTest>
#include <QtWidgets>

namespace zarvo::test {

// The event goes to the top-level window, at `pos` in `widget` mapped to the window.
inline void MouseClick(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QTest::mouseClick(widget->window()->windowHandle(), button, {},
                    widget->mapTo(widget->window(), pos));
}

// A click in the middle of `widget`.
inline void MouseClick(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
  MouseClick(widget, widget->rect().center(), button);
}

inline void MousePress(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QTest::mousePress(widget->window()->windowHandle(), button, {},
                    widget->mapTo(widget->window(), pos));
}

inline void MouseRelease(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QTest::mouseRelease(widget->window()->windowHandle(), button, {},
                      widget->mapTo(widget->window(), pos));
}

// A move with whatever buttons are held since the last press.
inline void MouseMove(QWidget* widget, QPoint pos) {
  QTest::mouseMove(widget->window()->windowHandle(), widget->mapTo(widget->window(), pos));
}

// A turn of the wheel over `pos` in `widget`, `angle` in eighths of a degree (120 a notch, positive
// away from the user), given to the top-level window, which hands it to the widget under it.
inline void Wheel(QWidget* widget, QPoint pos, QPoint angle, Qt::KeyboardModifiers modifiers = {}) {
  QWindow* window = widget->window()->windowHandle();
  const QPointF at = widget->mapTo(widget->window(), pos);
  QWheelEvent event(at, window->mapToGlobal(at), {}, angle, Qt::NoButton, modifiers,
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
  struct Open : QScrollBar {
    using QScrollBar::initStyleOption;  // protected: reached through a pointer to member
  };
  QStyleOptionSlider option;
  (bar->*&Open::initStyleOption)(&option);
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                      bar);
}

}  // namespace zarvo::test
