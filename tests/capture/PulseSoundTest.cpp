// Live capture on a private PulseAudio server with null sinks: the source list, silence and tones
// heard through a sink's monitor, the port's read contract, and a source or server that goes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <thread>
#include <tuple>

#include "audio/AudioDemodulator.h"
#include "capture/PulseSound.h"
#include "interface/InThread.h"
#include "support/AudioServer.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

// One server for these tests, started by the first: a null sink, whose monitor they capture,
// loaded before a null source, an input. Without it every test fails rather than skips.
test::AudioServer& Server() {
  static test::AudioServer server(
      {"module-null-sink sink_name=zarvo_test", "module-null-source source_name=zarvo_input"});
  static test::ScopedPulseServer address(server.Address());
  return server;
}

bool Pactl(const std::string& arguments) {
  return Server().Pactl(arguments).Code == 0;
}

class PulseSound : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Server().Error(), ""); }
  std::uint8_t block[RxBlockSize];
};

TEST_F(PulseSound, ListsInputsBeforeMonitorsAndRefusesWhatItCannotOpen) {
  std::vector<SoundSource> sources;
  std::string error;
  ASSERT_TRUE(ListPulseSources(sources, error)) << error;
  ASSERT_EQ(sources.size(), 2u);
  EXPECT_EQ(std::tuple(sources[0].Name, sources[0].Monitor, sources[1].Name, sources[1].Monitor,
                       sources[1].Description.empty()),
            std::tuple("zarvo_input", false, "zarvo_test.monitor", true, false));
  EXPECT_TRUE(!OpenPulseSound("zarvo_nosuch", kDefaultCentreHz, error) &&
              error == "no sound source named \"zarvo_nosuch\"");

  test::ScopedPulseServer nowhere("unix:/nonexistent/zarvo/native");
  const char* none =
      "no audio server is running at unix:/nonexistent/zarvo/native (Connection refused)";
  EXPECT_TRUE(!OpenPulseSound("zarvo_test.monitor", kDefaultCentreHz, error) && error == none);
  EXPECT_TRUE(!ListPulseSources(sources, error) && error == none) << error;
}

// An idle sink's monitor is digital silence, which the demodulator gives as its centre; tones of
// 1500 Hz and 2300 Hz played into the sink give black's byte and white's. While bytes flow, 360
// every 50 ms, a read waits for all it asks for rather than returning with a fragment's rest. A
// suspended sink's monitor sends nothing: reads give 0, not a failure. Wake fails the read under
// way and every later one.
TEST_F(PulseSound, HearsTonesThroughAMonitorAndReadsByTheSerialPortContract) {
  std::string error;
  auto port = OpenPulseSound("zarvo_test.monitor", kDefaultCentreHz, error);
  ASSERT_TRUE(port) << error;
  // Whether half a second of bytes, all within 3 of `level`, comes within 300 reads.
  const auto hearsSteady = [&](int level) {
    for (int i = 0, got = 0, run = 0; i < 300 && (got = port->Read(block, RxBlockSize)) >= 0; ++i)
      for (int k = 0; k < got; ++k)
        if ((run = std::abs(block[k] - level) <= 3 ? run + 1 : 0) == kAudioByteRate / 2)
          return true;
    return false;
  };
  EXPECT_TRUE(hearsSteady(AudioFrequencyToByte(kDefaultCentreHz)));
  int full = 0;
  for (int i = 0; i < 50; ++i) full += port->Read(block, RxBlockSize) == RxBlockSize;
  EXPECT_GE(full, 45);  // one returning with each fragment's rest would give about 37
  for (const int hz : {1500, 2300}) {
    ASSERT_TRUE(Pactl("load-module module-sine sink=zarvo_test frequency=" + std::to_string(hz)));
    EXPECT_TRUE(hearsSteady(AudioFrequencyToByte(hz))) << hz << " Hz";
    Pactl("unload-module module-sine");
  }

  ASSERT_TRUE(Pactl("suspend-sink zarvo_test 1"));
  int got = 1;
  for (int i = 0; i < 300 && got > 0; ++i) got = port->Read(block, RxBlockSize);
  EXPECT_EQ(got, 0);
  auto read = std::async(std::launch::async, [&] { return port->Read(block, RxBlockSize); });
  std::this_thread::sleep_for(30ms);
  port->Wake();
  EXPECT_EQ(read.get(), -1);
  ASSERT_TRUE(Pactl("suspend-sink zarvo_test 0"));
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(port->Read(block, RxBlockSize) == -1 && port->FailureReason().empty());
}

// The input thread fills its buffer from a capture, and notices when the source or the whole
// server goes.
TEST_F(PulseSound, InThreadReadsUntilTheSourceGoes) {
  for (const bool killServer : {false, true}) {  // else the sink's module is unloaded
    test::AudioServer gone({"module-null-sink sink_name=zarvo_gone"});
    ASSERT_EQ(gone.Error(), "");
    test::ScopedPulseServer here(gone.Address());
    std::string error;
    std::shared_ptr<SerialPort> port =
        OpenPulseSound("zarvo_gone.monitor", kDefaultCentreHz, error);
    ASSERT_TRUE(port) << error;
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
    InThread input(buffer.get());
    input.Resume(port);
    ASSERT_TRUE(input.WaitForWritePos(10 * RxBlockSize, 20s));
    if (killServer)
      gone.Stop();
    else
      ASSERT_EQ(gone.Pactl("unload-module module-null-sink").Code, 0);
    EXPECT_TRUE(test::PollUntil([&] { return input.PortFailed.load(); }, 20s));
    EXPECT_EQ(port->FailureReason(),
              killServer ? "the audio server has gone" : "the sound source was removed");
  }
}

}  // namespace
}  // namespace zarvo
