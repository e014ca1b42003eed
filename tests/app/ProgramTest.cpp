// The real program as a separate process: signals end it as the Exit command does, so the
// settings are written, also while a message box waits for the user, and the fax being received
// is saved with every row that arrived.
#include <gtest/gtest.h>
#include <signal.h>

#include "settings/SettingsFile.h"
#include "support/ProgramRun.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
const std::string kBin = ZARVO_BIN_DIR;

// Runs the program on `home` (given as --home=DIR) with `record` as its settings, sends `bytes`
// on its line once it reads it, lets it take them all, and ends it by `signal`. The settings it
// wrote at the end.
TSettings RunUntil(const test::TempDir& home, const std::string& record, int signal,
                   const std::vector<std::uint8_t>& bytes = {}) {
  std::filesystem::create_directory(home.File("Auto"));
  EXPECT_TRUE(test::WriteSettingsRecord(home, record));
  test::Pty line;
  const test::Child child = test::StartProcess({kBin + "/zarvo-meteo", "--home=" + home.Path()},
                                               test::OffscreenEnv(home, line));
  if (child.Pid <= 0) return {};  // a settings file left as it was
  test::WaitForTermHandler(child.Pid);
  EXPECT_TRUE(bytes.empty() || (test::WaitForOpenDevice(child.Pid, line.SlavePath()) &&
                                test::FeedLine(line, bytes, 0)));
  // The input thread reads at least every 100 ms, and the decoder drains every millisecond.
  std::this_thread::sleep_for(bytes.empty() ? 500ms : 1500ms);
  kill(child.Pid, signal);
  EXPECT_EQ(test::WaitFor(child.Pid, 20s), 0);
  close(child.OutFd);
  TSettings saved{};
  EXPECT_TRUE(ReadSettingsFile(home.File(kSettingsFileName), saved));
  return saved;
}

// Stopped at start-up by the calibration error box, SIGINT ends the run with the settings
// written: the calibration repaired, and no fax.
TEST(Program, SignalAtTheErrorBoxWritesTheSettings) {
  test::TempDir home;
  const TSettings saved =
      RunUntil(home, "InterfaceType = 1\nComPortName = COM1\nCalLow = 9\nCalHigh = 9\n", SIGINT);
  EXPECT_EQ(std::pair(saved.CalLow, saved.CalHigh), std::pair(0, 255));
  EXPECT_TRUE(test::SavedFaxes(home.File("Auto")).empty());
}

// Part of a broadcast, then SIGTERM: the fax being received is saved as an ended one is, with
// every row that reached the program, and the settings are written (the stored left edge beyond
// the screen pulled back).
TEST(Program, SignalWhileReceivingSavesTheFaxAndTheSettings) {
  test::TempDir home;
  // A 200-row chart at 120 LPM: 5 s of start tone, 5 s of phasing, then two rows a second.
  const auto sim = test::Shell(kBin + "/zarvo-sim --chart-height 200 --phasing-seconds 5 " +
                               "--noise 40 -o " + home.File("broadcast.raw"));
  ASSERT_EQ(sim.Code, 0) << sim.Text;
  const auto broadcast = test::ReadBytes(home.File("broadcast.raw"));
  ASSERT_GT(broadcast.size(), 7200u * 60);
  // Ten seconds of tones, then 40.25 s of the picture: 80 rows and a quarter of the next.
  const TSettings saved =
      RunUntil(home, test::FirstTypeOnCom1(7) + "InVidWindow = 5000 10 300 400\n", SIGTERM,
               {broadcast.begin(), broadcast.begin() + 7200 * 50 + 1800});
  EXPECT_LT(saved.InVidWindow.Left, 5000);
  const auto live = test::SavedFaxes(home.File("Auto"));
  ASSERT_EQ(live.size(), 1u);
  EXPECT_NEAR(ReadBmpFile(live[0]).Height(), 80.5, 2.5);
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
