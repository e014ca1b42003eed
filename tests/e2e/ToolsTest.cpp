// The two tools as programs: zarvo-sim's stream decoded by zarvo-decode, its report and files.
#include <gtest/gtest.h>

#include "support/ProgramRun.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;
const std::string kBin = ZARVO_BIN_DIR;

class DecodeTool : public ::testing::Test {
 protected:
  void Sim(const std::string& args) {
    const auto sim = test::Shell(kBin + "/zarvo-sim " + args);
    ASSERT_EQ(sim.Code, 0) << sim.Text;
  }
  // zarvo-decode in the test's folder.
  test::ShellOutput Decode(const std::string& args) {
    return test::Shell("cd " + dir.Path() + " && " + kBin + "/zarvo-decode " + args);
  }
  test::TempDir dir;
};

TEST_F(DecodeTool, DecodesTwoBroadcastsOnTheStreamsClockAndAManualStart) {
  Sim("--repeat 2 --chart-height 120 --phasing-seconds 10 -o " + dir.File("two.raw"));
  // The output folder is made.
  const auto decode = Decode("--start \"1998-12-05 14:30\" --out out/new two.raw");
  ASSERT_EQ(decode.Code, 0) << decode.Text;
  // 5 s of start tone, recognised once it has lasted 0.98 s (49 blocks of 20 ms), then phasing;
  // the picture starts once the phasing is over.
  for (const char* status :
       {"00:00:00.9 Start IOC 576\n", " Synchronizing\n", " Receiving\n", "2 fax(es) saved"})
    EXPECT_NE(decode.Text.find(status), std::string::npos) << status << " in " << decode.Text;
  // Each broadcast lasts 5 + 10 + 60 + 5 + 2 = 82 s, so the faxes end at about 14:31:15 and
  // 14:32:37 of the given start.
  // The described detector shows "Stop" every half second of the tone: reported once a stop.
  const auto described = Decode("--described-detector --out out/described two.raw").Text;
  std::size_t stops = 0;
  for (auto at = described.find(" Stop\n"); at != std::string::npos;
       at = described.find(" Stop\n", at + 1))
    ++stops;
  EXPECT_EQ(stops, 2u) << described;
  for (const char* name : {"Fax 981205 Sat 1431.bmp", "Fax 981205 Sat 1432.bmp"})
    EXPECT_NEAR(ReadBmpFile(dir.File("out/new/") + name).Height(), 120, 2) << name;

  // Two seconds of a grey level: no start tone, a picture only by the manual start.
  dir.Write("grey.raw", std::vector<unsigned char>(14400, 180));
  const auto manual = Decode("--manual-start --start \"2026-12-07 10:00\" --out . grey.raw");
  ASSERT_TRUE(manual.Code == 0 && fs::exists(dir.File("Fax 261207 Mon 1000.bmp"))) << manual.Text;
  // 2 s at 120 LPM: 4 lines, and the row just begun when the float clock crosses the end.
  EXPECT_NEAR(ReadBmpFile(dir.File("Fax 261207 Mon 1000.bmp")).Height(), 4.5, 0.5);
}

// A broadcast as sound from zarvo-sim, as WAV and FLAC (Ogg takes the same path: the reader's test
// has it), as a file and on standard input, through zarvo-decode: the same statuses and fax as its
// byte stream, also with the receiver mistuned and the centre set to match, and under a name that
// does not tell it is a recording.
TEST_F(DecodeTool, DecodesSoundRecordingsToldByTheirContentAndRefusesBadInput) {
  const std::string broadcast = "--chart-height 120 --phasing-seconds 10 --lpm 240 ";
  Sim(broadcast + "-o " + dir.File("b.raw"));
  Sim(broadcast + "--wav " + dir.File("b.wav"));
  Sim(broadcast + "--mistune 60 --snr 15 --audio-rate 48000 --wav " + dir.File("m.flac"));
  fs::copy_file(dir.File("m.flac"), dir.File("m.dat"));
  const std::string wav = "WAV, 11025 Hz, 1 channel", flac = "FLAC, 48000 Hz, 1 channel";
  const std::pair<std::string, std::string> inputs[] = {{"b.raw", ""},
                                                        {"b.wav", wav},
                                                        {"--centre 1960 m.flac", flac},
                                                        {"--centre 1960 m.dat", flac},
                                                        {"- < b.wav", wav}};
  int rawRows = 0;
  for (int n = 0; const auto& [input, format] : inputs) {
    SCOPED_TRACE(input);
    const std::string out = "out" + std::to_string(n++);
    fs::create_directory(dir.File(out));
    const auto decode = Decode("--out " + out + " " + input);
    ASSERT_EQ(decode.Code, 0) << decode.Text;
    for (const char* text :
         {format.c_str(), " Start IOC 576\n", " 240 LPM, IOC 576\n", " Stop\n", "1 fax(es) saved"})
      EXPECT_NE(decode.Text.find(text), std::string::npos) << text << " in " << decode.Text;
    // The 120 rows and the half second of stop tone that closes the fax, as from the bytes.
    const int rows = ReadBmpFile(test::SavedFaxes(dir.File(out)).at(0)).Height();
    if (rawRows == 0) rawRows = rows;  // the byte stream comes first
    EXPECT_NEAR(rows, 123, 1);
    EXPECT_NEAR(rows, rawRows, 1);
  }

  // Bad input: an error and no file. (What else the sound reader refuses: AudioFileTest.)
  dir.Write("text.wav", {'h', 'e', 'l', 'l', 'o', '\n'});
  fs::create_directory(dir.File("out"));
  const std::pair<std::string, std::string> cases[] = {
      {"--lpm 100", "--lpm takes 60, 90, 120, 180 or 240"},
      {"--ioc 300", "--ioc takes 576 or 288"},
      {"--interface 6", "--interface takes 1..5"},
      {"--cal 5 5", "--cal takes two different sample values"},
      {"--start 1998-12-05", "--start takes \"YYYY-MM-DD HH:MM\""},
      {"--rate", "--rate needs a value"},
      {"--frobnicate", "unknown option --frobnicate"},
      {"no/stream.raw", "cannot read no/stream.raw"},
      {"--out b.wav/faxes b.wav", "cannot make the folder b.wav/faxes"},
      {"text.wav", "not a sound file"},
      {"--rate 7200 b.wav", "describe a byte stream"},
      {"--centre 1950 b.raw", "--centre is for sound recordings"},
      {"--centre 900 b.wav", "--centre takes 1000..2500 Hz"},
  };
  for (const auto& [args, error] : cases) {
    const auto out = Decode("--out out " + args + " </dev/null");
    EXPECT_EQ(out.Code, 2) << args << ": " << out.Text;
    EXPECT_EQ(out.Text.rfind("zarvo-decode: ", 0), 0u) << args << ": " << out.Text;
    EXPECT_NE(out.Text.find(error), std::string::npos) << args << ": " << out.Text;
  }
  EXPECT_TRUE(fs::is_empty(dir.File("out")));
}

}  // namespace
}  // namespace zarvo
