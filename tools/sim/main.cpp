// zarvo-sim: writes the byte stream of an interface box receiving fax broadcasts to a file, to
// standard output, or in real time to a pseudo-terminal that the receiver opens as its port; or
// the broadcasts as the sound a receiver puts out, to a WAV, FLAC or Ogg file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/AudioFile.h"
#include "interface/PosixSerial.h"
#include "sim/AudioSynth.h"
#include "sim/Broadcast.h"
#include "sim/CommandLine.h"

namespace zarvo::sim {
namespace {

volatile sig_atomic_t StopSignal = 0;

void OnStop(int signal) {
  StopSignal = signal;
}

void InstallSignals() {
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a signal must break a blocking write or sleep.
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

constexpr std::size_t Chunk = 1 << 16;

// Writes all of `data` to a blocking descriptor; false on error or a stop signal.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    if (StopSignal) return false;
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool StreamTo(int fd, BroadcastStream& stream) {
  std::vector<std::uint8_t> buffer(Chunk);
  for (std::size_t count = Chunk; stream.Next(buffer.data(), count); count = Chunk)
    if (!WriteAll(fd, buffer.data(), count)) return false;
  return true;
}

int ToStandardOutput(BroadcastStream& stream) {
  if (isatty(STDOUT_FILENO)) {
    std::cerr << "zarvo-sim: standard output is a terminal; use -o FILE, a pipe or --pty\n";
    return 2;
  }
  if (StreamTo(STDOUT_FILENO, stream)) return 0;
  if (errno != EPIPE && !StopSignal)
    std::cerr << "zarvo-sim: writing standard output: " << std::strerror(errno) << "\n";
  return 1;
}

// Written under a temporary name beside the target and renamed at the end, so that a failed or
// interrupted run leaves no partial file.
int ToFile(BroadcastStream& stream, const std::string& path) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    std::cerr << "zarvo-sim: cannot create " << path << ": " << std::strerror(errno) << "\n";
    return 2;
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  bool ok = StreamTo(fd, stream);
  const int writeError = errno;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) return 0;
  const int error = ok ? errno : writeError;
  unlink(temp.c_str());
  if (StopSignal) {
    std::cerr << "zarvo-sim: interrupted, " << path << " not written\n";
  } else {
    std::cerr << "zarvo-sim: writing " << path << ": " << std::strerror(error) << "\n";
  }
  return 1;
}

// The broadcast as sound, written under a temporary name beside the target and renamed at the
// end like the byte stream.
int ToSound(BroadcastStream& stream, const CommandLine& line) {
  const std::string& path = line.SoundPath;
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  const std::string extension =
      dot == std::string::npos || (slash != std::string::npos && dot < slash) ? ""
                                                                              : path.substr(dot);
  std::string temp = path + ".XXXXXX" + extension;
  const int fd = mkostemps(temp.data(), static_cast<int>(extension.size()), O_CLOEXEC);
  if (fd < 0) {
    std::cerr << "zarvo-sim: cannot create " << path << ": " << std::strerror(errno) << "\n";
    return 2;
  }
  close(fd);
  std::string error;
  AudioFileWriter writer;
  if (!writer.Create(temp, line.AudioRate, error, path)) {
    unlink(temp.c_str());
    std::cerr << "zarvo-sim: " << error << "\n";
    return 2;
  }
  ToneSynth synth(line.Broadcast.DataRate, line.AudioRate, line.SnrDb, line.Broadcast.Seed);
  std::vector<double> hz(Chunk);
  std::vector<float> sound;
  bool ok = true;
  for (std::size_t count = Chunk; ok && !StopSignal && stream.NextFrequencies(hz.data(), count);
       count = Chunk) {
    sound.clear();
    synth.Push(hz.data(), count, sound);
    ok = writer.Write(sound.data(), sound.size(), error);
  }
  ok = writer.Close(error) && ok && !StopSignal;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) {
    const mode_t mask = umask(0);
    umask(mask);
    chmod(path.c_str(), 0666 & ~mask);
    return 0;
  }
  unlink(temp.c_str());
  if (StopSignal) {
    std::cerr << "zarvo-sim: interrupted, " << path << " not written\n";
  } else {
    std::cerr << "zarvo-sim: writing " << path << ": "
              << (error.empty() ? std::strerror(errno) : error) << "\n";
  }
  return 1;
}

double Seconds(const timespec& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

timespec Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t;
}

void SleepUntil(double seconds) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(std::floor(seconds));
  t.tv_nsec = static_cast<long>((seconds - std::floor(seconds)) * 1e9);
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr);  // EINTR ends it early
}

// The receiver may write command bytes to its port; they are read and dropped so that its
// writes never block.
void DiscardInput(int master) {
  std::uint8_t scratch[256];
  while (read(master, scratch, sizeof scratch) > 0) {
  }
}

// Streams at the device's own rate times `speed`: every 10 ms the bytes due by then, counted
// from the start, so the pace does not drift. Nothing is dropped: bytes the pseudo-terminal
// cannot take yet wait, and go out as soon as the reader catches up.
int ToPty(BroadcastStream& stream, double speed, double holdSeconds) {
  std::string slave;
  const int master = OpenRawPseudoTerminal(slave);
  if (master < 0) {
    std::cerr << "zarvo-sim: cannot create a pseudo-terminal: " << std::strerror(errno) << "\n";
    return 1;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  std::printf("%s\n", slave.c_str());
  std::fflush(stdout);

  constexpr double Tick = 0.010;
  constexpr std::size_t MaxPending = 1 << 20;
  const double pace = stream.SampleRate() * speed;
  const double start = Seconds(Now());
  std::vector<std::uint8_t> pending;
  std::size_t pendingHead = 0;
  std::uint64_t produced = 0;
  std::vector<std::uint8_t> buffer(Chunk);
  for (long tick = 1; !StopSignal; ++tick) {
    const double now = Seconds(Now());
    const auto due = std::min<std::uint64_t>(stream.TotalSamples(),
                                             static_cast<std::uint64_t>((now - start) * pace));
    while (produced < due && pending.size() - pendingHead < MaxPending) {
      std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(Chunk, due - produced));
      if (!stream.Next(buffer.data(), count)) break;
      pending.insert(pending.end(), buffer.begin(), buffer.begin() + count);
      produced += count;
    }
    while (pendingHead < pending.size()) {
      const ssize_t n = write(master, pending.data() + pendingHead, pending.size() - pendingHead);
      if (n <= 0) break;  // full (EAGAIN) or interrupted: again at the next tick
      pendingHead += static_cast<std::size_t>(n);
    }
    if (pendingHead == pending.size()) {
      pending.clear();
      pendingHead = 0;
    }
    DiscardInput(master);
    if (produced == stream.TotalSamples() && pending.empty()) break;
    // After a long pause (a stopped process) the ticks resume from now.
    if (start + static_cast<double>(tick) * Tick < now - 1)
      tick = static_cast<long>((now - start) / Tick);
    SleepUntil(start + static_cast<double>(tick) * Tick);
  }

  const double holdEnd = Seconds(Now()) + holdSeconds;
  while (!StopSignal && Seconds(Now()) < holdEnd) {
    DiscardInput(master);
    SleepUntil(std::min(holdEnd, Seconds(Now()) + Tick));
  }
  close(master);
  return 0;
}

int Run(int argc, char** argv) {
  InstallSignals();
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), line, error)) {
    std::cerr << "zarvo-sim: " << error << "\n" << Usage();
    return 2;
  }
  if (line.Help) {
    std::cout << Usage();
    return 0;
  }
  GreyImage picture;
  if (line.PicturePath.empty()) {
    picture = TestChart(line.ChartHeight);
  } else if (!ReadPicture(line.PicturePath, picture, error)) {
    std::cerr << "zarvo-sim: " << error << "\n" << Usage();
    return 2;
  }
  BroadcastStream stream(picture, line.Broadcast);
  if (line.Pty) return ToPty(stream, line.Speed, line.HoldSeconds);
  if (!line.SoundPath.empty()) return ToSound(stream, line);
  if (line.OutputPath.empty() || line.OutputPath == "-") return ToStandardOutput(stream);
  return ToFile(stream, line.OutputPath);
}

}  // namespace
}  // namespace zarvo::sim

int main(int argc, char** argv) {
  try {
    return zarvo::sim::Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "zarvo-sim: " << e.what() << "\n";
    return 2;
  }
}
