#pragma once
// Help topics and the help-viewer seam. The help pages ship in help/ beside the program, or in
// share/zarvo-meteo/help/ once installed.
#include <string>

namespace zarvo {

enum HelpTopic : int {
  kHelpGettingStarted = 100,
  kHelpReception = 1000,
  kHelpSpectrum = 1100,
  kHelpViewer = 1200,
  kHelpConfiguration = 5000,
};

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  virtual void ShowTopic(int topic) = 0;
};

// Installs the viewer used by OpenHelpTopic; nullptr means help does nothing.
void SetHelpViewer(HelpViewer* viewer);
void OpenHelpTopic(int topic);

// File name of a topic's page inside the help folder: "topic-1000.html".
std::string HelpPageName(int topic);

}  // namespace zarvo
