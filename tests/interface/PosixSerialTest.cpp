// The termios port on pseudo-terminals: line settings, exclusive open, the bytes on the wire
// and their timing, streaming into the receive buffer, a device that hangs up.
#include <gtest/gtest.h>
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "interface/PosixSerial.h"
#include "interface/Receiver.h"
#include "settings/Settings.h"
#include "support/FakeDevices.h"
#include "support/Pty.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
using test::Pty;

TEST(ComDevicePath, EnvironmentThenTheUsersChoiceThenTheDefault) {
  ChosenComDevice(3) = "/dev/ttyUSB0";
  setenv("ZARVO_COM3", "/dev/pts/77", 1);
  EXPECT_EQ(ComDevicePath("COM3"), "/dev/pts/77");
  unsetenv("ZARVO_COM3");
  EXPECT_EQ(ComDevicePath("COM3"), "/dev/ttyUSB0");
  ChosenComDevice(3).clear();
  EXPECT_EQ(ComDevicePath("COM3"), "/dev/ttyS2");  // the default without either
  for (const char* none : {"COM0", "COM", "COM1/../../etc/passwd", "/etc/passwd", "COM99999999999"})
    EXPECT_EQ(ComDevicePath(none), "") << none;
}

// Adapters by id first, then by kernel name in number order; a ttyS only with a UART behind it,
// and nothing else of /dev.
TEST(SerialDevices, ListedInTheOrderAUserLooksForThem) {
  test::FakeDevices fake;
  Pty pty;
  const std::string d = fake.Dev();
  fake.Link("serial/by-id/usb-Prolific-if00-port0", pty.SlavePath());
  fake.Link("serial/by-id/usb-FTDI_FT232R-if00-port0", pty.SlavePath());
  fake.Link("serial/by-id/usb-gone-if00", d + "/ttyUSB7");  // left by an unplugged adapter
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSBx", "tty0"})
    fake.Link(name, pty.SlavePath());
  for (const auto& [name, type] :
       {std::pair{"ttyS0", 4}, {"ttyS1", 0}, {"ttyS12", 4}, {"ttyS3", 4}})
    fake.Port(name, type);
  const std::string byId = d + "/serial/by-id/";
  EXPECT_EQ(ListSerialDevices(fake.Dev(), fake.Sys()),
            (std::vector<SerialDevice>{
                {byId + "usb-FTDI_FT232R-if00-port0", "usb-FTDI_FT232R-if00-port0"},
                {byId + "usb-Prolific-if00-port0", "usb-Prolific-if00-port0"},
                {d + "/ttyUSB2", d + "/ttyUSB2"},
                {d + "/ttyUSB10", d + "/ttyUSB10"},
                {d + "/ttyACM0", d + "/ttyACM0"},
                {d + "/ttyS0", d + "/ttyS0"},
                {d + "/ttyS3", d + "/ttyS3"},
                {d + "/ttyS12", d + "/ttyS12"}}));
}

// A pseudo-terminal drops the parity bits, so the built termios is checked on its own.
TEST(PosixSerial, TermiosOfTheLineSettings) {
  struct Row {
    LineSettings Line;
    speed_t Speed;
    tcflag_t Set;  // of the size, parity and stop bits
  };
  const Row rows[] = {
      {{115200, 3, 2}, B115200, PARENB | CMSPAR | PARODD | CSTOPB},  // mark: sticky parity, odd
      {{57600, 0, 0}, B57600, 0},
      {{57600, 0, 2}, B57600, CSTOPB},
      {{9600, 1, 0}, B9600, PARENB | PARODD},
      {{9600, 2, 0}, B9600, PARENB},
      {{9600, 4, 0}, B9600, PARENB | CMSPAR},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << r.Line.BaudRate << " " << r.Line.Parity << " " << r.Line.StopBits);
    const termios t = MakeTermios(termios{}, r.Line);
    EXPECT_EQ(cfgetospeed(&t), r.Speed);
    EXPECT_EQ(cfgetispeed(&t), r.Speed);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CMSPAR | PARODD | CSTOPB | CRTSCTS), CS8 | r.Set);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | INPCK | ISTRIP));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_oflag & OPOST);
  }
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
    EXPECT_EQ(seen.c_cflag & (CSIZE | CSTOPB), CS8 | (info.StopBits == 2 ? CSTOPB : 0)) << type;
    EXPECT_FALSE(seen.c_iflag & (IXON | IXOFF) || seen.c_lflag & ICANON) << type;
  }
}

TEST(PosixSerial, OpenIsExclusive) {
  Pty pty;
  const LineSettings line{115200, 3, 2};
  auto first = OpenSerialDevice(pty.SlavePath(), line);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(OpenSerialDevice(pty.SlavePath(), line), nullptr);
  first.reset();
  EXPECT_NE(OpenSerialDevice(pty.SlavePath(), line), nullptr);
  EXPECT_EQ(OpenSerialDevice("/nonexistent/tty", line), nullptr);
  EXPECT_EQ(OpenSerialDevice("/dev/null", line), nullptr);  // not a terminal
}

// Bursts after pauses, and a block that comes in two parts late in a read: a read that ends at
// its time-out still takes every byte waiting by then. A short read may leave behind only bytes
// that arrived in its last moments.
TEST(PosixSerial, ReadTakesWhatIsWaitingWhenItEnds) {
  Pty pty;
  auto port = OpenSerialDevice(pty.SlavePath(), {115200, 3, 2});
  ASSERT_NE(port, nullptr);
  using Clock = std::chrono::steady_clock;
  struct Mark {
    Clock::time_point At;
    int Total;
  };
  std::atomic<int> startedWith{-1};  // bytes taken when the latest read began
  std::atomic<bool> done{false};
  std::mutex mutex;
  std::vector<Mark> written;
  // The box's side, each part timed from the start of a read that has all earlier bytes.
  std::thread box([&] {
    int total = 0;
    const auto afterAReadBegan = [&](std::chrono::milliseconds pause) {
      while (startedWith < total && !done) std::this_thread::sleep_for(1ms);
      std::this_thread::sleep_for(pause);
    };
    const auto write = [&](int count) {
      pty.Write(std::vector<std::uint8_t>(static_cast<std::size_t>(count), 0x5A));
      std::lock_guard lock(mutex);
      written.push_back({Clock::now(), total += count});
    };
    for (int cycle = 0; cycle < 4; ++cycle) {
      afterAReadBegan(90ms);
      write(100);  // a whole block after a pause
      afterAReadBegan(30ms);
      write(6);  // the next block begins late in a read
      std::this_thread::sleep_for(5ms);
      write(94);
    }
  });
  std::vector<Mark> reads;
  int total = 0;
  for (const auto end = Clock::now() + 20s; total < 800 && Clock::now() < end;) {
    startedWith = total;
    std::uint8_t block[100];
    const int got = port->Read(block, 100);
    if (got < 0) break;
    reads.push_back({Clock::now(), total += got});
  }
  done = true;
  box.join();
  EXPECT_EQ(total, 800);
  for (std::size_t r = 0; r < reads.size(); ++r) {
    const int got = reads[r].Total - (r > 0 ? reads[r - 1].Total : 0);
    int waiting = 0;  // written well before this read returned
    for (const Mark& w : written)
      if (w.At + 50ms <= reads[r].At) waiting = w.Total;
    EXPECT_TRUE(got == 100 || reads[r].Total >= waiting) << "read " << r << " returned " << got;
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
  static std::uint8_t Pattern(int i) { return static_cast<std::uint8_t>(i * 7 + i / 256); }
  // Streams bytes `from`..`to` of a pattern at the first type's 7200 a second, from the box.
  void Stream(int from, int to) {
    auto next = std::chrono::steady_clock::now();
    for (int sent = from; sent < to; sent += 72) {
      std::vector<std::uint8_t> bytes;
      for (int i = sent; i < sent + 72 && i < to; ++i) bytes.push_back(Pattern(i));
      pty.Write(bytes);
      std::this_thread::sleep_until(next += 10ms);
    }
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
  EXPECT_EQ(std::string(all.begin(), all.end()), "\r\rfax\rd 900\rmb 57600\rfmfax\r");
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

// A paced stream lands in order. A box that then falls silent moves nothing, so the decoder's
// time stops instead of replaying the previous pass; a reopen keeps the position.
TEST_F(PtyLinkTest, StreamSilenceAndReopen) {
  SetInterfaceTypeFields(1);
  ASSERT_TRUE(rx.Create());
  Stream(0, 3600);
  ASSERT_TRUE(rx.InputThread->WaitForWritePos(3600, 5s));
  std::this_thread::sleep_for(300ms);  // three read time-outs of silence
  EXPECT_EQ(rx.InputThread->WritePos.load(), 3600);
  rx.Link.ClosePort(*rx.InputThread);
  rx.Link.OpenPort(*rx.InputThread);
  Stream(3600, 3850);
  ASSERT_TRUE(rx.InputThread->WaitForWritePos(3850, 5s));
  std::vector<std::uint8_t> drained, sent;
  rx.Drain([&](const std::uint8_t* b, std::size_t n) { drained.insert(drained.end(), b, b + n); });
  for (int i = 0; i < 3850; ++i) sent.push_back(Pattern(i));
  EXPECT_EQ(drained, sent);
  EXPECT_TRUE(boxes.Shown.empty());
}

std::chrono::nanoseconds ThreadCpu(pthread_t thread) {
  clockid_t clock;
  timespec t{};
  if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &t) != 0) return {};
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// An unplugged adapter: reads fail from now on. No crash, no busy loop, the position stays.
TEST_F(PtyLinkTest, HangUpMidStream) {
  SetInterfaceTypeFields(1);
  ASSERT_TRUE(rx.Create());
  Stream(0, 1440);
  pty.CloseMaster();
  std::this_thread::sleep_for(200ms);
  const int pos = rx.InputThread->WritePos.load();
  const auto cpuBefore = ThreadCpu(rx.InputThread->NativeHandle());
  std::this_thread::sleep_for(1000ms);
  // CPU in one second: a calm retry, not a spin.
  EXPECT_LT(ThreadCpu(rx.InputThread->NativeHandle()) - cpuBefore, 50ms);
  EXPECT_EQ(rx.InputThread->WritePos.load(), pos);
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
