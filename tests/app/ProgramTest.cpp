// The real program as a separate process: signals end it as the Exit command does, so the
// settings are written, also while a message box waits for the user, and the fax being received
// is saved with every row that arrived.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "settings/SettingsFile.h"
#include "support/ProgramRun.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
const std::string kBin = ZARVO_BIN_DIR;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    std::filesystem::create_directory(home.File("decoded"));
  }
  // Starts the program on the home folder, sends `bytes` on its line once it reads it, lets it
  // take them all, and ends it by `signal`.
  int RunUntil(int signal, const std::vector<std::uint8_t>& bytes = {}) {
    const test::Child child = test::StartProcess({kBin + "/zarvo-meteo", "--home", home.Path()},
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
  test::TempDir home;
  test::Pty line;
};

// Running, and stopped at start-up by the calibration error box: SIGTERM, and SIGINT as well,
// end the run with the settings written, the tail after the record kept.
TEST_F(ProgramTest, SignalsWriteTheSettings) {
  for (const bool errorBox : {false, true}) {
    SCOPED_TRACE(errorBox ? "at the error box" : "running");
    ASSERT_TRUE(test::WriteSettingsRecord(
        home,
        std::string("InterfaceType = 1\nComPortName = COM1\nInVidWindow = 5000 10 300 400\n") +
            (errorBox ? "CalLow = 9\nCalHigh = 9\n" : "CalLow = 0\nCalHigh = 255\n")));
    auto bytes = home.Read(kSettingsFileName);
    bytes.resize(kSettingsSize + 60, 0xEE);
    home.Write(kSettingsFileName, bytes);
    EXPECT_EQ(RunUntil(errorBox ? SIGINT : SIGTERM), 0);

    bytes = home.Read(kSettingsFileName);
    ASSERT_EQ(bytes.size(), kSettingsSize + 60);
    EXPECT_EQ(bytes.back(), 0xEE);
    TSettings saved{};
    std::memcpy(&saved, bytes.data(), sizeof saved);
    EXPECT_EQ(saved.CalLow, 0);
    EXPECT_EQ(saved.CalHigh, 255);
    if (errorBox) continue;
    // The stored left edge beyond the screen was pulled back and written at the end.
    EXPECT_LT(saved.InVidWindow.Left, 5000);
    EXPECT_EQ(saved.InVidWindow.ClientWidth, 400);
  }
  EXPECT_TRUE(test::SavedFaxes(home.File("Auto")).empty());  // no picture was open
}

TEST(ProgramOptions, HelpAndVersionNeedNoDisplay) {
  const struct {
    const char* Args;
    int Code;
    const char* Text;
    bool Whole;  // the whole output, not a part of it
  } cases[] = {{"--help", 0, "--home DIR", false},
               {"--help", 0, "ZARVO_COM1", false},
               {"--help", 0, "chosen for them in the configuration window", false},
               {"--version", 0, "Zarvo Meteo 1.02\n", true},
               {"--hmoe x", 2, "zarvo-meteo: unknown option --hmoe", false}};
  for (const auto& c : cases) {
    const auto out = test::Shell("env -i PATH=/usr/bin:/bin " + kBin + "/zarvo-meteo " + c.Args);
    EXPECT_EQ(out.Code, c.Code) << c.Args;
    EXPECT_TRUE(c.Whole ? out.Text == c.Text : out.Text.find(c.Text) != std::string::npos)
        << c.Args << ": " << out.Text;
  }
}

// Part of a broadcast, then the end of the run: the fax being received is saved as an ended one
// is, with every row that reached the program, just as zarvo-decode saves the same bytes.
TEST_F(ProgramTest, FaxBeingReceivedIsSavedAtTheEnd) {
  // A 200-row chart at 120 LPM: 5 s of start tone, 5 s of phasing, then two rows a second.
  const auto sim = test::Shell(kBin + "/zarvo-sim --chart-height 200 --phasing-seconds 5 " +
                               "--noise 40 -o " + home.File("broadcast.raw"));
  ASSERT_EQ(sim.Code, 0) << sim.Text;
  const auto broadcast = test::ReadBytes(home.File("broadcast.raw"));
  ASSERT_GT(broadcast.size(), 7200u * 60);
  // Ten seconds of tones, then 40.25 s of the picture: 80 rows and a quarter of the next.
  std::vector<std::uint8_t> part(broadcast.begin(), broadcast.begin() + 7200 * 50 + 1800);
  ASSERT_TRUE(test::WriteSettingsRecord(home, test::FirstTypeOnCom1(7)));
  EXPECT_EQ(RunUntil(SIGTERM, part), 0);
  home.Write("part.raw", {part.begin(), part.end()});
  const auto decode = test::Shell(kBin + "/zarvo-decode --out " + home.File("decoded") + " " +
                                  home.File("part.raw"));
  ASSERT_EQ(decode.Code, 0) << decode.Text;
  const auto live = test::SavedFaxes(home.File("Auto"));
  const auto decoded = test::SavedFaxes(home.File("decoded"));
  ASSERT_EQ(decoded.size(), 1u) << decode.Text;
  ASSERT_EQ(live.size(), 1u);
  EXPECT_TRUE(test::SamePicture(live[0], decoded[0]));
  const int rows = ReadBmpFile(live[0]).Height();
  EXPECT_GE(rows, 78);
  EXPECT_LE(rows, 83);
}

}  // namespace
}  // namespace zarvo
