// Live capture on a private PulseAudio server with null sinks: the source list, silence and tones
// heard through a sink's monitor, the port's read contract, and a source or server that goes. A
// recording played through the receiver: it gives the demodulator's bytes, Fast as the decoder
// takes them, RealTime as the clock makes them due, and a broken recording is refused before
// anything plays or fails where it breaks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>
#include <tuple>

#include "audio/AudioDemodulator.h"
#include "capture/PulseSound.h"
#include "capture/RecordingPort.h"
#include "interface/InThread.h"
#include "sim/AudioSynth.h"
#include "support/AudioServer.h"
#include "support/TempDir.h"

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

constexpr int kRate = 8000;

class RecordingPortTest : public testing::Test {
 protected:
  void SetUp() override {
    // A broadcast of every section, 15 s of sound.
    sound = sim::MakeBroadcastAudio({8, 16, std::vector<std::uint8_t>(8 * 16, 90)},
                                    {.Lpm = 240, .PhasingSeconds = 2, .StopSeconds = 2}, kRate);
    path = dir.WriteSound("fax.wav", sound, kRate);
    // The bytes of the sound as the file holds it, at 16 bits.
    AudioFileReader reader;
    std::vector<float> stored(sound.size());
    std::string error;
    ASSERT_TRUE(reader.Open(path, error));
    ASSERT_EQ(reader.Read(stored.data(), stored.size(), error), static_cast<long>(sound.size()));
    AudioDemodulator demodulator(kRate);
    demodulator.Push(stored.data(), stored.size(), expected);
    demodulator.Flush(expected);
  }
  // What the port gives until it has ended or fails.
  std::vector<std::uint8_t> ReadToEnd(RecordingPort& port) {
    std::vector<std::uint8_t> received;
    for (int n = 0; !port.Ended() && (n = port.Read(block, RxBlockSize)) >= 0;)
      received.insert(received.end(), block, block + n);
    return received;
  }
  test::TempDir dir;
  std::vector<float> sound;
  std::string path;
  std::vector<std::uint8_t> expected;
  std::uint8_t block[RxBlockSize];
};

// Fast waits while the decoder's backlog is full, plays to the end and is then a silent line;
// Wake ends the read under way and every later one.
TEST_F(RecordingPortTest, FastPlaysAsTheDecoderTakesTheBytes) {
  std::atomic<std::int32_t> backlog{RecordingPort::kFastBacklog};
  std::string error;
  auto port = RecordingPort::Open(
      path, kDefaultCentreHz, PlaySpeed::Fast, [&] { return backlog.load(); }, error);
  ASSERT_TRUE(port) << error;
  EXPECT_DOUBLE_EQ(port->DurationSeconds(), static_cast<double>(sound.size()) / kRate);
  EXPECT_EQ(port->Read(block, RxBlockSize), 0);
  backlog = RecordingPort::kFastBacklog - 1;
  EXPECT_EQ(ReadToEnd(*port), expected);
  EXPECT_DOUBLE_EQ(port->PlayedSeconds(), static_cast<double>(expected.size()) / kAudioByteRate);
  EXPECT_EQ(port->Read(block, RxBlockSize), 0);

  auto read = std::async(std::launch::async, [&] { return port->Read(block, RxBlockSize); });
  std::this_thread::sleep_for(30ms);
  port->Wake();
  EXPECT_TRUE(read.get() == -1 && port->Read(block, RxBlockSize) == -1);
}

TEST_F(RecordingPortTest, RealTimeHandsOutNoMoreThanIsDue) {
  std::string error;
  auto port = RecordingPort::Open(path, kDefaultCentreHz, PlaySpeed::RealTime, {}, error);
  ASSERT_TRUE(port) << error;
  std::vector<std::uint8_t> received;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) {
    const int n = port->Read(block, RxBlockSize);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_GT(n, 0);  // 100 ms always makes bytes due
    received.insert(received.end(), block, block + n);
    // Byte k is due k / 7200 s after the first read.
    EXPECT_LE(static_cast<double>(received.size()), kAudioByteRate * elapsed.count() + 1);
  }
  EXPECT_TRUE(std::equal(received.begin(), received.end(), expected.begin()));
}

// A broken recording fails where it breaks, after the bytes before it; opened, it is refused
// before anything plays. The reader's own refusals are its test's; here what only the port finds.
TEST_F(RecordingPortTest, BrokenRecordingsFailWhereTheyBreakOrAreRefused) {
  std::string error;
  auto port = RecordingPort::Open(path, kDefaultCentreHz, PlaySpeed::Fast, {}, error);
  ASSERT_TRUE(port) << error;
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  const auto received = ReadToEnd(*port);
  EXPECT_TRUE(port->Read(block, RxBlockSize) == -1 && !port->Ended());  // failed, not ended
  // The held-back second of the half that was read came out too.
  EXPECT_NEAR(static_cast<double>(received.size()), static_cast<double>(expected.size()) / 2, 720);
  EXPECT_EQ(port->FailureReason().rfind(path + ": the file is truncated", 0), 0u)
      << port->FailureReason();

  const std::string cut = dir.WriteSound("cut.flac", sound, kRate);
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) * 2 / 3);
  const std::tuple<std::string, double, std::string> cases[] = {
      {cut, 1900, cut + ": the file is truncated"},  // found only by reading it through
      {dir.File("missing.wav"), 1900, dir.File("missing.wav") + ": No such file or directory"},
      {dir.File("fax.flac"), 3000, "the centre frequency must be 1000..2500 Hz"}};
  for (const auto& [file, centre, reason] : cases)
    EXPECT_TRUE(!RecordingPort::Open(file, centre, PlaySpeed::Fast, {}, error) &&
                error.rfind(reason, 0) == 0)
        << error;
}

}  // namespace
}  // namespace zarvo
