// The two tools as programs: zarvo-sim's stream decoded by zarvo-decode, its report and files.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zarvo
