#include "reception/ModeDialog.h"

#include "app/Windows.h"
#include "platform/Help.h"
#include "platform/QtHelpViewer.h"

namespace zarvo {

TModeDlg::TModeDlg() : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint) {
  ModeDlg = this;
  NoteLifecycle("create ModeDlg");
  setWindowTitle(QStringLiteral("Mode"));
  InstallHelpKey(this, kHelpReception);
}

TModeDlg::~TModeDlg() {
  NoteLifecycle("destroy ModeDlg");
  if (ModeDlg == this) ModeDlg = nullptr;
}

}  // namespace zarvo
