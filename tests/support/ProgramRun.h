#pragma once
// The real programs as processes: zarvo-meteo in a home folder of its own with a pseudo-terminal
// as every COM port, the command-line tools, and the faxes they save compared pixel by pixel.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/BmpCodec.h"
#include "settings/SettingsDescription.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace zarvo::test {

struct Child {
  pid_t Pid = -1;
  int OutFd = -1;  // its standard output
};

inline Child StartProcess(const std::vector<std::string>& args,
                          const std::vector<std::string>& env) {
  std::vector<char*> argv, envp;
  for (const auto& s : args) argv.push_back(const_cast<char*>(s.c_str()));
  for (const auto& s : env) envp.push_back(const_cast<char*>(s.c_str()));
  argv.push_back(nullptr), envp.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  Child child{-1, out[0]};
  if (posix_spawn(&child.Pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
    child.Pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  return child;
}

// Polls `done` every 20 ms until it holds (true) or `limit` has passed (false).
template <typename Done>
bool PollUntil(Done done, std::chrono::milliseconds limit) {
  for (const auto end = std::chrono::steady_clock::now() + limit; !done();
       std::this_thread::sleep_for(std::chrono::milliseconds(20)))
    if (std::chrono::steady_clock::now() >= end) return false;
  return true;
}

// Exit status, or -1 if the child did not end within the time (it is killed then).
inline int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
  int status = 0;
  if (PollUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit))
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// A command through the shell: its exit code and everything it printed.
struct ShellOutput {
  int Code = -1;
  std::string Text;
};
inline ShellOutput Shell(const std::string& command) {
  ShellOutput out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return out;
  for (int c; (c = std::fgetc(pipe)) != EOF;) out.Text += static_cast<char>(c);
  const int status = pclose(pipe);
  out.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

// Every COM port is the test's pseudo-terminal, never a serial port of the machine.
inline std::vector<std::string> OffscreenEnv(const TempDir& dir, const Pty& line) {
  std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "HOME=" + dir.Path(),
                                  "XDG_CONFIG_HOME=" + dir.File("config"),
                                  "XDG_RUNTIME_DIR=" + dir.Path(), "PATH=/usr/bin:/bin"};
  for (int n = 1; n <= 4; ++n)
    env.push_back("ZARVO_COM" + std::to_string(n) + "=" + line.SlavePath());
  return env;
}

// Zarvo.cfg in `home` from a description ("Name = value" lines); false when it does not parse.
inline bool WriteSettingsRecord(const TempDir& home, const std::string& description) {
  TSettings record{};
  std::string error;
  const bool parsed = ParseSettingsDescription(description, record, error);
  EXPECT_TRUE(parsed) << error;
  const auto* raw = reinterpret_cast<const unsigned char*>(&record);
  if (parsed) home.Write("Zarvo.cfg", {raw, raw + sizeof record});
  return parsed;
}

// A box of the first interface type on COM1 with the full calibration, 120 LPM and IOC 576: the
// settings zarvo-decode assumes by default.
inline std::string FirstTypeOnCom1(int deleteDays) {
  return "InterfaceType = 1\nComPort = 1\nComPortName = COM1\nCalLow = 0\nCalHigh = 255\n"
         "DataRate = 7200\nBaudRate = 115200\nParity = 3\nStopBits = 2\nDrumSpeed = 2\n"
         "IOC = 1\nInVidWindow = 0 0 400 320\nDeleteDays = " +
         std::to_string(deleteDays) + "\n";
}

// Until the program has its SIGTERM handler, the signal would simply kill it.
inline void WaitForTermHandler(pid_t pid) {
  PollUntil(
      [pid] {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
          if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
        return false;
      },
      std::chrono::seconds(20));
}

// True once the process holds `device` open: it reads its port from then on.
inline bool WaitForOpenDevice(pid_t pid, const std::string& device,
                              std::chrono::seconds limit = std::chrono::seconds(20)) {
  namespace fs = std::filesystem;
  return PollUntil(
      [&] {
        std::error_code error;
        for (const auto& entry :
             fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
          if (fs::read_symlink(entry.path(), error) == device) return true;
        return false;
      },
      limit);
}

// Plays the box: writes `bytes` to the line, `perSecond` of them a second in 10 ms steps (0: as
// fast as the program takes them). Blocking writes wait for the program, so nothing is dropped.
inline bool FeedLine(const Pty& line, const std::vector<std::uint8_t>& bytes, double perSecond) {
  const auto start = std::chrono::steady_clock::now();
  std::size_t sent = 0;
  for (int tick = 1; sent < bytes.size(); ++tick) {
    const std::size_t due =
        perSecond > 0 ? std::min(bytes.size(), static_cast<std::size_t>(perSecond * tick / 100.0))
                      : bytes.size();
    for (ssize_t n = 0; sent < due; sent += static_cast<std::size_t>(n))
      if ((n = write(line.Master(), bytes.data() + sent, due - sent)) <= 0) return false;
    std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * tick));
  }
  return true;
}

// The bitmaps in `folder`, oldest first.
inline std::vector<std::string> SavedFaxes(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.path().extension() == ".bmp") paths.push_back(entry.path());
  const auto age = [](const std::string& p) { return std::pair(fs::last_write_time(p), p); };
  std::sort(paths.begin(), paths.end(), [&](auto& x, auto& y) { return age(x) < age(y); });
  return paths;
}

// The same picture: size and every pixel. On a difference, where it starts and how far it goes.
inline ::testing::AssertionResult SamePicture(const std::string& a, const std::string& b) {
  const Bitmap first = ReadBmpFile(a), second = ReadBmpFile(b);
  if (first.Width() != second.Width() || first.Height() != second.Height())
    return ::testing::AssertionFailure() << a << " and " << b << " differ in size";
  const std::uint32_t* end = first.Data() + std::size_t(first.Width()) * first.Height();
  const auto at = std::mismatch(first.Data(), end, second.Data()).first - first.Data();
  if (at == end - first.Data()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << a << " and " << b << " differ first at row "
                                       << at / first.Width() << ", column " << at % first.Width();
}

}  // namespace zarvo::test
