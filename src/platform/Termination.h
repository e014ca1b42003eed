#pragma once
#include <functional>

namespace zarvo {

// SIGTERM, SIGINT and SIGHUP, and the end of the desktop session, call `onRequest` on the GUI
// thread. After the first signal the default action is back, so a second one ends the program
// at once. Needs the application object.
void InstallTerminationHandlers(std::function<void()> onRequest);

}  // namespace zarvo
