// The two tools as programs: zarvo-sim's stream decoded by zarvo-decode, its report and files,
// and the live program receiving a simulated interface on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstring>

#include "settings/SettingsFile.h"
#include "support/ProgramRun.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;
using test::Shell;
const std::string kBin = ZARVO_BIN_DIR;

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
  const auto faxes = test::SavedFaxes(dir.File("out"));
  ASSERT_EQ(faxes.size(), 2u);
  EXPECT_EQ(fs::path(faxes[0]).filename(), "Fax 981205 Sat 1431.bmp");
  EXPECT_EQ(fs::path(faxes[1]).filename(), "Fax 981205 Sat 1432.bmp");
  for (const auto& fax : faxes) EXPECT_NEAR(ReadBmpFile(fax).Height(), 120, 2) << fax;
}

TEST(DecodeTool, ManualStartAndTheOpenPictureAtTheEnd) {
  test::TempDir dir;
  // Two seconds of a grey level: no start tone, a picture only by the manual start.
  dir.Write("grey.raw", std::vector<unsigned char>(14400, 180));
  const auto decode = Shell(kBin + "/zarvo-decode --manual-start --start \"2026-12-07 10:00\" " +
                            "--out " + dir.Path() + " " + dir.File("grey.raw"));
  ASSERT_EQ(decode.Code, 0) << decode.Text;
  ASSERT_TRUE(fs::exists(dir.File("Fax 261207 Mon 1000.bmp"))) << decode.Text;
  // 2 s at 120 LPM: 4 lines, and the row just begun when the float clock crosses the end.
  EXPECT_NEAR(ReadBmpFile(dir.File("Fax 261207 Mon 1000.bmp")).Height(), 4.5, 0.5);
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
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

// The live program on a simulated interface: a pseudo-terminal fed by zarvo-sim at twenty times
// real time. The fax must arrive in Auto, as on air.
TEST(LiveReception, SimulatedBroadcastIsSavedInAuto) {
  test::TempDir home;
  fs::create_directory(home.File("Auto"));
  ASSERT_TRUE(test::WriteSettingsRecord(home, test::FirstTypeOnCom1(7)));
  FILE* sim =
      popen((kBin + "/zarvo-sim --pty --speed 20 --hold 3 --chart-height 120 --phasing-seconds 10")
                .c_str(),
            "r");
  ASSERT_NE(sim, nullptr);
  char path[256] = {};
  ASSERT_NE(std::fgets(path, sizeof path, sim), nullptr);
  const std::string device(path, std::strcspn(path, "\r\n"));
  ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
  const test::Child program = test::StartProcess(
      {kBin + "/zarvo-meteo", "--home", home.Path()},
      {"QT_QPA_PLATFORM=offscreen", "ZARVO_COM1=" + device, "HOME=" + home.Path(),
       "XDG_CONFIG_HOME=" + home.File("config"), "XDG_RUNTIME_DIR=" + home.Path()});
  ASSERT_GT(program.Pid, 0);
  // 82 s of broadcast at twenty times: about 4 s, and the hold.
  for (char rest[256]; std::fgets(rest, sizeof rest, sim);) {
  }
  pclose(sim);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(program.Pid, SIGTERM);
  EXPECT_EQ(test::WaitFor(program.Pid, std::chrono::seconds(20)), 0);
  close(program.OutFd);

  const auto faxes = test::SavedFaxes(home.File("Auto"));
  ASSERT_EQ(faxes.size(), 1u);
  const Bitmap fax = ReadBmpFile(faxes[0]);
  EXPECT_NEAR(fax.Height(), 119, 3);
  // 8-bit rows of 1812 bytes after 1078 header bytes.
  EXPECT_EQ(fs::file_size(faxes[0]), 1078u + 1812u * static_cast<unsigned>(fax.Height()));
  // The saved picture is the chart: its black bar starts at column 100 on every row below the
  // white top.
  const auto grey = [&](int x, int y) { return fax.Pixel(x, y) & 0xFF; };
  for (int y = 60; y < fax.Height() - 5; y += 20) {
    int edge = 0;
    while (edge < 1810 && grey(edge, y) >= 128) ++edge;
    EXPECT_NEAR(edge, 100, 2) << "row " << y;
    EXPECT_LT(grey(120, y), 64u) << "row " << y;   // inside the bar
    EXPECT_GT(grey(200, y), 192u) << "row " << y;  // the white between bar and pattern
  }
  TSettings saved{};
  ASSERT_TRUE(ReadSettingsFile(home.File("Zarvo.cfg"), saved));
  EXPECT_EQ(saved.IOC, 1);  // set by the start tone
  EXPECT_EQ(saved.DrumSpeed, 2);
}

}  // namespace
}  // namespace zarvo
