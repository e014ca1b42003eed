// Live capture on a private PulseAudio server with null sinks: the source list, silence and tones
// heard through a sink's monitor, the port's read contract, and a source or server that goes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "audio/AudioDemodulator.h"
#include "capture/PulseSound.h"
#include "interface/InThread.h"
#include "support/AudioServer.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

bool Pactl(const std::string& arguments) {
  return test::Shell("pactl " + arguments).Code == 0;
}

// One server for the binary: a null sink, whose monitor the tests capture, loaded before a null
// source, an input. Without it every test fails (a failure here would only skip them).
std::string serverProblem = "the test environment was not set up";

class PulseEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    server_ = std::make_unique<test::AudioServer>(std::vector<std::string>{
        "module-null-sink sink_name=zarvo_test", "module-null-source source_name=zarvo_input"});
    serverProblem = server_->Error();
    address_ = std::make_unique<test::ScopedPulseServer>(server_->Address());
  }
  void TearDown() override {
    address_.reset();
    server_.reset();
  }

 private:
  std::unique_ptr<test::AudioServer> server_;
  std::unique_ptr<test::ScopedPulseServer> address_;
};

[[maybe_unused]] auto* const kServer = ::testing::AddGlobalTestEnvironment(new PulseEnvironment);

class PulseSound : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(serverProblem, ""); }
};

std::unique_ptr<PulseSoundPort> Open(const std::string& source) {
  std::string error;
  std::unique_ptr<SerialPort> port = OpenPulseSound(source, kDefaultCentreHz, error);
  EXPECT_TRUE(port) << error;
  return std::unique_ptr<PulseSoundPort>(static_cast<PulseSoundPort*>(port.release()));
}

// Whether half a second of bytes, all within 3 of `level`, comes within 300 reads.
bool HearsSteady(SerialPort& port, int level) {
  std::uint8_t block[RxBlockSize];
  int run = 0;
  for (int i = 0, got = 0; i < 300 && (got = port.Read(block, RxBlockSize)) >= 0; ++i)
    for (int k = 0; k < got; ++k)
      if ((run = std::abs(block[k] - level) <= 3 ? run + 1 : 0) == kAudioByteRate / 2) return true;
  return false;
}

TEST_F(PulseSound, ListsInputsBeforeMonitors) {
  std::vector<SoundSource> sources;
  std::string error;
  ASSERT_TRUE(ListPulseSources(sources, error)) << error;
  ASSERT_EQ(sources.size(), 2u);
  EXPECT_EQ(sources[0].Name, "zarvo_input");
  EXPECT_FALSE(sources[0].Monitor);
  EXPECT_EQ(sources[1].Name, "zarvo_test.monitor");
  EXPECT_TRUE(sources[1].Monitor);
  EXPECT_FALSE(sources[1].Description.empty());
}

TEST_F(PulseSound, RefusesWhatItCannotOpen) {
  struct Row {
    const char* Server;  // "" for the tests' server
    const char* Source;
    const char* Reason;
  };
  const Row rows[] = {
      {"unix:/nonexistent/zarvo/native", "zarvo_test.monitor",
       "no audio server is running at unix:/nonexistent/zarvo/native (Connection refused)"},
      {"", "zarvo_nosuch", "no sound source named \"zarvo_nosuch\""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Reason);
    test::ScopedPulseServer server(*r.Server ? r.Server : std::getenv("PULSE_SERVER"));
    std::string error;
    EXPECT_EQ(OpenPulseSound(r.Source, kDefaultCentreHz, error), nullptr);
    EXPECT_EQ(error, r.Reason);
    std::vector<SoundSource> sources;
    EXPECT_EQ(ListPulseSources(sources, error), *r.Server == 0);
  }
}

// An idle sink's monitor is digital silence, which the demodulator gives as its centre; then a
// tone of 1500 Hz and one of 2300 Hz played into the sink give black's byte and white's.
TEST_F(PulseSound, HearsSilenceAndTonesThroughAMonitor) {
  auto port = Open("zarvo_test.monitor");
  ASSERT_TRUE(port);
  EXPECT_TRUE(HearsSteady(*port, AudioFrequencyToByte(kDefaultCentreHz)));
  struct Unload {
    ~Unload() { Pactl("unload-module module-sine"); }
  } unload;
  for (const int hz : {1500, 2300}) {
    SCOPED_TRACE(hz);
    Pactl("unload-module module-sine");
    ASSERT_TRUE(Pactl("load-module module-sine sink=zarvo_test frequency=" + std::to_string(hz)));
    EXPECT_TRUE(HearsSteady(*port, AudioFrequencyToByte(hz)));
  }
  EXPECT_EQ(port->FailureReason(), "");
}

// While bytes flow, 360 every 50 ms, a read waits for all it asks for rather than returning with
// a fragment's rest. A suspended sink's monitor sends nothing: reads give 0, not a failure. Wake
// fails the read under way and every later one.
TEST_F(PulseSound, ReadsByTheSerialPortContract) {
  auto port = Open("zarvo_test.monitor");
  ASSERT_TRUE(port);
  std::uint8_t block[RxBlockSize];
  int got = 0;
  for (int i = 0; i < 300 && got == 0; ++i) got = port->Read(block, RxBlockSize);
  int full = 0;
  for (int i = 0; i < 50; ++i) full += port->Read(block, RxBlockSize) == RxBlockSize;
  EXPECT_GE(full, 45);  // one returning with each fragment's rest would give about 37

  struct Resume {
    ~Resume() { Pactl("suspend-sink zarvo_test 0"); }
  } resumeAfterwards;  // for the tests after this one, whatever happens here
  ASSERT_TRUE(Pactl("suspend-sink zarvo_test 1"));
  for (int i = 0; i < 300 && got > 0; ++i) got = port->Read(block, RxBlockSize);
  EXPECT_EQ(got, 0);
  auto reader = std::async(std::launch::async, [&] {
    int last = 0;
    while ((last = port->Read(block, RxBlockSize)) == 0) {
    }
    return last;
  });
  std::this_thread::sleep_for(50ms);
  port->Wake();
  EXPECT_EQ(reader.get(), -1);
  ASSERT_TRUE(Pactl("suspend-sink zarvo_test 0"));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(port->Read(block, RxBlockSize), -1);
  EXPECT_EQ(port->FailureReason(), "");
}

// The input thread fills its buffer from a capture, and notices when the source or the whole
// server goes.
TEST_F(PulseSound, InThreadReadsUntilTheSourceGoes) {
  struct Row {
    bool KillServer;  // else the sink's module is unloaded
    const char* Reason;
  };
  for (const Row& r :
       {Row{false, "the sound source was removed"}, Row{true, "the audio server has gone"}}) {
    SCOPED_TRACE(r.Reason);
    test::AudioServer server({"module-null-sink sink_name=zarvo_gone"});
    ASSERT_EQ(server.Error(), "");
    test::ScopedPulseServer address(server.Address());
    std::shared_ptr<PulseSoundPort> port = Open("zarvo_gone.monitor");
    ASSERT_TRUE(port);
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
    InThread input(buffer.get());
    input.Resume(port);
    ASSERT_TRUE(input.WaitForWritePos(10 * RxBlockSize, 20s));
    if (r.KillServer)
      server.Stop();
    else
      ASSERT_TRUE(Pactl("unload-module module-null-sink"));
    for (int i = 0; i < 2000 && !input.PortFailed; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(input.PortFailed);
    EXPECT_EQ(port->FailureReason(), r.Reason);
  }
}

}  // namespace
}  // namespace zarvo
