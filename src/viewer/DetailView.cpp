#include "viewer/DetailView.h"

#include "app/Windows.h"
#include "platform/Help.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtWindowGeometry.h"
#include "settings/Settings.h"

namespace zarvo {

TDetail::TDetail() : QWidget(nullptr, Qt::Window) {
  Detail = this;
  NoteLifecycle("create Detail");
  setWindowTitle(QStringLiteral("Detailed View"));
  InstallHelpKey(this, kHelpReception);
  RestoreGeometry(this, Settings.DetailWindow);
}

TDetail::~TDetail() {
  NoteLifecycle("destroy Detail");
  StoreGeometry(this, Settings.DetailWindow);
  if (Detail == this) Detail = nullptr;
}

}  // namespace zarvo
