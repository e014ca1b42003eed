// The real program as a separate process: signals end it as the Exit command does, so the
// settings are written, also while a message box waits for the user, and the fax being received
// is saved with every row that arrived.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>

#include "settings/SettingsFile.h"
#include "support/ProgramRun.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
const std::string kBin = ZARVO_BIN_DIR;

// Starts the program on `home` (given as --home=DIR), sends `bytes` on its line once it reads
// it, lets it take them all, and ends it by `signal`.
int RunUntil(const test::TempDir& home, int signal, const std::vector<std::uint8_t>& bytes = {}) {
  test::Pty line;
  const test::Child child = test::StartProcess({kBin + "/zarvo-meteo", "--home=" + home.Path()},
                                               test::OffscreenEnv(home, line));
  if (child.Pid <= 0) return -2;
  test::WaitForTermHandler(child.Pid);
  const bool fed = bytes.empty() || (test::WaitForOpenDevice(child.Pid, line.SlavePath()) &&
                                     test::FeedLine(line, bytes, 0));
  // The input thread reads at least every 100 ms, and the decoder drains every millisecond.
  std::this_thread::sleep_for(bytes.empty() ? 500ms : 1500ms);
  kill(child.Pid, signal);
  const int code = test::WaitFor(child.Pid, 20s);
  close(child.OutFd);
  return fed ? code : -3;
}

// Running, and stopped at start-up by the calibration error box: SIGTERM, and SIGINT as well,
// end the run with the settings written (the stored left edge beyond the screen pulled back, or
// the calibration repaired), the tail after the record kept, and no fax.
TEST(Program, SignalsWriteTheSettings) {
  for (const bool errorBox : {false, true}) {
    SCOPED_TRACE(errorBox ? "at the error box" : "running");
    test::TempDir home;
    std::filesystem::create_directory(home.File("Auto"));
    ASSERT_TRUE(test::WriteSettingsRecord(
        home,
        std::string("InterfaceType = 1\nComPortName = COM1\nInVidWindow = 5000 10 300 400\n") +
            (errorBox ? "CalLow = 9\nCalHigh = 9\n" : "CalLow = 0\nCalHigh = 255\n")));
    auto bytes = home.Read(kSettingsFileName);
    bytes.resize(kSettingsSize + 60, 0xEE);
    home.Write(kSettingsFileName, bytes);
    EXPECT_EQ(RunUntil(home, errorBox ? SIGINT : SIGTERM), 0);

    bytes = home.Read(kSettingsFileName);
    ASSERT_EQ(bytes.size(), kSettingsSize + 60);
    EXPECT_EQ(bytes.back(), 0xEE);
    TSettings saved{};
    std::memcpy(&saved, bytes.data(), sizeof saved);
    EXPECT_EQ(std::pair(saved.CalLow, saved.CalHigh), std::pair(0, 255));
    EXPECT_EQ(saved.InVidWindow.Left < 5000, !errorBox);
    EXPECT_TRUE(test::SavedFaxes(home.File("Auto")).empty());
  }
}

TEST(Program, HelpAndVersionNeedNoDisplay) {
  const struct {
    const char *Args, *Begins;
    int Code;
  } cases[] = {{"--help", "Usage: zarvo-meteo [--home DIR]\n", 0},
               {"--version", "Zarvo Meteo 1.02\n", 0},
               {"--hmoe x", "zarvo-meteo: unknown option --hmoe\n", 2}};
  for (const auto& c : cases) {
    const auto out = test::Shell("env -i PATH=/usr/bin:/bin " + kBin + "/zarvo-meteo " + c.Args);
    EXPECT_EQ(out.Code, c.Code) << c.Args;
    EXPECT_EQ(out.Text.rfind(c.Begins, 0), 0u) << out.Text;
  }
}

// Part of a broadcast, then the end of the run: the fax being received is saved as an ended one
// is, with every row that reached the program.
TEST(Program, FaxBeingReceivedIsSavedAtTheEnd) {
  test::TempDir home;
  std::filesystem::create_directory(home.File("Auto"));
  // A 200-row chart at 120 LPM: 5 s of start tone, 5 s of phasing, then two rows a second.
  const auto sim = test::Shell(kBin + "/zarvo-sim --chart-height 200 --phasing-seconds 5 " +
                               "--noise 40 -o " + home.File("broadcast.raw"));
  ASSERT_EQ(sim.Code, 0) << sim.Text;
  const auto broadcast = test::ReadBytes(home.File("broadcast.raw"));
  ASSERT_GT(broadcast.size(), 7200u * 60);
  ASSERT_TRUE(test::WriteSettingsRecord(home, test::FirstTypeOnCom1(7)));
  // Ten seconds of tones, then 40.25 s of the picture: 80 rows and a quarter of the next.
  EXPECT_EQ(RunUntil(home, SIGTERM, {broadcast.begin(), broadcast.begin() + 7200 * 50 + 1800}), 0);
  const auto live = test::SavedFaxes(home.File("Auto"));
  ASSERT_EQ(live.size(), 1u);
  EXPECT_NEAR(ReadBmpFile(live[0]).Height(), 80.5, 2.5);
}

}  // namespace
}  // namespace zarvo
