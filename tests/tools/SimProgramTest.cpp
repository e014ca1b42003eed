// zarvo-sim's command line, and the program itself: what it does with bad input, and the
// real-time stream on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "sim/CommandLine.h"
#include "support/ProgramRun.h"

namespace zarvo::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

TEST(SimCommandLine, OptionsApplyInOrderAndBadOnesAreRefused) {
  CommandLine line;
  std::string error;
  const auto parse = [&](const std::string& args) {
    line = {}, error.clear();
    return ParseCommandLine(Words(args), line, error);
  };
  const BroadcastOptions& b = line.Broadcast;
  // An interface type's rate and calibration as the receiver knows them; later options override.
  ASSERT_TRUE(
      parse("--interface 3 --cal 10 200 --ioc 288 --clock-error -40 --seed 4000000000 "
            "--pty --speed 20 -- -odd.pgm"))
      << error;
  EXPECT_EQ(std::tuple(b.DataRate, b.CalLow, b.CalHigh, b.Ioc, b.ClockErrorPpm, b.Seed, line.Pty,
                       line.Speed, line.PicturePath),
            std::tuple(5760, 10, 200, 288, -40.0, 4000000000u, true, 20.0, "-odd.pgm"));
  // The section lengths, --noise, --repeat, --chart-height, -o and --audio-rate: the programs'
  // tests, which use them and check what comes out.
  ASSERT_TRUE(
      parse("--rate 7000 --interface 4 --plain-tones --lead 1 --lead-hz 1000 --mistune -7 "
            "--wav x.flac --snr -5"))
      << error;
  EXPECT_EQ(std::tuple(b.DataRate, b.CalLow, b.CalHigh, b.PlainTones, b.LeadSeconds, b.LeadHz,
                       b.MistuneHz, line.SoundPath, line.SnrDb),
            std::tuple(4800, 36, 236, true, 1.0, 1000.0, -7.0, "x.flac", -5.0));
  ASSERT_TRUE(parse("--wav x.wav"));
  EXPECT_TRUE(std::isinf(line.SnrDb));  // sound without noise unless told

  // Bad values, and options that do not go together.
  const char* const values[] = {
      "--lpm 100",    "--ioc 300",         "--rate 0",          "--rate 72OO",
      "--cal 9 8",    "--cal 0",           "--interface 6",     "--noise -1",
      "--lead nan",   "--repeat 0",        "--seed -1",         "--rate",
      "--frobnicate", "--chart-height 50", "--audio-rate 8000", "--wav a --audio-rate 7999"};
  const char* const clashes[] = {"a b",           "--speed 2",         "--hold 1",
                                 "--pty -o x",    "--snr 10",          "--wav a -o b",
                                 "--wav a --pty", "--wav a --snr inf", "--chart-height 200 a"};
  for (const char* args : values) EXPECT_FALSE(parse(args) || error.empty()) << args;
  for (const char* args : clashes) EXPECT_FALSE(parse(args) || error.empty()) << args;
}

TEST(SimProgram, BadInputExitsWithTwoAndLeavesNoFile) {
  test::TempDir dir;
  dir.Write("broken.bmp", {'B', 'M', 1, 2, 3});
  const std::pair<const char*, const char*> cases[] = {
      {"--lpm=120 -o out.raw", "unknown option --lpm=120\nusage:"},
      {"missing.pgm -o out.raw", "missing.pgm: cannot be opened\nusage:"},
      {"broken.bmp -o out.raw", "broken.bmp: truncated BMP header\nusage:"},
      {". -o out.raw", ".: is a folder, not a picture\nusage:"},
      {"-o no/such/out.raw", "cannot create no/such/out.raw"},
      {"--wav no/such/x.wav", "cannot create no/such/x.wav"},
  };
  for (const auto& [args, text] : cases) {
    const auto run = test::Shell("cd " + dir.Path() + " && " + ZARVO_SIM + " " + args);
    EXPECT_EQ(run.Code, 2) << args;
    EXPECT_NE(run.Text.find(std::string("zarvo-sim: ") + text), std::string::npos) << run.Text;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// Reads the slave until the simulator closes its side (EIO), noting the bytes so far at each read.
Bytes ReadSlave(const std::string& path,
                std::vector<std::pair<Clock::time_point, std::size_t>>& arrivals) {
  Bytes got;
  const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY);
  std::uint8_t buffer[4096];
  for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;) {
    got.insert(got.end(), buffer, buffer + n);
    arrivals.push_back({Clock::now(), got.size()});
  }
  if (fd >= 0) close(fd);
  return got;
}

// Starts the simulator on a pseudo-terminal; the device it names on its first line.
std::string StartOnPty(const std::string& args, pid_t& pid) {
  const test::Child child = test::StartProcess(Words(ZARVO_SIM " " + args), {"PATH=/usr/bin:/bin"});
  pid = child.Pid;
  std::string line;
  for (char c; read(child.OutFd, &c, 1) == 1 && c != '\n';) line += c;
  close(child.OutFd);
  return line;
}

// 8 grey levels across 4 rows; 4 lines at 240 LPM with short tones: 3 s of broadcast.
TEST(SimProgram, PtyStreamsAtTheDevicesPaceAndEndsOnASignal) {
  test::TempDir dir;
  GreyImage picture{8, 4, {}};
  for (int i = 0; i < 32; ++i) picture.Pixels.push_back(static_cast<std::uint8_t>(i % 8 * 32));
  std::ofstream(dir.File("small.pgm"))
      << "P5 8 4 255 " << std::string(picture.Pixels.begin(), picture.Pixels.end());
  const auto started = Clock::now();
  pid_t pid = -1;
  const std::string path = StartOnPty(
      "--lpm 240 --start-seconds 0.5 --phasing-seconds 1 --stop-seconds 0.3 --trailer-seconds 0.2 "
      "--pty --speed 5 --hold 0.3 " +
          dir.File("small.pgm"),
      pid);
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  std::vector<std::pair<Clock::time_point, std::size_t>> arrivals;
  const Bytes got = ReadSlave(path, arrivals);
  EXPECT_EQ(test::WaitFor(pid, 10s), 0);
  BroadcastOptions tones{.Lpm = 240, .StartSeconds = 0.5, .PhasingSeconds = 1};
  tones.StopSeconds = 0.3, tones.TrailerSeconds = 0.2;
  const Bytes expected = MakeBroadcast(picture, tones);
  ASSERT_TRUE(got == expected) << got.size() << " bytes of " << expected.size();
  // Never ahead of 7200 * 5 bytes a second (give or take a 10 ms step), and not all at once.
  const double pace = 7200 * 5;
  for (const auto& [at, count] : arrivals) {
    const double seconds = std::chrono::duration<double>(at - started).count();
    ASSERT_LE(static_cast<double>(count), pace * (seconds + 0.011) + 1) << seconds;
  }
  EXPECT_GE(std::chrono::duration<double>(arrivals.back().first - started).count(),
            static_cast<double>(expected.size()) / pace - 0.011);

  // A signal ends a long stream at once, and the slave sees the master close.
  const std::string second = StartOnPty("--pty --chart-height 100", pid);
  ASSERT_FALSE(second.empty());
  std::this_thread::sleep_for(50ms);
  kill(pid, SIGTERM);
  const auto sent = Clock::now();
  EXPECT_LT(ReadSlave(second, arrivals).size(), 7200u);
  EXPECT_EQ(test::WaitFor(pid, 10s), 0);
  EXPECT_LT(Clock::now() - sent, 1s);
}

}  // namespace
}  // namespace zarvo::sim
