// zarvo-sim's command line, and the program itself: the file it writes, what it does with bad
// input, and the real-time stream on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>
#include <tuple>

#include "settings/Settings.h"
#include "sim/CommandLine.h"
#include "support/ProgramRun.h"

namespace zarvo::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using test::TempDir;

CommandLine Parsed(const std::vector<std::string>& args) {
  CommandLine line;
  std::string error;
  EXPECT_TRUE(ParseCommandLine(args, line, error)) << error;
  return line;
}

TEST(SimCommandLine, InterfaceTypesAndLaterOptionsOverride) {
  // Each type's rate and calibration, as the receiver knows them.
  for (int type = 1; type <= kInterfaceTypeCount; ++type) {
    const BroadcastOptions o = Parsed({"--interface", std::to_string(type)}).Broadcast;
    const InterfaceTypeInfo& info = InterfaceTypeParams(type);
    EXPECT_EQ(std::tuple(o.DataRate, o.CalLow, o.CalHigh),
              std::tuple(info.DataRate, info.CalLow, info.CalHigh));
  }
  BroadcastOptions o =
      Parsed({"--interface", "3", "--rate", "7000", "--cal", "10", "200"}).Broadcast;
  EXPECT_EQ(std::tuple(o.DataRate, o.CalLow, o.CalHigh), std::tuple(7000, 10, 200));
  EXPECT_EQ(Parsed({"--rate", "7000", "--interface", "4"}).Broadcast.DataRate, 4800);
  const CommandLine line = Parsed({"--ioc", "288", "--clock-error", "-40", "--seed", "4000000000",
                                   "--pty", "--speed", "20", "--", "-odd.pgm"});
  EXPECT_EQ(std::tuple(line.Broadcast.Ioc, line.Broadcast.ClockErrorPpm, line.Broadcast.Seed,
                       line.Pty, line.Speed, line.PicturePath),
            std::tuple(288, -40.0, 4000000000u, true, 20.0, "-odd.pgm"));
  // Sound: 11025 a second and no noise unless told.
  const CommandLine sound = Parsed({"--wav", "x.wav"});
  EXPECT_EQ(std::tuple(sound.SoundPath, sound.AudioRate, std::isinf(sound.SnrDb)),
            std::tuple("x.wav", 11025, true));
  const CommandLine noisy =
      Parsed({"--plain-tones", "--wav", "x.flac", "--audio-rate", "48000", "--snr", "-5"});
  EXPECT_EQ(std::tuple(noisy.AudioRate, noisy.SnrDb, noisy.Broadcast.PlainTones),
            std::tuple(48000, -5.0, true));
}

TEST(SimCommandLine, RejectsBadOptions) {
  const std::vector<std::vector<std::string>> bad = {{"--lpm", "100"},
                                                     {"--ioc", "300"},
                                                     {"--rate", "0"},
                                                     {"--rate", "72OO"},
                                                     {"--cal", "9", "8"},
                                                     {"--cal", "0"},
                                                     {"--interface", "6"},
                                                     {"--noise", "-1"},
                                                     {"--lead", "nan"},
                                                     {"--repeat", "0"},
                                                     {"--seed", "-1"},
                                                     {"--rate"},
                                                     {"--frobnicate"},
                                                     {"a.pgm", "b.pgm"},
                                                     {"--speed", "2"},
                                                     {"--pty", "-o", "x"},
                                                     {"--chart-height", "50"},
                                                     {"--chart-height", "200", "a.pgm"},
                                                     {"--snr", "10"},
                                                     {"--audio-rate", "8000"},
                                                     {"--wav", "a.wav", "--audio-rate", "7999"},
                                                     {"--wav", "a.wav", "--snr", "inf"},
                                                     {"--wav", "a.wav", "-o", "b"},
                                                     {"--wav", "a.wav", "--pty"}};
  for (const auto& args : bad) {
    CommandLine line;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(args, line, error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

test::ShellOutput RunSim(const std::string& args) {
  return test::Shell(std::string(ZARVO_SIM) + " " + args);
}

// The broadcast as sound: its length at the rate asked, and a tone whose frequency follows the
// stream, which a second's zero crossings show.
TEST(SimProgram, WritesTheBroadcastAsSound) {
  TempDir dir;
  std::string pgm = "P5 8 4 255 ";  // 8 grey levels across
  for (int i = 0; i < 32; ++i) pgm += static_cast<char>(i % 8 * 32);
  dir.Write("small.pgm", {pgm.begin(), pgm.end()});
  for (const std::string name : {"a.wav", "b.flac", "c.ogg"}) {
    SCOPED_TRACE(name);
    const auto run = RunSim(
        "--lpm 240 --start-seconds 0.5 --phasing-seconds 1 --stop-seconds 0.3 "
        "--trailer-seconds 0.2 --lead 1 --lead-hz 1000 --audio-rate 8000 --wav " +
        dir.File(name) + " " + dir.File("small.pgm"));
    ASSERT_EQ(run.Code, 0) << run.Text;
    EXPECT_TRUE(run.Text.empty());
    const Bytes bytes = dir.Read(name);
    ASSERT_GT(bytes.size(), 100u);
    // A second of lead-in, half a second of start tone, a second of phasing, a second of
    // picture, 0.3 s of stop, 0.2 s of trailer: 4 s at 8000 a second.
    const std::string ext = name.substr(name.find('.'));
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), ext == ".wav"    ? "RIFF"
                                                             : ext == ".flac" ? "fLaC"
                                                                              : "OggS");
    if (ext == ".wav") {
      EXPECT_EQ(bytes.size(), 44u + 2 * 4 * 8000);
      // The lead-in at 1000 Hz crosses zero 2000 times in its second.
      int crossings = 0;
      for (std::size_t i = 1; i < 8000; ++i) {
        const auto at = [&](std::size_t k) {
          return static_cast<std::int16_t>(bytes[44 + 2 * k] | bytes[45 + 2 * k] << 8);
        };
        crossings += (at(i - 1) < 0) != (at(i) < 0);
      }
      EXPECT_NEAR(crossings, 2000, 2);
    }
  }
  // No partial file is left by a failed write.
  EXPECT_NE(RunSim("--wav " + dir.File("nofolder/x.wav")).Code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("nofolder")));
}

TEST(SimProgram, BadInputExitsWithTwoAndNoFile) {
  TempDir dir;
  dir.Write("broken.bmp", {'B', 'M', 1, 2, 3});
  for (const std::string& bad :
       {std::string("--lpm=120"), dir.File("missing.pgm"), dir.File("broken.bmp")}) {
    const auto run = RunSim(bad + " -o " + dir.File("out.raw"));
    EXPECT_EQ(run.Code, 2) << bad;
    EXPECT_NE(run.Text.find("usage:"), std::string::npos) << run.Text;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      EXPECT_EQ(entry.path().filename(), "broken.bmp");
  }
  EXPECT_NE(RunSim(dir.File("broken.bmp")).Text.find("broken.bmp: "), std::string::npos);
  EXPECT_EQ(RunSim("-o " + dir.File("no/such/folder/out.raw")).Code, 2);
}

// Reads the slave until the simulator closes its side, noting the bytes so far at each read.
Bytes ReadSlave(const std::string& path,
                std::vector<std::pair<Clock::time_point, std::size_t>>* arrivals) {
  Bytes got;
  const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY);
  for (const auto end = Clock::now() + 5s; fd >= 0 && Clock::now() < end;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) == 0) continue;
    std::uint8_t buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the master is closed
    got.insert(got.end(), buffer, buffer + n);
    if (arrivals) arrivals->push_back({Clock::now(), got.size()});
  }
  if (fd >= 0) close(fd);
  return got;
}

// Starts the simulator on a pseudo-terminal; the device it names on its first line.
std::string StartOnPty(const std::vector<std::string>& args, pid_t& pid) {
  std::vector<std::string> argv = {ZARVO_SIM};
  argv.insert(argv.end(), args.begin(), args.end());
  const test::Child child = test::StartProcess(argv, {"PATH=/usr/bin:/bin"});
  pid = child.Pid;
  std::string line;
  for (char c; read(child.OutFd, &c, 1) == 1 && c != '\n';) line += c;
  close(child.OutFd);
  return line;
}

TEST(SimProgram, PtyStreamsInOrderAtTheDevicesPace) {
  TempDir dir;
  GreyImage picture{8, 4, {}};  // 8 grey levels across
  for (int i = 0; i < 32; ++i) picture.Pixels.push_back(static_cast<std::uint8_t>(i % 8 * 32));
  const std::string pgm = "P5 8 4 255 " + std::string(picture.Pixels.begin(), picture.Pixels.end());
  dir.Write("small.pgm", {pgm.begin(), pgm.end()});
  // 4 lines at 240 LPM with short tones: 3 s of broadcast.
  const std::vector<std::string> args = {"--lpm",
                                         "240",
                                         "--start-seconds",
                                         "0.5",
                                         "--phasing-seconds",
                                         "1",
                                         "--stop-seconds",
                                         "0.3",
                                         "--trailer-seconds",
                                         "0.2",
                                         "--pty",
                                         "--speed",
                                         "20",
                                         "--hold",
                                         "0.3",
                                         dir.File("small.pgm")};
  const auto started = Clock::now();
  pid_t pid = -1;
  const std::string path = StartOnPty(args, pid);
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  std::vector<std::pair<Clock::time_point, std::size_t>> arrivals;
  const Bytes got = ReadSlave(path, &arrivals);
  EXPECT_EQ(test::WaitFor(pid, 10s), 0);
  const Bytes expected = MakeBroadcast(picture, Parsed(args).Broadcast);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_EQ(got, expected);
  // Never ahead of 7200 * 20 bytes a second (give or take a 10 ms step), and not all at once.
  const double pace = 7200 * 20;
  for (const auto& [at, count] : arrivals) {
    const double seconds = std::chrono::duration<double>(at - started).count();
    ASSERT_LE(static_cast<double>(count), pace * (seconds + 0.011) + 1) << seconds;
  }
  EXPECT_GE(std::chrono::duration<double>(arrivals.back().first - started).count(),
            static_cast<double>(expected.size()) / pace - 0.011);
}

TEST(SimProgram, SignalEndsThePtyStreamCleanly) {
  pid_t pid = -1;
  const std::string path = StartOnPty({"--pty", "--chart-height", "100"}, pid);
  ASSERT_FALSE(path.empty());
  std::this_thread::sleep_for(50ms);
  kill(pid, SIGTERM);
  const auto sent = Clock::now();
  EXPECT_LT(ReadSlave(path, nullptr).size(), 7200u);  // ends when the master closes
  EXPECT_EQ(test::WaitFor(pid, 10s), 0);
  EXPECT_LT(Clock::now() - sent, 1s);
}

}  // namespace
}  // namespace zarvo::sim
