#include "viewer/ViewPicture.h"

#include "app/Windows.h"
#include "platform/Help.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtWindowGeometry.h"
#include "settings/Settings.h"

namespace zarvo {

TViewPic::TViewPic() : QWidget(nullptr, Qt::Window) {
  ViewPic = this;
  NoteLifecycle("create ViewPic");
  setWindowTitle(QStringLiteral("View"));
  setCursor(Qt::CrossCursor);
  InstallHelpKey(this, kHelpViewer);
  RestoreGeometry(this, Settings.ViewPicWindow);
  ShowHints(!IsOn(Settings.DisableHints));
}

TViewPic::~TViewPic() {
  NoteLifecycle("destroy ViewPic");
  StoreGeometry(this, Settings.ViewPicWindow);
  if (ViewPic == this) ViewPic = nullptr;
}

}  // namespace zarvo
