// The termios port on pseudo-terminals: line settings, exclusive open, the bytes on the wire
// and their timing, streaming into the receive buffer, a device that hangs up.
#include <gtest/gtest.h>
#include <pthread.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "interface/PosixSerial.h"
#include "interface/Receiver.h"
#include "settings/Settings.h"
#include "support/Pty.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
using test::Pty;

TEST(ComDevicePath, EnvironmentNamesTheDevice) {
  setenv("ZARVO_COM3", "/dev/pts/77", 1);
  EXPECT_EQ(ComDevicePath("COM3"), "/dev/pts/77");
  unsetenv("ZARVO_COM3");
  EXPECT_EQ(ComDevicePath("COM3"), "/dev/ttyS2");  // the default without ZARVO_COM3
  EXPECT_EQ(ComDevicePath("COM0"), "");
  EXPECT_EQ(ComDevicePath("COM"), "");
  EXPECT_EQ(ComDevicePath("COM1/../../etc/passwd"), "");
  EXPECT_EQ(ComDevicePath("/etc/passwd"), "");
  EXPECT_EQ(ComDevicePath("COM99999999999"), "");
}

// A pseudo-terminal drops the parity bits, so the built termios is checked on its own.
TEST(PosixSerial, TermiosOfTheLineSettings) {
  const termios start{};
  termios t = MakeTermios(start, {115200, 3, 2});
  EXPECT_EQ(cfgetospeed(&t), B115200);
  EXPECT_EQ(cfgetispeed(&t), B115200);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(t.c_cflag & PARENB);
  EXPECT_TRUE(t.c_cflag & CMSPAR);  // mark: sticky parity, odd
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | INPCK | ISTRIP));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(t.c_oflag & OPOST);

  t = MakeTermios(start, {57600, 0, 0});
  EXPECT_EQ(cfgetospeed(&t), B57600);
  EXPECT_FALSE(t.c_cflag & (PARENB | CMSPAR | CSTOPB));
  t = MakeTermios(start, {57600, 0, 2});
  EXPECT_TRUE(t.c_cflag & CSTOPB);
}

TEST(PosixSerial, LineSettingsOnThePortForEachType) {
  Pty pty;
  ASSERT_TRUE(pty.Ok());
  for (int type = 1; type <= 5; ++type) {
    const InterfaceTypeInfo& info = InterfaceTypeParams(type);
    // Opened before the port, which takes the device exclusively.
    const int fd = open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    auto port = OpenSerialDevice(pty.SlavePath(), {info.BaudRate, info.Parity, info.StopBits});
    ASSERT_NE(port, nullptr) << type;
    termios seen{};
    tcgetattr(fd, &seen);
    close(fd);
    EXPECT_EQ(cfgetospeed(&seen), info.BaudRate == 115200 ? B115200 : B57600) << type;
    EXPECT_EQ(seen.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << type;
    EXPECT_EQ((seen.c_cflag & CSTOPB) != 0, info.StopBits == 2) << type;
    EXPECT_FALSE(seen.c_iflag & (IXON | IXOFF)) << type;
    EXPECT_FALSE(seen.c_lflag & ICANON) << type;
  }
}

TEST(PosixSerial, OpenIsExclusive) {
  Pty pty;
  auto first = OpenSerialDevice(pty.SlavePath(), {115200, 3, 2});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(OpenSerialDevice(pty.SlavePath(), {115200, 3, 2}), nullptr);
  first.reset();
  EXPECT_NE(OpenSerialDevice(pty.SlavePath(), {115200, 3, 2}), nullptr);
  EXPECT_EQ(OpenSerialDevice("/nonexistent/tty", {115200, 3, 2}), nullptr);
  EXPECT_EQ(OpenSerialDevice("/dev/null", {115200, 3, 2}), nullptr);  // not a terminal
}

// Bursts after pauses, and a block that comes in two parts late in a read: a read that ends at
// its time-out still takes every byte waiting by then. A short read may leave behind only bytes
// that arrived in its last moments.
TEST(PosixSerial, ReadTakesWhatIsWaitingWhenItEnds) {
  Pty pty;
  ASSERT_TRUE(pty.Ok());
  auto port = OpenSerialDevice(pty.SlavePath(), {115200, 3, 2});
  ASSERT_NE(port, nullptr);
  using Clock = std::chrono::steady_clock;
  struct Mark {
    Clock::time_point At;
    int Total;
  };
  constexpr int kCycles = 4;
  std::mutex mutex;
  std::condition_variable started;
  std::vector<int> startedWith;  // bytes taken before each read began
  bool done = false;
  std::vector<Mark> written;
  // The box's side, each part timed from the start of a read that has all earlier bytes.
  std::thread box([&] {
    int total = 0;
    const auto write = [&](int count) {
      pty.Write(std::vector<std::uint8_t>(static_cast<std::size_t>(count), 0x5A));
      std::lock_guard lock(mutex);
      written.push_back({Clock::now(), total += count});
    };
    const auto readStartsWithAll = [&] {
      std::unique_lock lock(mutex);
      const std::size_t seen = startedWith.size();
      started.wait(lock, [&] {
        for (std::size_t i = seen; i < startedWith.size(); ++i)
          if (startedWith[i] >= total) return true;
        return done;
      });
    };
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      readStartsWithAll();
      std::this_thread::sleep_for(90ms);
      write(100);  // a whole block after a pause
      readStartsWithAll();
      std::this_thread::sleep_for(30ms);
      write(6);  // the next block begins late in a read
      std::this_thread::sleep_for(5ms);
      write(94);
    }
  });
  std::vector<Mark> reads;
  int total = 0;
  const auto end = Clock::now() + 20s;
  while (total < kCycles * 200 && Clock::now() < end) {
    {
      std::lock_guard lock(mutex);
      startedWith.push_back(total);
    }
    started.notify_all();
    std::uint8_t block[100];
    const int got = port->Read(block, 100);
    if (got < 0) break;
    reads.push_back({Clock::now(), total += got});
  }
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  started.notify_all();
  box.join();
  EXPECT_EQ(total, kCycles * 200);
  for (std::size_t r = 0; r < reads.size(); ++r) {
    const int got = reads[r].Total - (r > 0 ? reads[r - 1].Total : 0);
    if (got == 100) continue;
    int waiting = 0;  // written well before this read returned
    for (const Mark& w : written)
      if (w.At + 50ms <= reads[r].At) waiting = w.Total;
    EXPECT_GE(reads[r].Total, waiting) << "read " << r << " returned " << got;
  }
}

class PtyLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    setenv("ZARVO_COM1", pty.SlavePath().c_str(), 1);
    ClearSettings(Settings);
    ResetMessageState();
    SetComPortFields(1);
  }
  void TearDown() override { unsetenv("ZARVO_COM1"); }
  // Streams `count` bytes of a pattern at `rate` bytes per second from the box's side.
  void Stream(int count, int rate) {
    const int chunk = rate / 100;  // every 10 ms
    auto next = std::chrono::steady_clock::now();
    for (int sent = 0; sent < count; sent += chunk) {
      std::vector<std::uint8_t> bytes;
      for (int i = sent; i < sent + chunk && i < count; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i * 7 + i / 256));
      pty.Write(bytes);
      next += 10ms;
      std::this_thread::sleep_until(next);
    }
  }
  std::vector<std::uint8_t> DrainAll() {
    std::vector<std::uint8_t> drained;
    rx.Drain(
        [&](const std::uint8_t* b, std::size_t n) { drained.insert(drained.end(), b, b + n); });
    return drained;
  }
  Pty pty;
  test::RecordingBoxes boxes;
  TReceiveSide rx;
};

TEST_F(PtyLinkTest, PtcStartUpBytesAndTheirGap) {
  SetInterfaceTypeFields(3);
  Settings.AutoPTCII = 1;
  ASSERT_TRUE(rx.Create());
  std::thread startup([&] { rx.Link.InterfaceStartup(); });
  const auto arrivals = pty.ReadUntilQuiet(1500ms, 3000ms);
  startup.join();
  const auto all = Pty::Joined(arrivals);
  const std::string text(all.begin(), all.end());
  EXPECT_EQ(text, "\r\rfax\rd 900\rmb 57600\rfmfax\r");
  ASSERT_GE(arrivals.size(), 2u);
  // The two carriage returns come first, the text about a second later.
  EXPECT_EQ(arrivals[0].Bytes, (std::vector<std::uint8_t>{0x0D, 0x0D}));
  const auto gap = arrivals[1].At - arrivals[0].At;
  EXPECT_GT(gap, 900ms);
  EXPECT_LT(gap, 1500ms);

  rx.Link.InterfaceShutdown();
  EXPECT_EQ(Pty::Joined(pty.ReadUntilQuiet(300ms, 1000ms)), (std::vector<std::uint8_t>{0xFF}));
  EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(PtyLinkTest, TarskBusBytesOnTheWire) {
  SetInterfaceTypeFields(2);
  ASSERT_TRUE(rx.Create());
  rx.Link.InterfaceStartup();
  // Read before the next purge, which drops what the line has not sent yet.
  EXPECT_EQ(Pty::Joined(pty.ReadUntilQuiet(200ms, 1000ms)), (std::vector<std::uint8_t>{0x01}));
  rx.Link.InterfaceShutdown();
  EXPECT_EQ(Pty::Joined(pty.ReadUntilQuiet(200ms, 1000ms)), (std::vector<std::uint8_t>{0x00}));
}

TEST_F(PtyLinkTest, StreamedBytesLandInOrder) {
  SetInterfaceTypeFields(1);
  ASSERT_TRUE(rx.Create());
  std::vector<std::uint8_t> drained;
  const int count = 7200;  // one second at the first type's rate
  std::thread box([&] { Stream(count, 7200); });
  const auto end = std::chrono::steady_clock::now() + 3s;
  while (drained.size() < 7200 && std::chrono::steady_clock::now() < end) {
    rx.Drain(
        [&](const std::uint8_t* b, std::size_t n) { drained.insert(drained.end(), b, b + n); });
    std::this_thread::sleep_for(1ms);
  }
  box.join();
  ASSERT_GE(drained.size(), 7200u);
  for (int i = 0; i < count; ++i)
    ASSERT_EQ(drained[i], static_cast<std::uint8_t>(i * 7 + i / 256)) << "byte " << i;
}

// A box that falls silent: the position stays after the last byte that came, so the decoder's
// time stops instead of replaying the previous pass.
TEST_F(PtyLinkTest, SilentLineAdvancesNothing) {
  SetInterfaceTypeFields(1);
  ASSERT_TRUE(rx.Create());
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(rx.InputThread->WritePos.load(), 0);
  std::vector<std::uint8_t> sent(250);
  for (int i = 0; i < 250; ++i) sent[i] = static_cast<std::uint8_t>(i + 1);
  pty.Write(sent);
  ASSERT_TRUE(rx.InputThread->WaitForWritePos(250, 5s));
  std::this_thread::sleep_for(300ms);  // three read time-outs of silence
  EXPECT_EQ(rx.InputThread->WritePos.load(), 250);
  EXPECT_EQ(DrainAll(), sent);
}

TEST_F(PtyLinkTest, ReopenKeepsThePosition) {
  SetInterfaceTypeFields(1);
  ASSERT_TRUE(rx.Create());
  pty.Write(std::vector<std::uint8_t>(150, 7));
  ASSERT_TRUE(rx.InputThread->WaitForWritePos(150, 5s));
  rx.Link.ClosePort(*rx.InputThread);
  EXPECT_EQ(rx.InputThread->WritePos.load(), 150);
  rx.Link.OpenPort(*rx.InputThread);
  pty.Write(std::vector<std::uint8_t>(50, 9));
  ASSERT_TRUE(rx.InputThread->WaitForWritePos(200, 5s));
  std::vector<std::uint8_t> expected(150, 7);
  expected.insert(expected.end(), 50, 9);
  EXPECT_EQ(DrainAll(), expected);
  EXPECT_TRUE(boxes.Shown.empty());
}

double ThreadCpuMs(pthread_t thread) {
  clockid_t clock;
  timespec t{};
  if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &t) != 0) return -1;
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// An unplugged adapter: reads fail from now on. No crash, no busy loop, the position stays.
TEST_F(PtyLinkTest, HangUpMidStream) {
  SetInterfaceTypeFields(1);
  ASSERT_TRUE(rx.Create());
  Stream(1440, 7200);
  pty.CloseMaster();
  std::this_thread::sleep_for(200ms);
  const int pos = rx.InputThread->WritePos.load();
  const double cpuBefore = ThreadCpuMs(rx.InputThread->NativeHandle());
  std::this_thread::sleep_for(1000ms);
  const double cpuAfter = ThreadCpuMs(rx.InputThread->NativeHandle());
  EXPECT_EQ(rx.InputThread->WritePos.load(), pos);
  EXPECT_LT(cpuAfter - cpuBefore, 50.0);  // ms of CPU in one second: a calm retry, not a spin
  EXPECT_TRUE(rx.InputThread->PortFailed.load());

  // The adapter is back (a new line on the same name): choosing the same port reopens it.
  Pty back;
  setenv("ZARVO_COM1", back.SlavePath().c_str(), 1);
  rx.ChangeComPort(1);
  EXPECT_FALSE(rx.InputThread->PortFailed.load());
  back.Write({1, 2, 3});
  std::this_thread::sleep_for(300ms);
  EXPECT_GT(rx.InputThread->WritePos.load(), pos);
  EXPECT_TRUE(boxes.Shown.empty());
}

}  // namespace
}  // namespace zarvo
