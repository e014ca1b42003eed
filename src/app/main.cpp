#include <cstdio>

#include "app/MainProg.h"
#include "app/Version.h"
#include "capture/PulseSound.h"
#include "demo/DemoInterface.h"
#include "platform/DesktopNotifier.h"
#include "platform/FaxAnnouncer.h"
#include "platform/Messages.h"
#include "platform/QtDialogs.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtMessageBoxes.h"
#include "platform/Termination.h"
#include "viewer/ViewPicture.h"

int main(int argc, char** argv) {
  using namespace zarvo;
  // Read before the application object exists, so that --help works without a display.
  const ProgramOptions options = ParseCommandLine(argc, argv);
  if (!options.Error.empty()) {
    std::fprintf(stderr, "zarvo-meteo: %s\n\n%s", options.Error.c_str(), UsageText().c_str());
    return 2;
  }
  if (options.Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.Version) {
    std::printf("Zarvo Meteo %s\n", VersionText().substr(8).c_str());
    return 0;
  }

  // The demo's interface must be there before the reception window opens its port.
  zarvo::demo::DemoInterface demo;
  if (options.Demo) {
    std::string error;
    if (!demo.Start(error)) {
      std::fprintf(stderr, "zarvo-meteo: %s\n", error.c_str());
      return 2;
    }
    std::printf("Zarvo Meteo demo: a simulated interface streams broadcasts on %s\n",
                demo.DevicePath().c_str());
    std::fflush(stdout);
  }

  TZarvoApplication app(argc, argv);
  // The run ends when the main window closes, not when the last visible window does.
  QApplication::setQuitOnLastWindowClosed(false);
  QtMessageBoxes boxes(CloseMain);
  SetMessageBoxes(&boxes);
  QtHelpViewer help;
  SetHelpViewer(&help);
  QtFileDialogs dialogs;
  SetFileDialogs(&dialogs);
  QtPrintTarget printer;
  SetPrintTarget(&printer);
  PulseSoundOpener sound;
  SetSoundPortOpener(&sound);
  SetSoundSourceLister(&ListPulseSources);
  DesktopNotifier notifier(OpenInViewer);
  SetFaxAnnouncer(&notifier);
  InstallTerminationHandlers(CloseMain);
  const int code = RunProgram(options);
  SetFaxAnnouncer(nullptr);
  SetSoundSourceLister(nullptr);
  SetSoundPortOpener(nullptr);
  SetPrintTarget(nullptr);
  SetFileDialogs(nullptr);
  SetHelpViewer(nullptr);
  SetMessageBoxes(nullptr);
  return code;
}
