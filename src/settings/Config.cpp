#include "settings/Config.h"

#include "app/Windows.h"
#include "platform/Help.h"
#include "platform/ProgramFolder.h"
#include "platform/QtHelpViewer.h"

namespace zarvo {

TConf::TConf()
    : QWidget(nullptr, Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint) {
  Conf = this;
  NoteLifecycle("create Conf");
  setWindowTitle(QStringLiteral("Configuration Menu"));
  setFixedSize(593, 303);
  InstallHelpKey(this, kHelpConfiguration);
  file_.Load();
  if (!file_.Loaded()) return;  // the fatal report has ended the run
  // A new installation has no Auto folder yet: show the page that tells how to start.
  if (!PathExists(ProgramFile("Auto"))) OpenHelpTopic(kHelpGettingStarted);
}

TConf::~TConf() {
  NoteLifecycle("destroy Conf");
  file_.Save();
  if (Conf == this) Conf = nullptr;
}

}  // namespace zarvo
