// A recording played through the receiver: through a real input thread it gives the
// demodulator's bytes, Fast waits for the decoder, RealTime for the clock, and a broken
// recording is refused before anything plays or fails where it breaks.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <future>
#include <thread>

#include "capture/RecordingPort.h"
#include "interface/InThread.h"
#include "sim/AudioSynth.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
constexpr int kRate = 8000;

class RecordingPortTest : public testing::Test {
 protected:
  void SetUp() override {
    // A broadcast of every section, 11 s of sound.
    const sim::GreyImage picture{8, 16, std::vector<std::uint8_t>(8 * 16, 90)};
    sim::BroadcastOptions o;
    o.DataRate = kAudioByteRate;
    o.Lpm = 240;
    o.LeadSeconds = o.TrailerSeconds = 0.5;
    o.StartSeconds = o.PhasingSeconds = o.StopSeconds = 2;
    sound = sim::MakeBroadcastAudio(picture, o, kRate);
    path = Write("fax.wav", sound, kRate);
    // The file holds the sound at 16 bits.
    AudioFileReader reader;
    std::vector<float> stored(sound.size());
    std::string error;
    ASSERT_TRUE(reader.Open(path, error));
    ASSERT_EQ(reader.Read(stored.data(), stored.size(), error), static_cast<long>(sound.size()));
    AudioDemodulator demodulator(kRate);
    demodulator.Push(stored.data(), stored.size(), expected);
    demodulator.Flush(expected);
  }
  std::string Write(const std::string& name, const std::vector<float>& samples, int rate) {
    AudioFileWriter writer;
    std::string error;
    EXPECT_TRUE(writer.Create(dir.File(name), rate, error) &&
                writer.Write(samples.data(), samples.size(), error) && writer.Close(error))
        << error;
    return dir.File(name);
  }
  std::unique_ptr<RecordingPort> Open(PlaySpeed speed, std::function<std::int32_t()> backlog) {
    std::string error;
    auto port = RecordingPort::Open(path, kDefaultCentreHz, speed, std::move(backlog), error);
    EXPECT_TRUE(port) << error;
    return port;
  }
  test::TempDir dir;
  std::vector<float> sound;
  std::string path;
  std::vector<std::uint8_t> expected;
  std::uint8_t block[RxBlockSize];
};

TEST_F(RecordingPortTest, FastThroughTheInputThreadGivesTheDemodulatorsBytes) {
  std::atomic<std::int32_t> taken{0};
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
  InThread in(buffer.get());
  std::shared_ptr<RecordingPort> port =
      Open(PlaySpeed::Fast, [&] { return in.WritePos.load() - taken.load(); });
  ASSERT_TRUE(port);
  EXPECT_DOUBLE_EQ(port->DurationSeconds(), static_cast<double>(sound.size()) / kRate);
  in.Resume(port);
  std::vector<std::uint8_t> received;
  std::int32_t readPos = 0, worstBacklog = 0;
  // Finished says every byte is handed out; the last of them may not be in the buffer yet.
  const auto done = [&] {
    return port->Ended() && readPos == std::lround(port->PlayedSeconds() * kAudioByteRate);
  };
  for (const auto end = std::chrono::steady_clock::now() + 120s;
       !done() && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(1ms)) {
    worstBacklog = std::max(worstBacklog, in.WritePos.load() - readPos);
    DrainDecoder(in, readPos, [&](const std::uint8_t* b, std::size_t n) {
      received.insert(received.end(), b, b + n);
    });
    taken = readPos;
  }
  in.Suspend();
  EXPECT_TRUE(port->Ended()) << port->FailureReason();
  EXPECT_EQ(received, expected);
  EXPECT_DOUBLE_EQ(port->PlayedSeconds(), static_cast<double>(expected.size()) / kAudioByteRate);
  EXPECT_LT(worstBacklog, RecordingPort::kFastBacklog + RxBlockSize);
}

TEST_F(RecordingPortTest, FastWaitsForTheDecoderThenPlaysToTheEndAndWakeEndsARead) {
  std::atomic<std::int32_t> backlog{RecordingPort::kFastBacklog};
  std::promise<void> inRead, woken;
  std::atomic<bool> holdNextRead{false};
  auto port = Open(PlaySpeed::Fast, [&] {
    if (holdNextRead.exchange(false)) {
      inRead.set_value();
      woken.get_future().wait();
    }
    return backlog.load();
  });
  ASSERT_TRUE(port);
  EXPECT_EQ(port->Read(block, RxBlockSize), 0);
  EXPECT_EQ(port->PlayedSeconds(), 0);
  backlog = RecordingPort::kFastBacklog - 1;
  ASSERT_EQ(port->Read(block, RxBlockSize), RxBlockSize);
  EXPECT_TRUE(std::equal(block, block + RxBlockSize, expected.begin()));
  while (!port->Ended()) ASSERT_GT(port->Read(block, RxBlockSize), 0);
  EXPECT_EQ(port->Read(block, RxBlockSize), 0);  // after the end: a silent line

  backlog = RecordingPort::kFastBacklog;
  holdNextRead = true;
  auto read = std::async(std::launch::async, [&] { return port->Read(block, RxBlockSize); });
  ASSERT_EQ(inRead.get_future().wait_for(60s), std::future_status::ready);
  port->Wake();
  woken.set_value();
  EXPECT_EQ(read.get(), -1);
  EXPECT_EQ(port->Read(block, RxBlockSize), -1);
}

TEST_F(RecordingPortTest, RealTimeHandsOutNoMoreThanIsDue) {
  auto port = Open(PlaySpeed::RealTime, {});
  ASSERT_TRUE(port);
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
  port->Wake();
  EXPECT_EQ(port->Read(block, RxBlockSize), -1);
}

TEST_F(RecordingPortTest, AReadErrorMidFileFailsThePortAfterTheBytesBefore) {
  auto port = Open(PlaySpeed::Fast, {});
  ASSERT_TRUE(port);
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  int n;
  while ((n = port->Read(block, RxBlockSize)) > 0) {
  }
  EXPECT_EQ(n, -1);
  EXPECT_EQ(port->Read(block, RxBlockSize), -1);
  EXPECT_FALSE(port->Ended());
  // The held-back second of the half that was read came out too.
  EXPECT_NEAR(port->PlayedSeconds(), port->DurationSeconds() / 2, 0.1);
  EXPECT_NE(port->FailureReason().find("truncated"), std::string::npos) << port->FailureReason();
}

TEST_F(RecordingPortTest, OpenRefusesWhatCannotBePlayed) {
  const std::string text = "1200 2300 1500\n";
  dir.Write("notes.wav", std::vector<unsigned char>(text.begin(), text.end()));
  auto cut = dir.Read("fax.wav");
  cut.resize(cut.size() * 2 / 3);
  dir.Write("cut.wav", cut);
  Write("fax.flac", sound, kRate);
  cut = dir.Read("fax.flac");
  cut.resize(cut.size() * 2 / 3);
  dir.Write("cut.flac", cut);
  const std::vector<float> second(8000, 0.5f);
  struct Case {
    std::string Path;
    double Centre;
    const char* Reason;  // a part of the message
  };
  const Case cases[] = {
      {dir.File("notes.wav"), 1900, "not a sound file"},
      {dir.File("cut.wav"), 1900, "truncated"},
      {dir.File("cut.flac"), 1900, "truncated"},  // found only by reading it through
      {Write("slow.wav", second, 4000), 1900, "sample rate of 4000 Hz is outside 8000..96000"},
      {Write("fast.wav", second, 192000), 1900, "sample rate of 192000 Hz is outside"},
      {dir.File("missing.wav"), 1900, "missing.wav: No such file or directory"},
      {path, 3000, "centre frequency must be 1000..2500 Hz"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(RecordingPort::Open(c.Path, c.Centre, PlaySpeed::Fast, {}, error)) << c.Path;
    EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zarvo
