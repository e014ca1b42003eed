#pragma once
#include <QString>

#include "platform/Help.h"

class QTextBrowser;
class QWidget;

namespace zarvo {

// Shows the help pages, in one reusable window.
class QtHelpViewer final : public HelpViewer {
 public:
  ~QtHelpViewer() override;
  void ShowTopic(int topic) override;
  // The window, once a topic has been shown (tests look at it).
  QTextBrowser* Window() const { return window_; }
  // Where a topic's page is looked for: beside the program, in the program folder, in the
  // installed share/zarvo-meteo/, then in the registered folder.
  static QString FindPage(int topic);

 private:
  QTextBrowser* window_ = nullptr;
};

// Records the current working folder as the folder of "Zarvo.hlp" in the user's settings.
// Failures are silent: help then still finds its pages beside the program.
void RegisterHelpFolder();
// The folder recorded by RegisterHelpFolder ("" when none).
QString RegisteredHelpFolder();

// F1 on `window` opens its help topic.
void InstallHelpKey(QWidget* window, int topic);

}  // namespace zarvo
