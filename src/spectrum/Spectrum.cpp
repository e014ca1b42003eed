#include "spectrum/Spectrum.h"

#include "app/Windows.h"
#include "platform/Help.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtWindowGeometry.h"
#include "settings/Settings.h"

namespace zarvo {

TSpec::TSpec() : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  Spec = this;
  NoteLifecycle("create Spec");
  setWindowTitle(QStringLiteral("Spectrum"));
  InstallHelpKey(this, kHelpSpectrum);
  RestoreGeometry(this, Settings.SpecWindow);
}

TSpec::~TSpec() {
  NoteLifecycle("destroy Spec");
  StoreGeometry(this, Settings.SpecWindow);
  if (Spec == this) Spec = nullptr;
}

}  // namespace zarvo
