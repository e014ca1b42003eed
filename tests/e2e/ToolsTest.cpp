// The two tools as programs: zarvo-sim's stream decoded by zarvo-decode, its report and files,
// and the live program receiving a simulated interface on a pseudo-terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "settings/SettingsDescription.h"
#include "settings/SettingsFile.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;
const std::string kBin = ZARVO_BIN_DIR;

struct Output {
  int Code = -1;
  std::string Text;
};

Output Shell(const std::string& command) {
  Output out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) out.Text += buffer;
  const int status = pclose(pipe);
  out.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

std::vector<std::string> Files(const std::string& folder) {
  std::vector<std::string> names;
  if (fs::exists(folder))
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

int BmpHeight(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[26] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  return header[22] | header[23] << 8 | header[24] << 16 | header[25] << 24;
}

TEST(DecodeTool, DecodesTwoBroadcastsOnTheStreamsClock) {
  test::TempDir dir;
  const auto sim =
      Shell(kBin + "/zarvo-sim --repeat 2 --chart-height 120 --phasing-seconds 10 -o " +
            dir.File("two.raw"));
  ASSERT_EQ(sim.Code, 0) << sim.Text;
  fs::create_directory(dir.File("out"));
  const auto decode = Shell(kBin + "/zarvo-decode --start \"1998-12-05 14:30\" --out " +
                            dir.File("out") + " " + dir.File("two.raw"));
  ASSERT_EQ(decode.Code, 0) << decode.Text;
  // 5 s of start tone, recognised once it has lasted 0.98 s (49 blocks of 20 ms), then phasing;
  // the picture starts once the phasing is over.
  EXPECT_NE(decode.Text.find("00:00:00.9 Start IOC 576\n"), std::string::npos) << decode.Text;
  EXPECT_NE(decode.Text.find(" Synchronizing\n"), std::string::npos);
  EXPECT_NE(decode.Text.find(" Receiving\n"), std::string::npos);
  EXPECT_NE(decode.Text.find("2 fax(es) saved"), std::string::npos);
  // Each broadcast lasts 5 + 10 + 60 + 5 + 2 = 82 s, so the faxes end at about 14:31:15 and
  // 14:32:37 of the given start.
  const std::vector<std::string> expected = {"Fax 981205 Sat 1431.bmp", "Fax 981205 Sat 1432.bmp"};
  EXPECT_EQ(Files(dir.File("out")), expected);
  for (const auto& name : expected) {
    const int rows = BmpHeight(dir.File("out/" + name));
    EXPECT_GE(rows, 118) << name;
    EXPECT_LE(rows, 122) << name;
  }
}

TEST(DecodeTool, ManualStartAndTheOpenPictureAtTheEnd) {
  test::TempDir dir;
  // Two seconds of a grey level: no start tone, a picture only by the manual start.
  {
    std::ofstream raw(dir.File("grey.raw"), std::ios::binary);
    for (int i = 0; i < 14400; ++i) raw.put(static_cast<char>(180));
  }
  const auto decode = Shell(kBin + "/zarvo-decode --manual-start --start \"2026-12-07 10:00\" " +
                            "--out " + dir.Path() + " " + dir.File("grey.raw"));
  ASSERT_EQ(decode.Code, 0) << decode.Text;
  ASSERT_TRUE(fs::exists(dir.File("Fax 261207 Mon 1000.bmp"))) << decode.Text;
  // 2 s at 120 LPM: 4 lines, and the row just begun when the float clock crosses the end.
  const int rows = BmpHeight(dir.File("Fax 261207 Mon 1000.bmp"));
  EXPECT_GE(rows, 4);
  EXPECT_LE(rows, 5);
}

TEST(DecodeTool, BadInputIsRefusedWithoutFiles) {
  test::TempDir dir;
  for (const std::string args :
       {"--lpm 100", "--ioc 300", "--interface 6", "--cal 5 5", "--start 1998-12-05", "--rate",
        "--frobnicate", "/nonexistent/stream.raw", "--out /nonexistent x"}) {
    const auto out =
        Shell("cd " + dir.Path() + " && " + kBin + "/zarvo-decode " + args + " </dev/null");
    EXPECT_EQ(out.Code, 2) << args << ": " << out.Text;
    EXPECT_NE(out.Text.find("zarvo-decode: "), std::string::npos) << args;
  }
  EXPECT_TRUE(Files(dir.Path()).empty());
}

// A broadcast as sound from zarvo-sim, as a file and on standard input, through zarvo-decode: the
// same statuses and fax as its byte stream, also with the receiver mistuned and the centre set
// to match.
TEST(DecodeTool, DecodesSoundRecordingsToldByTheirContent) {
  test::TempDir dir;
  const std::string broadcast = "--chart-height 120 --phasing-seconds 10 --lpm 240 ";
  ASSERT_EQ(Shell(kBin + "/zarvo-sim " + broadcast + "-o " + dir.File("b.raw")).Code, 0);
  ASSERT_EQ(Shell(kBin + "/zarvo-sim " + broadcast + "--wav " + dir.File("b.wav")).Code, 0);
  ASSERT_EQ(Shell(kBin + "/zarvo-sim " + broadcast +
                  "--mistune 60 --snr 15 --audio-rate 48000 --wav " + dir.File("m.flac"))
                .Code,
            0);
  // A recording under a name that does not tell it is one.
  fs::copy_file(dir.File("m.flac"), dir.File("m.dat"));
  int rawRows = 0;
  for (const std::string name : {"raw", "wav", "flac", "dat", "stdin"}) {
    SCOPED_TRACE(name);
    const std::string out = dir.File("out-" + name);
    fs::create_directory(out);
    const std::string input = name == "raw"    ? dir.File("b.raw")
                              : name == "wav"  ? dir.File("b.wav")
                              : name == "flac" ? "--centre 1960 " + dir.File("m.flac")
                              : name == "dat"  ? "--centre 1960 " + dir.File("m.dat")
                                               : "- < " + dir.File("b.wav");
    const auto decode =
        Shell(kBin + "/zarvo-decode --start \"2026-12-07 10:00\" --out " + out + " " + input);
    ASSERT_EQ(decode.Code, 0) << decode.Text;
    EXPECT_NE(decode.Text.find(" Start IOC 576\n"), std::string::npos) << decode.Text;
    EXPECT_NE(decode.Text.find(" 240 LPM, IOC 576\n"), std::string::npos) << decode.Text;
    EXPECT_NE(decode.Text.find(" Stop\n"), std::string::npos) << decode.Text;
    EXPECT_NE(decode.Text.find("1 fax(es) saved"), std::string::npos) << decode.Text;
    if (name != "raw") {
      EXPECT_NE(decode.Text.find(name == "flac" || name == "dat" ? "FLAC, 48000 Hz, 1 channel"
                                                                 : "WAV, 11025 Hz, 1 channel"),
                std::string::npos)
          << decode.Text;
    }
    const auto files = Files(out);
    ASSERT_EQ(files.size(), 1u);
    // The 120 rows and the half second of stop tone that closes the fax, as from the bytes.
    const int rows = BmpHeight(out + "/" + files[0]);
    if (name == "raw") rawRows = rows;
    EXPECT_NEAR(rows, 123, 1);
    EXPECT_NEAR(rows, rawRows, 1);
  }
}

TEST(DecodeTool, RefusesBadRecordingsWithoutFiles) {
  test::TempDir dir;
  ASSERT_EQ(Shell(kBin + "/zarvo-sim --chart-height 100 --phasing-seconds 5 --wav " +
                  dir.File("whole.wav"))
                .Code,
            0);
  auto bytes = dir.Read("whole.wav");
  bytes.resize(bytes.size() / 2);
  dir.Write("cut.wav", bytes);
  dir.Write("text.wav", {'h', 'e', 'l', 'l', 'o', '\n'});
  const std::string corpus = std::string(ZARVO_SOURCE_DIR) + "/tests/corpus/";
  struct Case {
    std::string Args;
    std::string Error;
  };
  const Case cases[] = {
      {"cut.wav", "truncated"},
      {"text.wav", "not a sound file"},
      {"--rate 7200 whole.wav", "describe a byte stream"},
      {"--centre 1950 " + corpus + "weather-120-576-7200.raw", "--centre is for sound recordings"},
      {"--centre 900 whole.wav", "--centre takes 1000..2500 Hz"},
  };
  fs::create_directory(dir.File("out"));
  for (const auto& c : cases) {
    const auto out = Shell("cd " + dir.Path() + " && " + kBin + "/zarvo-decode --out out " +
                           c.Args + " </dev/null");
    EXPECT_EQ(out.Code, 2) << c.Args << ": " << out.Text;
    EXPECT_NE(out.Text.find(c.Error), std::string::npos) << c.Args << ": " << out.Text;
  }
  EXPECT_TRUE(Files(dir.File("out")).empty());
}

// The live program on a simulated interface: a pseudo-terminal fed by zarvo-sim at twenty times
// real time. The fax must arrive in Auto, as on air.
TEST(LiveReception, SimulatedBroadcastIsSavedInAuto) {
  test::TempDir home;
  fs::create_directory(home.File("Auto"));
  TSettings record{};
  std::string error;
  ASSERT_TRUE(
      ParseSettingsDescription("InterfaceType = 1\nComPort = 1\nComPortName = COM1\n"
                               "CalLow = 0\nCalHigh = 255\nDeleteDays = 7\nDataRate = 7200\n"
                               "BaudRate = 115200\nParity = 3\nStopBits = 2\n"
                               "DrumSpeed = 2\nIOC = 1\nInVidWindow = 0 0 400 320\n",
                               record, error));
  std::ofstream(home.File("Zarvo.cfg"), std::ios::binary)
      .write(reinterpret_cast<const char*>(&record), sizeof record);

  FILE* sim = popen(
      (kBin + "/zarvo-sim --pty --speed 20 --hold 3 --chart-height 120 " + "--phasing-seconds 10")
          .c_str(),
      "r");
  ASSERT_NE(sim, nullptr);
  char path[256] = {};
  ASSERT_NE(std::fgets(path, sizeof path, sim), nullptr);
  std::string device(path);
  while (!device.empty() && (device.back() == '\n' || device.back() == '\r')) device.pop_back();
  ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;

  const pid_t program = fork();
  ASSERT_GE(program, 0);
  if (program == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ZARVO_COM1", device.c_str(), 1);
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    const std::string exe = kBin + "/zarvo-meteo";
    execl(exe.c_str(), exe.c_str(), "--home", home.Path().c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // 82 s of broadcast at twenty times: about 4 s, and the hold.
  char rest[256];
  while (std::fgets(rest, sizeof rest, sim)) {
  }
  pclose(sim);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(program, SIGTERM);
  int status = 0;
  waitpid(program, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const auto faxes = Files(home.File("Auto"));
  ASSERT_EQ(faxes.size(), 1u);
  const int rows = BmpHeight(home.File("Auto/" + faxes[0]));
  EXPECT_GE(rows, 116);
  EXPECT_LE(rows, 122);
  // The saved picture is the chart: its black bar starts at column 100 on every row below the
  // white top (8-bit rows of 1812 bytes, bottom-up, after 1078 header bytes).
  std::ifstream bmp(home.File("Auto/" + faxes[0]), std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(bmp)),
                                   std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 1078u + 1812u * static_cast<unsigned>(rows));
  for (int y = 60; y < rows - 5; y += 20) {
    const unsigned char* row = bytes.data() + 1078 + 1812 * (rows - 1 - y);
    int edge = 0;
    while (edge < 1810 && row[edge] >= 128) ++edge;
    EXPECT_NEAR(edge, 100, 2) << "row " << y;
    EXPECT_LT(row[120], 64) << "row " << y;   // inside the bar
    EXPECT_GT(row[200], 192) << "row " << y;  // the white between bar and pattern
  }
  TSettings saved{};
  ASSERT_TRUE(ReadSettingsFile(home.File("Zarvo.cfg"), saved));
  EXPECT_EQ(saved.IOC, 1);  // set by the start tone
  EXPECT_EQ(saved.DrumSpeed, 2);
}

}  // namespace
}  // namespace zarvo
