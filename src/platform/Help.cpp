#include "platform/Help.h"

namespace zarvo {
namespace {
HelpViewer* helpViewer = nullptr;
}

void SetHelpViewer(HelpViewer* viewer) {
  helpViewer = viewer;
}

void OpenHelpTopic(int topic) {
  if (helpViewer) helpViewer->ShowTopic(topic);
}

std::string HelpPageName(int topic) {
  return "topic-" + std::to_string(topic) + ".html";
}

}  // namespace zarvo
