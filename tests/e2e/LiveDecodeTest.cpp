// The live program and zarvo-decode make the same faxes of the same stream: minutes of two noisy
// broadcasts through a pseudo-terminal, so that the receive buffer wraps more than once.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "interface/InThread.h"
#include "support/ProgramRun.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
const std::string kBin = ZARVO_BIN_DIR;

TEST(LiveDecode, SameFaxesAsZarvoDecodeOverSeveralPassesOfTheBuffer) {
  test::TempDir home;
  std::filesystem::create_directory(home.File("Auto"));
  std::filesystem::create_directory(home.File("decoded"));
  // Two broadcasts of 82 s each: 164 s of stream, 2.7 passes of the buffer.
  const auto sim =
      test::Shell(kBin + "/zarvo-sim --repeat 2 --chart-height 120 " +
                  "--phasing-seconds 10 --noise 40 --seed 3 -o " + home.File("stream.raw"));
  ASSERT_EQ(sim.Code, 0) << sim.Text;
  const auto stream = test::ReadBytes(home.File("stream.raw"));
  ASSERT_GT(stream.size(), 2u * RxBufferSize);
  ASSERT_TRUE(test::WriteSettingsRecord(home, test::FirstTypeOnCom1(7)));

  test::Pty line;
  ASSERT_TRUE(line.Ok());
  const test::Child child = test::StartProcess({kBin + "/zarvo-meteo", "--home", home.Path()},
                                               test::OffscreenEnv(home, line));
  ASSERT_GT(child.Pid, 0);
  test::WaitForTermHandler(child.Pid);
  ASSERT_TRUE(test::WaitForOpenDevice(child.Pid, line.SlavePath()));
  // Three times the box's pace: a pass of the buffer takes 20 s, far more than any stall here.
  const auto started = std::chrono::steady_clock::now();
  const bool fed = test::FeedLine(line, stream, 3 * 7200.0);
  const double feedSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::this_thread::sleep_for(1500ms);
  kill(child.Pid, SIGTERM);
  EXPECT_EQ(test::WaitFor(child.Pid, 20s), 0);
  close(child.OutFd);
  ASSERT_TRUE(fed);
  RecordProperty("FeedSeconds", std::to_string(feedSeconds));

  const auto decode = test::Shell(kBin + "/zarvo-decode --out " + home.File("decoded") + " " +
                                  home.File("stream.raw"));
  ASSERT_EQ(decode.Code, 0) << decode.Text;
  const auto live = test::SavedFaxes(home.File("Auto"));
  const auto decoded = test::SavedFaxes(home.File("decoded"));
  ASSERT_EQ(decoded.size(), 2u) << decode.Text;
  ASSERT_EQ(live.size(), decoded.size()) << decode.Text;
  for (std::size_t i = 0; i < live.size(); ++i)
    EXPECT_TRUE(test::SamePicture(live[i], decoded[i])) << "fax " << i;
}

}  // namespace
}  // namespace zarvo
