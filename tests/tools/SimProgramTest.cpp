// zarvo-sim's command line, and the program itself: the file it writes, what it does with bad
// input, and the real-time stream on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
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
}

TEST(SimCommandLine, RejectsBadOptions) {
  const std::vector<std::vector<std::string>> bad = {
      {"--lpm", "100"},     {"--ioc", "300"},         {"--rate", "0"},
      {"--rate", "72OO"},   {"--cal", "9", "8"},      {"--cal", "0"},
      {"--interface", "6"}, {"--noise", "-1"},        {"--lead", "nan"},
      {"--repeat", "0"},    {"--seed", "-1"},         {"--rate"},
      {"--frobnicate"},     {"a.pgm", "b.pgm"},       {"--speed", "2"},
      {"--pty", "-o", "x"}, {"--chart-height", "50"}, {"--chart-height", "200", "a.pgm"}};
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
