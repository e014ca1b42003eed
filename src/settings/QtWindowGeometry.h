#pragma once
// Restoring and storing the geometry blocks of the settings record on Qt windows.
#include "settings/Settings.h"

class QWidget;

namespace zarvo {

void RestoreGeometry(QWidget* window, const WindowBlock& block);
void RestoreGeometry(QWidget* window, const ViewWindowBlock& block);
void StoreGeometry(const QWidget* window, WindowBlock& block);
void StoreGeometry(const QWidget* window, ViewWindowBlock& block);

}  // namespace zarvo
