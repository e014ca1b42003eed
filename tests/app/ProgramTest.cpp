// The real program as a separate process: signals end it as the Exit command does, so the
// settings are written, also while a message box waits for the user, and the fax being received
// is saved with every row that arrived.
#include <gtest/gtest.h>

#include "settings/SettingsFile.h"
#include "support/ProgramRun.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
const std::string kBin = ZARVO_BIN_DIR;

// Stopped at start-up by the calibration error box, SIGINT ends the run with the settings
// written: the calibration repaired, and no fax. (SIGTERM while a fax is being received: LiveTest.)
TEST(Program, SignalAtTheErrorBoxWritesTheSettings) {
  test::TempDir home;
  ASSERT_TRUE(test::WriteSettingsRecord(
      home, "InterfaceType = 1\nComPortName = COM1\nCalLow = 9\nCalHigh = 9\n"));
  test::Pty line;
  const test::Child child = test::StartProcess({kBin + "/zarvo-meteo", "--home=" + home.Path()},
                                               test::OffscreenEnv(home, line));
  ASSERT_GT(child.Pid, 0);
  test::WaitForTermHandler(child.Pid);
  std::this_thread::sleep_for(500ms);  // the error box is up
  kill(child.Pid, SIGINT);
  EXPECT_EQ(test::WaitFor(child.Pid, 20s), 0);
  close(child.OutFd);
  TSettings saved{};
  EXPECT_TRUE(ReadSettingsFile(home.File(kSettingsFileName), saved));
  EXPECT_EQ(std::pair(saved.CalLow, saved.CalHigh), std::pair(0, 255));
  EXPECT_TRUE(test::SavedFaxes(home.File("Auto")).empty());
}

// The help also tells where COM1..COM4 lead, and how to change it.
TEST(Program, HelpAndVersionNeedNoDisplay) {
  const std::tuple<const char*, int, const char*, const char*> cases[] = {
      {"--help", 0, "Usage: zarvo-meteo [--home DIR] [--demo]\n", "ZARVO_COM1"},
      {"--help", 0, "Usage:", "chosen for them in the configuration window"},
      {"--version", 0, "Zarvo Meteo 1.02\n", ""},
      {"--hmoe x", 2, "zarvo-meteo: unknown option --hmoe\n", ""}};
  for (const auto& [args, code, begins, holds] : cases) {
    const auto out = test::Shell("env -i PATH=/usr/bin:/bin " + kBin + "/zarvo-meteo " + args);
    EXPECT_TRUE(out.Code == code && out.Text.rfind(begins, 0) == 0 &&
                out.Text.find(holds) != std::string::npos)
        << args << ": " << out.Text;
  }
}

}  // namespace
}  // namespace zarvo
