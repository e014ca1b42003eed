#pragma once
// A private PulseAudio server for the tests: no hardware, one null sink "zarvo_test" whose
// monitor is a source to capture from. Clients reach it through PULSE_SERVER, which it sets for
// this process and gives for children.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace zarvo::test {

class AudioServer {
 public:
  static constexpr const char* kSink = "zarvo_test";
  static constexpr const char* kMonitor = "zarvo_test.monitor";

  AudioServer() {
    if (Shell("command -v pulseaudio").Code != 0) {
      error_ = "pulseaudio is not installed (scripts/setup installs it)";
      return;
    }
    const std::string socket = dir_.File("native");
    server_ = "unix:" + socket;
    // As root the server warns that it is not meant for root, and runs.
    child_ = StartProcess({"/usr/bin/pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                           "--disable-shm=yes", "--use-pid-file=no", "--log-level=error", "-L",
                           "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L",
                           std::string("module-null-sink rate=48000 sink_name=") + kSink},
                          {"HOME=" + dir_.Path(), "XDG_RUNTIME_DIR=" + dir_.Path(),
                           "XDG_CONFIG_HOME=" + dir_.File("config"), "PATH=/usr/bin:/bin"});
    if (child_.Pid <= 0) {
      error_ = "pulseaudio could not be started";
      return;
    }
    setenv("PULSE_SERVER", server_.c_str(), 1);
    const bool up = PollUntil([this] { return Pactl("info").Code == 0; }, std::chrono::seconds(20));
    if (!up) error_ = "pulseaudio did not answer within 20 s";
  }
  ~AudioServer() {
    unsetenv("PULSE_SERVER");
    if (child_.Pid <= 0) return;
    kill(child_.Pid, SIGTERM);
    WaitFor(child_.Pid, std::chrono::seconds(10));
    if (child_.OutFd >= 0) close(child_.OutFd);
  }
  AudioServer(const AudioServer&) = delete;
  AudioServer& operator=(const AudioServer&) = delete;

  // Empty when the server runs; the reason otherwise.
  const std::string& Error() const { return error_; }
  // PULSE_SERVER=... for a child's environment.
  std::string Env() const { return "PULSE_SERVER=" + server_; }
  // pactl against this server.
  ShellOutput Pactl(const std::string& arguments) const {
    return Shell("PULSE_SERVER=" + server_ + " pactl " + arguments);
  }
  // Starts paplay of `file` into the null sink, in real time; its pid, to wait for.
  pid_t Play(const std::string& file) const {
    const Child player = StartProcess({"/usr/bin/paplay", "--device=" + std::string(kSink), file},
                                      {Env(), "HOME=" + dir_.Path(), "PATH=/usr/bin:/bin"});
    if (player.OutFd >= 0) close(player.OutFd);
    return player.Pid;
  }

 private:
  TempDir dir_;
  std::string server_;
  std::string error_;
  Child child_;
};

}  // namespace zarvo::test
