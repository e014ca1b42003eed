// Live capture on a private PulseAudio server with null sinks: the source list, silence and tones
// heard through a sink's monitor, the port's read contract, and a source or server that goes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "audio/AudioDemodulator.h"
#include "capture/PulseSound.h"
#include "interface/InThread.h"
#include "support/TempDir.h"

extern char** environ;

namespace zarvo {
namespace {

using namespace std::chrono_literals;

bool Shell(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

// pulseaudio on a socket in a folder of its own: no home, no default script, only `modules`
// (options -L '...') besides the socket.
class PrivateServer {
 public:
  explicit PrivateServer(const std::string& modules) {
    const std::string& d = dir_.Path();
    std::string command = "XDG_RUNTIME_DIR=" + d + " HOME=" + d +
                          " exec pulseaudio -n --daemonize=no --exit-idle-time=-1"
                          " --disable-shm=yes --use-pid-file=no -L 'module-native-protocol-unix"
                          " auth-anonymous=1 socket=" +
                          d + "/native' " + modules + " >" + d + "/log 2>&1";
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), command.data(), nullptr};
    if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, argv, environ) != 0) pid_ = 0;
    for (int i = 0; pid_ > 0 && i < 100 && !up_; ++i) {
      up_ = Shell("PULSE_SERVER=" + Address() + " pactl info >/dev/null 2>&1");
      if (!up_) std::this_thread::sleep_for(100ms);
    }
  }
  ~PrivateServer() { Stop(); }
  void Stop() {
    if (pid_ > 0 && kill(pid_, SIGTERM) == 0) waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }
  bool Up() const { return up_; }
  std::string Address() const { return "unix:" + dir_.File("native"); }
  std::string Log() const {
    const std::vector<unsigned char> log = dir_.Read("log");
    return {log.begin(), log.end()};
  }

 private:
  test::TempDir dir_;
  pid_t pid_ = 0;
  bool up_ = false;
};

// libpulse reads PULSE_SERVER at each connect.
class ScopedServer {
 public:
  explicit ScopedServer(const std::string& address) : old_(std::getenv("PULSE_SERVER")) {
    setenv("PULSE_SERVER", address.c_str(), 1);
  }
  ~ScopedServer() { setenv("PULSE_SERVER", old_.c_str(), 1); }

 private:
  std::string old_;
};

// One server for the binary: a null sink, whose monitor the tests capture, loaded before a null
// source, an input. Without it every test fails (a failure here would only skip them).
std::string serverProblem = "the test environment was not set up";

class PulseEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!Shell("command -v pulseaudio pactl >/dev/null")) {
      serverProblem = "pulseaudio and pactl are needed: scripts/setup installs them";
      return;
    }
    server_ = std::make_unique<PrivateServer>(
        "-L 'module-null-sink sink_name=zarvo_test' "
        "-L 'module-null-source source_name=zarvo_input'");
    serverProblem = server_->Up() ? "" : "the private pulseaudio did not start:\n" + server_->Log();
    setenv("PULSE_SERVER", server_->Address().c_str(), 1);
  }
  void TearDown() override { server_.reset(); }

 private:
  std::unique_ptr<PrivateServer> server_;
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
    ScopedServer server(*r.Server ? r.Server : std::getenv("PULSE_SERVER"));
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
    ~Unload() { Shell("pactl unload-module module-sine 2>/dev/null"); }
  } unload;
  for (const int hz : {1500, 2300}) {
    SCOPED_TRACE(hz);
    Shell("pactl unload-module module-sine 2>/dev/null");
    ASSERT_TRUE(Shell("pactl load-module module-sine sink=zarvo_test frequency=" +
                      std::to_string(hz) + " >/dev/null"));
    EXPECT_TRUE(HearsSteady(*port, AudioFrequencyToByte(hz)));
  }
  EXPECT_EQ(port->FailureReason(), "");
}

// While bytes flow, 144 every 20 ms, a read waits for all it asks for rather than returning with
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
  EXPECT_GE(full, 40);  // one returning with each fragment's rest would give about 25

  struct Resume {
    ~Resume() { Shell("pactl suspend-sink zarvo_test 0"); }
  } resumeAfterwards;  // for the tests after this one, whatever happens here
  ASSERT_TRUE(Shell("pactl suspend-sink zarvo_test 1"));
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
  ASSERT_TRUE(Shell("pactl suspend-sink zarvo_test 0"));
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
    PrivateServer server("-L 'module-null-sink sink_name=zarvo_gone'");
    ASSERT_TRUE(server.Up()) << server.Log();
    ScopedServer address(server.Address());
    std::shared_ptr<PulseSoundPort> port = Open("zarvo_gone.monitor");
    ASSERT_TRUE(port);
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[RxBufferSize]);
    InThread input(buffer.get());
    input.Resume(port);
    ASSERT_TRUE(input.WaitForWritePos(10 * RxBlockSize, 20s));
    if (r.KillServer)
      server.Stop();
    else
      ASSERT_TRUE(Shell("pactl unload-module module-null-sink"));
    for (int i = 0; i < 2000 && !input.PortFailed; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(input.PortFailed);
    EXPECT_EQ(port->FailureReason(), r.Reason);
  }
}

}  // namespace
}  // namespace zarvo
