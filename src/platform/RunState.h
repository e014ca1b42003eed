#pragma once
// The run: from the program's start until its main window is closed. The program runs once;
// the tests run it, and its windows, many times, each time from a new run.
#include <functional>

namespace zarvo {

// What closing the main window does on the platform: hide it and, the first time, end the
// message loop. The application object installs it; without it a close only ends the run.
using MainWindowCloser = std::function<void(bool first)>;
void SetMainWindowCloser(MainWindowCloser closer);

// Closes the main window: the run is over. Works also before the loop has started, and again.
void CloseMain();
// True once the main window has been closed in this run.
bool MainClosed();
// A new run: the main window not closed, no message box counted as showing.
void ResetRunState();

}  // namespace zarvo
