// The live program saves the faxes zarvo-decode makes of the same input: minutes of two noisy
// broadcasts through a pseudo-terminal, so that the receive buffer wraps more than once, and a
// broadcast played through a real audio server into a null sink, captured from its monitor.
#include <gtest/gtest.h>

#include "measure/FaxCompare.h"
#include "measure/TableText.h"
#include "settings/SettingsFile.h"
#include "support/AudioServer.h"
#include "support/ProgramRun.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
const std::string kBin = ZARVO_BIN_DIR;

class LiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line.Ok());
    // The stored left edge beyond the screen, which the end pulls back when it writes them.
    ASSERT_TRUE(test::WriteSettingsRecord(
        home, test::FirstTypeOnCom1(7) + "InVidWindow = 5000 10 300 400\n"));
  }
  void TearDown() override { Stop(); }
  // A broadcast of the 120-row chart from zarvo-sim.
  void Sim(const std::string& args) {
    const auto sim =
        test::Shell(kBin + "/zarvo-sim --chart-height 120 --phasing-seconds 10 " + args);
    ASSERT_EQ(sim.Code, 0) << sim.Text;
  }
  bool Start(const std::vector<std::string>& env) {
    child = test::StartProcess({kBin + "/zarvo-meteo", "--home", home.Path()}, env);
    if (child.Pid > 0) test::WaitForTermHandler(child.Pid);
    return child.Pid > 0;
  }
  void Stop() {
    if (child.Pid <= 0) return;
    kill(child.Pid, SIGTERM);
    EXPECT_EQ(test::WaitFor(child.Pid, 20s), 0);
    close(child.OutFd);
    child = {};
  }
  // The live program's faxes and zarvo-decode's of `input`, oldest first.
  std::pair<std::vector<std::string>, std::vector<std::string>> Faxes(const std::string& input) {
    const auto decode =
        test::Shell(kBin + "/zarvo-decode --out " + home.File("decoded") + " " + home.File(input));
    EXPECT_EQ(decode.Code, 0) << decode.Text;
    return {test::SavedFaxes(home.File("Auto")), test::SavedFaxes(home.File("decoded"))};
  }
  test::TempDir home;
  test::Pty line;
  test::Child child;
};

// SIGTERM in the middle of the second fax saves it as an ended one is, with every row that reached
// the program, and writes the settings.
TEST_F(LiveTest, SameFaxesAsZarvoDecodeOverSeveralPassesOfTheBuffer) {
  // Broadcasts of 82 s each, cut 15 s of tones and 40.25 s of picture into the second: 2.3 passes
  // of the buffer.
  Sim("--repeat 2 --noise 40 --seed 3 -o " + home.File("whole.raw"));
  auto stream = home.Read("whole.raw");
  stream.resize(7200 * (82 + 15 + 40) + 1800);
  home.Write("stream.raw", stream);
  ASSERT_TRUE(Start(test::OffscreenEnv(home, line)));
  ASSERT_TRUE(test::WaitForOpenDevice(child.Pid, line.SlavePath()));
  // Three times the box's pace: a pass of the buffer takes 20 s, far more than any stall here.
  ASSERT_TRUE(test::FeedLine(line, stream, 3 * 7200.0));
  std::this_thread::sleep_for(1500ms);
  Stop();
  TSettings saved{};
  EXPECT_TRUE(ReadSettingsFile(home.File(kSettingsFileName), saved) &&
              saved.InVidWindow.Left < 5000);
  const auto [live, decoded] = Faxes("stream.raw");
  ASSERT_EQ(std::pair(live.size(), decoded.size()), std::pair(2ul, 2ul));
  for (std::size_t i = 0; i < live.size(); ++i)
    EXPECT_TRUE(test::SamePicture(live[i], decoded[i])) << "fax " << i;
  EXPECT_NEAR(ReadBmpFile(live[1]).Height(), 80.5, 2.5);
}

measure::FaxComparison Compare(const std::string& savedPath) {
  sim::GreyImage saved;
  std::string error;
  EXPECT_TRUE(sim::ReadPicture(savedPath, saved, error)) << error;
  return measure::CompareFax(saved, measure::SentLines(sim::TestChart(120), 576), 576);
}

TEST_F(LiveTest, FaxCapturedThroughTheAudioServerIsTheRecordingsFax) {
  test::AudioServer server;
  ASSERT_EQ(server.Error(), "");
  Sim("--audio-rate 48000 --snr 20 --wav " + home.File("fax.wav"));
  // The user's choice of the sound card, kept outside Zarvo.cfg.
  std::filesystem::create_directories(home.File("config/Zarvo"));
  std::ofstream(home.File("config/Zarvo/Zarvo Meteo.conf"))
      << "[SoundInput]\nChosen=true\nSource=" << test::AudioServer::kMonitor << "\n";
  std::vector<std::string> env = test::OffscreenEnv(home, line);
  env.push_back(server.Env());
  ASSERT_TRUE(Start(env));
  // The program's record stream on the monitor: it is listening.
  const auto listening = [&] {
    const std::string outputs = server.Pactl("list short source-outputs").Text;
    return outputs.find("protocol-native") != std::string::npos;
  };
  ASSERT_TRUE(test::PollUntil(listening, 20s));
  const pid_t player = server.Play(home.File("fax.wav"));
  ASSERT_GT(player, 0);
  EXPECT_EQ(test::WaitFor(player, 120s), 0);
  // The last line and the stop tone come out a second after the sound.
  EXPECT_TRUE(test::PollUntil([&] { return !test::SavedFaxes(home.File("Auto")).empty(); }, 10s));
  // Every COM port is the pseudo-terminal, which nothing may open.
  EXPECT_FALSE(test::WaitForOpenDevice(child.Pid, line.SlavePath(), 0s));
  Stop();

  const auto [live, decoded] = Faxes("fax.wav");
  ASSERT_EQ(std::pair(live.size(), decoded.size()), std::pair(1ul, 1ul));
  const measure::FaxComparison fromServer = Compare(live[0]), fromFile = Compare(decoded[0]);
  ASSERT_TRUE(fromServer.Valid && fromFile.Valid);
  // The server resamples and the capture starts at a fragment's edge: the same picture, to a
  // column and a row or two.
  EXPECT_NEAR(fromServer.RowsSaved, fromFile.RowsSaved, 2);
  EXPECT_NEAR(fromServer.Border, fromFile.Border, 1.0);
  EXPECT_NEAR(fromServer.Border, 0, 1.5);
  EXPECT_LE(fromServer.GreyErrorNear, fromFile.GreyErrorNear + 4);
}

}  // namespace
}  // namespace zarvo
