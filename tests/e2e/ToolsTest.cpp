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
    ASSERT_EQ(fs::directory_iterator(out)->path().extension(), ".bmp");
    ASSERT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
    // The 120 rows and the half second of stop tone that closes the fax, as from the bytes.
    const int rows = ReadBmpFile(test::SavedFaxes(out).at(0)).Height();
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
  EXPECT_TRUE(fs::is_empty(dir.File("out")));
}

}  // namespace
}  // namespace zarvo
