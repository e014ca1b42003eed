// Live capture on a private PulseAudio server with null sinks: the source list, tones played into
// a sink heard through its monitor, the port's read contract, and a source or server that goes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <numbers>
#include <thread>

#include "audio/AudioDemodulator.h"
#include "audio/AudioFile.h"
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

// pulseaudio on a socket in a folder of its own, with nothing of the user's: no home, no default
// script, only the modules named here.
class PrivateServer {
 public:
  explicit PrivateServer(const std::string& modules) {
    std::vector<std::string> args = {
        "pulseaudio",
        "-n",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "--disable-shm=yes",
        "--use-pid-file=no",
        "-L",
        "module-native-protocol-unix auth-anonymous=1 socket=" + dir_.File("native")};
    for (std::size_t at = 0, end; at < modules.size(); at = end + 1) {
      end = std::min(modules.find(';', at), modules.size());
      args.insert(args.end(), {"-L", modules.substr(at, end - at)});
    }
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir_.Path(), "HOME=" + dir_.Path()};
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0)
        env.push_back(*e);
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    for (std::string& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, dir_.File("log").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    if (posix_spawnp(&pid_, "pulseaudio", &files, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&files);
    for (int i = 0; pid_ > 0 && i < 100 && !up_; ++i) {
      up_ = Shell("PULSE_SERVER=" + Address() + " pactl info >/dev/null 2>&1");
      if (!up_) std::this_thread::sleep_for(100ms);
    }
  }
  ~PrivateServer() { Stop(); }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
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

// Sets an environment variable for a scope; libpulse reads PULSE_SERVER at each connect.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { setenv(name_, old_.c_str(), 1); }

 private:
  const char* name_;
  std::string old_;
};

// One server for the whole binary: a null sink, whose monitor is the tests' source, and a null
// source, an input.
class PulseEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(Shell("command -v pulseaudio pactl paplay >/dev/null"))
        << "pulseaudio, pactl and paplay are needed: scripts/setup installs them";
    server_ = std::make_unique<PrivateServer>(
        "module-null-sink sink_name=zarvo_test;module-null-source source_name=zarvo_input");
    ASSERT_TRUE(server_->Up()) << "the private pulseaudio did not start:\n" << server_->Log();
    setenv("PULSE_SERVER", server_->Address().c_str(), 1);
  }
  void TearDown() override { server_.reset(); }

 private:
  std::unique_ptr<PrivateServer> server_;
};

[[maybe_unused]] auto* const kServer = ::testing::AddGlobalTestEnvironment(new PulseEnvironment);

std::unique_ptr<PulseSoundPort> Open(const std::string& source) {
  std::string error;
  std::unique_ptr<SerialPort> port = OpenPulseSound(source, kDefaultCentreHz, error);
  EXPECT_TRUE(port) << error;
  return std::unique_ptr<PulseSoundPort>(static_cast<PulseSoundPort*>(port.release()));
}

// Reads `count` bytes or until reads fail; 300 reads at most (30 s of silence).
std::vector<std::uint8_t> ReadBytes(SerialPort& port, std::size_t count) {
  std::vector<std::uint8_t> out;
  std::uint8_t block[RxBlockSize];
  for (int i = 0; i < 300 && out.size() < count; ++i) {
    const int got = port.Read(block, RxBlockSize);
    if (got < 0) break;
    out.insert(out.end(), block, block + got);
  }
  return out;
}

TEST(PulseSound, ListsInputsBeforeMonitors) {
  std::vector<SoundSource> sources;
  std::string error;
  ASSERT_TRUE(ListSoundSources(sources, error)) << error;
  ASSERT_EQ(sources.size(), 2u);
  // The monitor came first in the server's order: the null sink was loaded first.
  EXPECT_EQ(sources[0].Name, "zarvo_input");
  EXPECT_FALSE(sources[0].Monitor);
  EXPECT_EQ(sources[1].Name, "zarvo_test.monitor");
  EXPECT_TRUE(sources[1].Monitor);
  EXPECT_FALSE(sources[1].Description.empty());
}

TEST(PulseSound, RefusesWhatItCannotOpen) {
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
    ScopedEnv server("PULSE_SERVER", *r.Server ? r.Server : std::getenv("PULSE_SERVER"));
    std::string error;
    EXPECT_EQ(OpenPulseSound(r.Source, kDefaultCentreHz, error), nullptr);
    EXPECT_EQ(error, r.Reason);
    std::vector<SoundSource> sources;
    EXPECT_EQ(ListSoundSources(sources, error), *r.Server == 0);
  }
}

// A tone of 1500 Hz, then one of 2300 Hz, played into the sink: after the demodulator's second,
// the monitor gives black's byte, then white's.
TEST(PulseSound, HearsTonesThroughAMonitor) {
  test::TempDir dir;
  const std::string wav = dir.File("tones.wav");
  {
    std::vector<float> sound;
    for (const double hz : {1500.0, 2300.0})
      for (int i = 0; i < 3 * PulseSoundPort::kSampleRate; ++i)
        sound.push_back(static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * hz * i / PulseSoundPort::kSampleRate)));
    AudioFileWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Create(wav, PulseSoundPort::kSampleRate, error) &&
                writer.Write(sound.data(), sound.size(), error) && writer.Close(error))
        << error;
  }
  auto port = Open("zarvo_test.monitor");
  ASSERT_TRUE(port);
  auto player =
      std::async(std::launch::async, [&] { return Shell("paplay -d zarvo_test " + wav); });
  std::vector<std::uint8_t> heard = ReadBytes(*port, 9 * kAudioByteRate);
  ASSERT_TRUE(player.get());
  // Where half a second of bytes is all within 3 of a level.
  const auto steadyAt = [&](std::uint8_t level, std::size_t from) {
    for (std::size_t end = from, run = 0; end < heard.size(); ++end) {
      run = std::abs(heard[end] - level) <= 3 ? run + 1 : 0;
      if (run == kAudioByteRate / 2) return end;
    }
    return heard.size();
  };
  const std::size_t black = steadyAt(AudioFrequencyToByte(1500), 0);
  ASSERT_LT(black, heard.size()) << "no steady black";
  EXPECT_LT(steadyAt(AudioFrequencyToByte(2300), black), heard.size()) << "no steady white";
  EXPECT_EQ(port->FailureReason(), "");
}

// A suspended sink's monitor sends nothing: the queue runs dry and reads give 0, not a failure;
// Wake then fails the read under way and every later one.
TEST(PulseSound, ReadsSilenceNothingAndWake) {
  auto port = Open("zarvo_test.monitor");
  ASSERT_TRUE(port);
  std::uint8_t block[RxBlockSize];
  int got = 0;
  for (int i = 0; i < 300 && got == 0; ++i) got = port->Read(block, RxBlockSize);
  ASSERT_GT(got, 0);
  // Once bytes flow, 144 every 20 ms, a read waits for all it asks for rather than returning
  // with the rest of a fragment. An idle sink's monitor is digital silence, which the
  // demodulator gives as the centre's byte.
  int full = 0;
  for (int i = 0; i < 50; ++i) {
    got = port->Read(block, RxBlockSize);
    full += got == RxBlockSize;
    EXPECT_EQ(std::count(block, block + std::max(got, 0), AudioFrequencyToByte(kDefaultCentreHz)),
              got);
  }
  EXPECT_GE(full, 45);

  struct Resume {
    ~Resume() { Shell("pactl suspend-sink zarvo_test 0"); }
  } resumeAfterwards;  // for the tests after this one, whatever happens here
  ASSERT_TRUE(Shell("pactl suspend-sink zarvo_test 1"));
  for (int i = 0; i < 300 && got > 0; ++i) got = port->Read(block, RxBlockSize);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(port->Read(block, RxBlockSize), 0);
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
  EXPECT_EQ(ReadBytes(*port, 1).size(), 0u);
  EXPECT_EQ(port->FailureReason(), "");
}

// The input thread fills its buffer from a capture, and notices when the source or the whole
// server goes.
TEST(PulseSound, InThreadReadsUntilTheSourceGoes) {
  struct Row {
    const char* What;
    bool KillServer;  // else the source's module is unloaded
    const char* Reason;
  };
  const Row rows[] = {{"source removed", false, "the sound source was removed"},
                      {"server killed", true, "the audio server has gone"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.What);
    PrivateServer server("module-null-sink sink_name=zarvo_gone");
    ASSERT_TRUE(server.Up()) << server.Log();
    ScopedEnv address("PULSE_SERVER", server.Address());
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
    input.Terminate();
  }
}

}  // namespace
}  // namespace zarvo
