#pragma once
// A private PulseAudio server for the tests: no hardware, no home, no default script; only its
// socket and the modules asked for (by default one null sink "zarvo_test", whose monitor is a
// source to capture from). Clients reach it through PULSE_SERVER.
#include <stdlib.h>

#include <optional>

#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace zarvo::test {

class AudioServer {
 public:
  static constexpr const char* kSink = "zarvo_test";
  static constexpr const char* kMonitor = "zarvo_test.monitor";

  // `modules`: what follows each -L besides the socket's.
  explicit AudioServer(const std::vector<std::string>& modules = {
                           "module-null-sink rate=48000 sink_name=" + std::string(kSink)}) {
    if (Shell("command -v pulseaudio && command -v pactl && command -v paplay").Code != 0) {
      error_ = "pulseaudio, pactl and paplay are needed: scripts/setup installs them";
      return;
    }
    const std::string socket =
        "module-native-protocol-unix auth-anonymous=1 socket=" + dir_.File("native");
    // As root the server warns that it is not meant for root, and runs.
    std::vector<std::string> args = {"/usr/bin/pulseaudio", "-n",
                                     "--daemonize=no",      "--exit-idle-time=-1",
                                     "--disable-shm=yes",   "--use-pid-file=no",
                                     "--log-level=error"};
    args.insert(args.end(), {"-L", socket});
    for (const std::string& module : modules) args.insert(args.end(), {"-L", module});
    child_ = StartProcess(args, {"HOME=" + dir_.Path(), "XDG_RUNTIME_DIR=" + dir_.Path(),
                                 "XDG_CONFIG_HOME=" + dir_.File("config"), "PATH=/usr/bin:/bin"});
    if (child_.Pid <= 0)
      error_ = "pulseaudio could not be started";
    else if (!PollUntil([this] { return Pactl("info").Code == 0; }, std::chrono::seconds(20)))
      error_ = "pulseaudio did not answer within 20 s";
  }
  ~AudioServer() { Stop(); }  // not copied: it owns its folder

  void Stop() {
    if (child_.Pid <= 0) return;
    kill(child_.Pid, SIGTERM);
    WaitFor(child_.Pid, std::chrono::seconds(10));
    if (child_.OutFd >= 0) close(child_.OutFd);
    child_ = {};
  }
  // Empty when the server runs; the reason otherwise.
  const std::string& Error() const { return error_; }
  std::string Address() const { return "unix:" + dir_.File("native"); }
  // PULSE_SERVER=... for a child's environment.
  std::string Env() const { return "PULSE_SERVER=" + Address(); }
  // pactl against this server.
  ShellOutput Pactl(const std::string& args) const { return Shell(Env() + " pactl " + args); }
  // Starts paplay of `file` into the null sink, in real time; its pid, to wait for.
  pid_t Play(const std::string& file) const {
    const Child player = StartProcess({"/usr/bin/paplay", "--device=" + std::string(kSink), file},
                                      {Env(), "HOME=" + dir_.Path(), "PATH=/usr/bin:/bin"});
    if (player.OutFd >= 0) close(player.OutFd);
    return player.Pid;
  }

 private:
  TempDir dir_;
  std::string error_;
  Child child_;
};

// This process's clients (libpulse reads PULSE_SERVER at each connect) go to `address` while it
// lives.
class ScopedPulseServer {
 public:
  explicit ScopedPulseServer(const std::string& address) {
    if (const char* old = getenv("PULSE_SERVER")) old_ = old;
    setenv("PULSE_SERVER", address.c_str(), 1);
  }
  ~ScopedPulseServer() {
    old_ ? setenv("PULSE_SERVER", old_->c_str(), 1) : unsetenv("PULSE_SERVER");
  }

 private:
  std::optional<std::string> old_;
};

}  // namespace zarvo::test
