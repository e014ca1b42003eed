#include "platform/QtHelpViewer.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

#include "platform/DataFolder.h"
#include "platform/Messages.h"
#include "platform/ProgramFolder.h"

namespace zarvo {
namespace {

const char* const kRegistryKey = "Help/Zarvo.hlp";

QSettings UserSettings() {
  return QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo"));
}

}  // namespace

void RegisterHelpFolder() {
  const QString folder = QDir::currentPath();
  if (folder.isEmpty()) return;
  QSettings settings = UserSettings();
  settings.setValue(kRegistryKey, folder);
  settings.sync();
}

QString RegisteredHelpFolder() {
  return UserSettings().value(kRegistryKey).toString();
}

QString QtHelpViewer::FindPage(int topic) {
  const QString page = QString::fromStdString(HelpPageName(topic));
  // The pages ship beside the executable in a build tree and under share/ once installed;
  // --home moves only the settings and the faxes.
  for (const std::string& folder :
       {ExecutableFolder(), ProgramFolder(), InstalledDataFolder(ExecutableFolder())}) {
    const QString beside = QString::fromStdString(folder + "help/") + page;
    if (QFileInfo::exists(beside)) return beside;
  }
  const QString registered = RegisteredHelpFolder();
  if (!registered.isEmpty()) {
    const QString there = QDir(registered).filePath(QStringLiteral("help/") + page);
    if (QFileInfo::exists(there)) return there;
  }
  return {};
}

QtHelpViewer::~QtHelpViewer() {
  delete window_;
}

void QtHelpViewer::ShowTopic(int topic) {
  const QString page = FindPage(topic);
  if (page.isEmpty()) {
    ReportError("Help topic %d cannot be found; the help pages belong in \"%s\" or \"%s\"", topic,
                (ExecutableFolder() + "help").c_str(),
                (InstalledDataFolder(ExecutableFolder()) + "help").c_str());
    return;
  }
  if (!window_) {
    window_ = new QTextBrowser;
    window_->setWindowTitle(QStringLiteral("Zarvo Meteo Help"));
    window_->setOpenExternalLinks(false);
    window_->resize(560, 480);
  }
  window_->setSource(QUrl::fromLocalFile(page));
  window_->show();
  window_->raise();
  window_->activateWindow();
  // Opened during start-up, the page must stay above the windows created after it.
  QTimer::singleShot(0, window_, [w = window_] { w->raise(); });
}

void InstallHelpKey(QWidget* window, int topic) {
  auto* key = new QShortcut(QKeySequence(Qt::Key_F1), window);
  key->setContext(Qt::WindowShortcut);
  QObject::connect(key, &QShortcut::activated, window, [topic] { OpenHelpTopic(topic); });
}

}  // namespace zarvo
