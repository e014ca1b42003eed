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

#include "settings/SettingsDescription.h"
#include "settings/SettingsFile.h"
#include "support/ProgramRun.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using test::Child;
using test::OffscreenEnv;
using test::StartProcess;
using test::TempDir;
using test::WaitFor;
using namespace std::chrono_literals;
const std::string kProgram = ZARVO_BIN_DIR "/zarvo-meteo";
const std::string kBin = ZARVO_BIN_DIR;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    std::string error;
    ASSERT_TRUE(ParseSettingsDescription(
        "InterfaceType = 1\nCalLow = 0\nCalHigh = 255\nComPortName = COM1\n"
        "InVidWindow = 5000 10 300 400\n",
        record, error));
  }
  void WriteRecord(std::size_t tail = 0) {
    std::vector<unsigned char> bytes(reinterpret_cast<unsigned char*>(&record),
                                     reinterpret_cast<unsigned char*>(&record) + sizeof record);
    bytes.resize(bytes.size() + tail, 0xEE);
    home.Write(kSettingsFileName, bytes);
  }
  // Starts the program on the home folder, lets it come up, stops it with SIGTERM.
  int RunAndTerminate() {
    Child child = StartProcess({kProgram, "--home", home.Path()}, OffscreenEnv(home, line));
    if (child.Pid <= 0) return -2;
    test::WaitForTermHandler(child.Pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(child.Pid, SIGTERM);
    const int code = WaitFor(child.Pid, std::chrono::seconds(10));
    close(child.OutFd);
    return code;
  }
  TempDir home;
  test::Pty line;
  TSettings record{};
};

TEST_F(ProgramTest, SigtermWritesTheSettings) {
  WriteRecord(60);
  EXPECT_EQ(RunAndTerminate(), 0);

  const auto bytes = home.Read(kSettingsFileName);
  ASSERT_EQ(bytes.size(), kSettingsSize + 60);
  EXPECT_EQ(bytes.back(), 0xEE);  // the tail after the record stays
  TSettings saved{};
  std::memcpy(&saved, bytes.data(), sizeof saved);
  // The stored left edge beyond the screen was pulled back and written at the end.
  EXPECT_LT(saved.InVidWindow.Left, 5000);
  EXPECT_EQ(saved.InVidWindow.ClientWidth, 400);
  EXPECT_TRUE(test::SavedFaxes(home.File("Auto")).empty());  // no picture was open
}

TEST_F(ProgramTest, SigtermWhileAnErrorBoxWaitsStillWritesTheSettings) {
  record.CalLow = record.CalHigh = 9;  // start-up stops at the calibration error box
  WriteRecord();
  EXPECT_EQ(RunAndTerminate(), 0);
  TSettings saved{};
  ASSERT_TRUE(ReadSettingsFile(home.File(kSettingsFileName), saved));
  EXPECT_EQ(saved.CalLow, 0);
  EXPECT_EQ(saved.CalHigh, 255);
}

TEST_F(ProgramTest, HelpAndVersionNeedNoDisplay) {
  const std::vector<std::string> bare = {"PATH=/usr/bin:/bin"};
  Child help = StartProcess({kProgram, "--help"}, bare);
  ASSERT_GT(help.Pid, 0);
  const std::string usage = test::ReadAll(help.OutFd);
  EXPECT_EQ(WaitFor(help.Pid, std::chrono::seconds(5)), 0);
  EXPECT_NE(usage.find("--home DIR"), std::string::npos);
  EXPECT_NE(usage.find("ZARVO_COM1"), std::string::npos);

  Child version = StartProcess({kProgram, "--version"}, bare);
  ASSERT_GT(version.Pid, 0);
  EXPECT_EQ(test::ReadAll(version.OutFd), "Zarvo Meteo 1.02\n");
  EXPECT_EQ(WaitFor(version.Pid, std::chrono::seconds(5)), 0);

  Child bad = StartProcess({kProgram, "--hmoe", "x"}, bare);
  ASSERT_GT(bad.Pid, 0);
  close(bad.OutFd);
  EXPECT_EQ(WaitFor(bad.Pid, std::chrono::seconds(5)), 2);
}

// Part of a broadcast, then the end of the run: the fax being received is saved as an ended one
// is, with every row that reached the program, just as zarvo-decode saves the same bytes.
class ReceptionAtCloseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(home.File("Auto"));
    std::filesystem::create_directory(home.File("decoded"));
    // A 200-row chart at 120 LPM: 5 s of start tone, 5 s of phasing, then two rows a second.
    const auto sim = test::Shell(kBin + "/zarvo-sim --chart-height 200 --phasing-seconds 5 " +
                                 "--noise 40 -o " + home.File("broadcast.raw"));
    ASSERT_EQ(sim.Code, 0) << sim.Text;
    broadcast = test::ReadBytes(home.File("broadcast.raw"));
    ASSERT_GT(broadcast.size(), 7200u * 60);
  }
  // The first `seconds` of the broadcast, also as a file for zarvo-decode.
  std::vector<std::uint8_t> FirstSeconds(double seconds) {
    const auto count = static_cast<std::size_t>(7200 * seconds);
    std::vector<std::uint8_t> part(broadcast.begin(), broadcast.begin() + count);
    home.Write("part.raw", std::vector<unsigned char>(part.begin(), part.end()));
    return part;
  }
  // Runs the program, sends `bytes` on its line, lets it take them all, and ends it by `signal`.
  int ReceiveThenSignal(const std::vector<std::uint8_t>& bytes, int signal) {
    Child child = StartProcess({kProgram, "--home", home.Path()}, OffscreenEnv(home, line));
    if (child.Pid <= 0) return -2;
    test::WaitForTermHandler(child.Pid);
    const bool fed =
        test::WaitForOpenDevice(child.Pid, line.SlavePath()) && test::FeedLine(line, bytes, 0);
    // The input thread reads at least every 100 ms, and the decoder drains every millisecond.
    std::this_thread::sleep_for(1500ms);
    kill(child.Pid, signal);
    const int code = WaitFor(child.Pid, 20s);
    close(child.OutFd);
    return fed ? code : -3;
  }
  TempDir home;
  test::Pty line;
  std::vector<std::uint8_t> broadcast;
};

TEST_F(ReceptionAtCloseTest, SigtermSavesTheFaxBeingReceived) {
  ASSERT_TRUE(test::WriteSettingsRecord(home, test::FirstTypeOnCom1(7)));
  // Ten seconds of tones, then 40.25 s of the picture: 80 rows and a quarter of the next.
  const auto part = FirstSeconds(50.25);
  EXPECT_EQ(ReceiveThenSignal(part, SIGTERM), 0);
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

TEST_F(ReceptionAtCloseTest, NothingIsSavedWithAutomaticSavingOff) {
  ASSERT_TRUE(test::WriteSettingsRecord(home, test::FirstTypeOnCom1(0)));
  EXPECT_EQ(ReceiveThenSignal(FirstSeconds(20), SIGINT), 0);
  EXPECT_TRUE(test::SavedFaxes(home.File("Auto")).empty());
}

}  // namespace
}  // namespace zarvo
