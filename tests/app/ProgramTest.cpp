// The real program as a separate process: signals end it as the Exit command does, so the
// settings are written, also while a message box waits for the user.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "settings/SettingsDescription.h"
#include "settings/SettingsFile.h"
#include "support/Pty.h"
#include "support/TempDir.h"

extern char** environ;

namespace zarvo {
namespace {

using test::TempDir;
const std::string kProgram = ZARVO_BIN_DIR "/zarvo-meteo";

struct Child {
  pid_t Pid = -1;
  int OutFd = -1;
};

Child Start(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  Child child;
  if (posix_spawn(&child.Pid, kProgram.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
    child.Pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  child.OutFd = out[0];
  return child;
}

// Exit status, or -1 if the child did not end within the time.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<std::size_t>(n));
  close(fd);
  return text;
}

// Every COM port is the test's pseudo-terminal, never a serial port of the machine.
std::vector<std::string> OffscreenEnv(const TempDir& dir, const test::Pty& line) {
  std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "HOME=" + dir.Path(),
                                  "XDG_CONFIG_HOME=" + dir.File("config"),
                                  "XDG_RUNTIME_DIR=" + dir.Path(), "PATH=/usr/bin:/bin"};
  for (int n = 1; n <= 4; ++n)
    env.push_back("ZARVO_COM" + std::to_string(n) + "=" + line.SlavePath());
  return env;
}

// Until the program has its SIGTERM handler, the signal would simply kill it.
void WaitForTermHandler(pid_t pid) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < end) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("SigCgt:", 0) == 0 &&
          (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1))
        return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

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
    Child child = Start({kProgram, "--home", home.Path()}, OffscreenEnv(home, line));
    if (child.Pid <= 0) return -2;
    WaitForTermHandler(child.Pid);
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
  Child help = Start({kProgram, "--help"}, bare);
  ASSERT_GT(help.Pid, 0);
  const std::string usage = ReadAll(help.OutFd);
  EXPECT_EQ(WaitFor(help.Pid, std::chrono::seconds(5)), 0);
  EXPECT_NE(usage.find("--home DIR"), std::string::npos);
  EXPECT_NE(usage.find("ZARVO_COM1"), std::string::npos);

  Child version = Start({kProgram, "--version"}, bare);
  ASSERT_GT(version.Pid, 0);
  EXPECT_EQ(ReadAll(version.OutFd), "Zarvo Meteo 1.02\n");
  EXPECT_EQ(WaitFor(version.Pid, std::chrono::seconds(5)), 0);

  Child bad = Start({kProgram, "--hmoe", "x"}, bare);
  ASSERT_GT(bad.Pid, 0);
  close(bad.OutFd);
  EXPECT_EQ(WaitFor(bad.Pid, std::chrono::seconds(5)), 2);
}

}  // namespace
}  // namespace zarvo
