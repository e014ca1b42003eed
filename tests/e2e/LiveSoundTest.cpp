// The live program receives from a sound card: a broadcast played through a real audio server
// into a null sink, captured from its monitor, saves the fax that zarvo-decode makes of the
// recording itself.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>

#include "measure/FaxCompare.h"
#include "measure/TableText.h"
#include "sim/Picture.h"
#include "support/AudioServer.h"
#include "support/ProgramRun.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
const std::string kBin = ZARVO_BIN_DIR;
constexpr int kChartHeight = 120;

measure::FaxComparison Compare(const std::string& savedPath) {
  sim::GreyImage saved;
  std::string error;
  if (!sim::ReadPicture(savedPath, saved, error)) {
    ADD_FAILURE() << error;
    return {};
  }
  return measure::CompareFax(saved, measure::SentLines(sim::TestChart(kChartHeight), 576), 576);
}

TEST(LiveSound, FaxCapturedThroughTheAudioServerIsTheRecordingsFax) {
  test::AudioServer server;
  ASSERT_EQ(server.Error(), "");
  test::TempDir home;
  std::filesystem::create_directory(home.File("Auto"));
  std::filesystem::create_directory(home.File("decoded"));
  const auto sim = test::Shell(kBin + "/zarvo-sim --chart-height " + std::to_string(kChartHeight) +
                               " --phasing-seconds 10 --audio-rate 48000 --snr 20 --wav " +
                               home.File("fax.wav"));
  ASSERT_EQ(sim.Code, 0) << sim.Text;
  ASSERT_TRUE(test::WriteSettingsRecord(home, test::FirstTypeOnCom1(7)));
  // The user's choice of the sound card, kept outside Zarvo.cfg.
  std::filesystem::create_directories(home.File("config/Zarvo"));
  const std::string choice =
      "[SoundInput]\nChosen=true\nSource=" + std::string(test::AudioServer::kMonitor) + "\n";
  home.Write("config/Zarvo/Zarvo Meteo.conf", {choice.begin(), choice.end()});

  test::Pty line;  // every COM port is this terminal, which nothing should open
  ASSERT_TRUE(line.Ok());
  std::vector<std::string> env = test::OffscreenEnv(home, line);
  env.push_back(server.Env());
  const test::Child child = test::StartProcess({kBin + "/zarvo-meteo", "--home", home.Path()}, env);
  ASSERT_GT(child.Pid, 0);
  test::WaitForTermHandler(child.Pid);
  // The program's record stream on the monitor: it is listening.
  ASSERT_TRUE(test::PollUntil(
      [&] {
        return server.Pactl("list short source-outputs").Text.find("protocol-native") !=
               std::string::npos;
      },
      20s));
  const pid_t player = server.Play(home.File("fax.wav"));
  ASSERT_GT(player, 0);
  EXPECT_EQ(test::WaitFor(player, 120s), 0);
  // The last line and the stop tone come out a second after the sound.
  const bool saved =
      test::PollUntil([&] { return !test::SavedFaxes(home.File("Auto")).empty(); }, 10s);
  EXPECT_FALSE(test::WaitForOpenDevice(child.Pid, line.SlavePath(), 0s));
  kill(child.Pid, SIGTERM);
  EXPECT_EQ(test::WaitFor(child.Pid, 20s), 0);
  close(child.OutFd);
  ASSERT_TRUE(saved);

  const auto decode = test::Shell(kBin + "/zarvo-decode --out " + home.File("decoded") + " " +
                                  home.File("fax.wav"));
  ASSERT_EQ(decode.Code, 0) << decode.Text;
  const auto live = test::SavedFaxes(home.File("Auto"));
  const auto decoded = test::SavedFaxes(home.File("decoded"));
  ASSERT_EQ(decoded.size(), 1u) << decode.Text;
  ASSERT_EQ(live.size(), 1u);
  const measure::FaxComparison fromServer = Compare(live[0]);
  const measure::FaxComparison fromFile = Compare(decoded[0]);
  ASSERT_TRUE(fromServer.Valid && fromFile.Valid);
  RecordProperty("LiveBorder", measure::Fixed(fromServer.Border));
  RecordProperty("LiveGreyErrorNear", measure::Fixed(fromServer.GreyErrorNear));
  RecordProperty("DecodedGreyErrorNear", measure::Fixed(fromFile.GreyErrorNear));
  // The server resamples and the capture starts at a fragment's edge: the same picture, to a
  // column and a row or two.
  EXPECT_NEAR(fromServer.RowsSaved, fromFile.RowsSaved, 2);
  EXPECT_NEAR(fromServer.Border, fromFile.Border, 1.0);
  EXPECT_NEAR(fromServer.Border, 0, 1.5);
  EXPECT_LE(fromServer.GreyErrorNear, fromFile.GreyErrorNear + 4);
}

}  // namespace
}  // namespace zarvo
