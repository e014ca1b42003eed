#include "platform/RunState.h"

#include "platform/Messages.h"

namespace zarvo {
namespace {

bool mainClosed = false;
MainWindowCloser mainWindowCloser;

}  // namespace

void SetMainWindowCloser(MainWindowCloser closer) {
  mainWindowCloser = std::move(closer);
}

void CloseMain() {
  const bool first = !mainClosed;
  mainClosed = true;
  if (mainWindowCloser) mainWindowCloser(first);
}

bool MainClosed() {
  return mainClosed;
}

void ResetRunState() {
  mainClosed = false;
  ResetMessageState();
}

}  // namespace zarvo
