#include "settings/QtWindowGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "platform/WindowPlacement.h"

namespace zarvo {
namespace {

void Restore(QWidget* window, int left, int top, int clientWidth, int clientHeight) {
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  const QSize screenSize = screen ? screen->geometry().size() : QSize(1280, 800);
  // The frame is known only once the window has been shown; before that it counts as none.
  const QSize frame = window->frameGeometry().size() - window->size();
  const WindowPlacement p = PlaceWindow(left, top, clientWidth, clientHeight, frame.width(),
                                        frame.height(), screenSize.width(), screenSize.height());
  window->resize(p.ClientWidth, p.ClientHeight);
  window->move(p.Left, p.Top);
}

}  // namespace

void RestoreGeometry(QWidget* window, const WindowBlock& block) {
  Restore(window, block.Left, block.Top, block.ClientWidth, block.ClientHeight);
}

void RestoreGeometry(QWidget* window, const ViewWindowBlock& block) {
  Restore(window, block.Left, block.Top, block.ClientWidth, block.ClientHeight);
}

void StoreGeometry(const QWidget* window, WindowBlock& block) {
  block.Left = window->x();
  block.Top = window->y();
  block.ClientHeight = window->height();
  block.ClientWidth = window->width();
}

void StoreGeometry(const QWidget* window, ViewWindowBlock& block) {
  block.Left = window->x();
  block.Top = window->y();
  block.ClientWidth = window->width();
  block.ClientHeight = window->height();
}

}  // namespace zarvo
