// The input thread and the termios port it reads: the receive buffer's reader contract, overrun
// rules, wraps and the position reset; the port's line settings on pseudo-terminals, its
// exclusive open, reads that take what has come, the bytes on the wire, a device that hangs up;
// the device each COM port opens and the serial devices listed. The receive side on fake ports:
// the link's command sequences and a type change, the sound input beside the serial port, a
// recording played in place of either, and the buffer's restart.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <tuple>

#include "interface/InThread.h"
#include "interface/PosixSerial.h"
#include "interface/Receiver.h"
#include "interface/SerialLink.h"
#include "settings/SoundInput.h"
#include "settings/ToneMeasurement.h"
#include "support/FakeDevices.h"
#include "support/FakeSerial.h"
#include "support/FreshState.h"
#include "support/ProgramRun.h"
#include "support/Pty.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

class InThreadTest : public ::testing::Test {
 protected:
  std::unique_ptr<std::uint8_t[]> buffer{new std::uint8_t[RxBufferSize]};
  InThread thread{buffer.get()};
};

// The positions set by hand, the buffer's byte i holding i % 251: every byte taken must be the
// next one from where the reader stood, and every wrap notice be taken.
TEST_F(InThreadTest, DrainFollowsTheReaderContract) {
  for (std::int32_t i = 0; i < RxBufferSize; ++i) buffer[i] = static_cast<std::uint8_t>(i % 251);
  // What, the spectrum's reader (with its notice Wrapped) or the decoder's (WrapCount), the
  // reader's and the writer's positions, the wraps, the bytes taken, and the reader after.
  const std::tuple<const char*, bool, int, int, int, int, int> rows[] = {
      {"in order", false, 0, 300, 0, 300, 300},
      // After a reset the reader waits for the writer to come round to it.
      {"writer reset behind the reader", false, 5000, 0, 0, 0, 5000},
      // A wrapped pass ends after the buffer's last byte; the new one on the next tick.
      {"wrapped pass", false, 431900, 200, 1, 100, 0},
      {"wrapped once, writer behind", false, 431000, 100, 1, 1000, 0},
      {"overrun: wrapped and passed the reader", false, 300, 500, 1, 0, 500},
      {"overrun: wrapped twice, writer behind", false, 431000, 100, 2, 0, 100},
      {"spectrum wrapped pass", true, 431800, 400, 1, 200, 0},
      {"spectrum overrun", true, 100, 900, 1, 0, 900},
  };
  for (const auto& [what, spectrum, read, write, wraps, taken, readAfter] : rows) {
    SCOPED_TRACE(what);
    thread.WritePos = write;
    thread.WrapCount = spectrum ? 0 : wraps;
    thread.Wrapped = spectrum && wraps != 0;
    int pos = read, next = read, wrong = 0;
    const SampleSink check = [&](const std::uint8_t* b, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i) wrong += b[i] != next++ % 251;
    };
    EXPECT_EQ((spectrum ? DrainSpectrum : DrainDecoder)(thread, pos, check), taken);
    EXPECT_EQ(std::tuple(next - read, wrong, pos, thread.WrapCount + thread.Wrapped),
              std::tuple(taken, 0, readAfter, 0));
  }
  // A tone measurement restarts the writer, and the readers at 0, while a wrap is still unread:
  // the old pass must not come back as the whole buffer's worth of samples.
  thread.WrapCount = 1, thread.Wrapped = true;
  thread.ResetWritePos();
  EXPECT_EQ(std::tuple(thread.WritePos.load(), thread.WrapCount.load(), thread.Wrapped.load()),
            std::tuple(0, 0, false));
}

// Two wraps with no reader between them, each by reads of 100, 100 and 50 (never past the
// buffer's end), and 50 more; a notice after each read, once the writer has moved. The last read
// waits for ever: the suspension wakes it.
TEST_F(InThreadTest, WrapsAreCountedUntilTakenAndEachReadIsNoticed) {
  std::atomic<int> notices{0};
  std::atomic<std::int32_t> seenAt{-1};
  thread.SetArrivalNotice([&] { seenAt = thread.WritePos.load(), ++notices; });
  for (int wraps = 1; wraps <= 2; ++wraps) {
    thread.WritePos = RxBufferSize - 250;
    auto port = std::make_shared<test::FakeSerialPort>();  // 300 bytes, then waits until woken
    port->ReadHook = [p = port.get(), left = 300](std::uint8_t* b, int n) mutable {
      while (left == 0 && !p->Woken()) std::this_thread::sleep_for(1ms);
      n = std::min(n, left);
      std::memset(b, 1, static_cast<std::size_t>(n));
      left -= n;
      return n > 0 ? n : -1;
    };
    thread.Resume(port);
    ASSERT_TRUE(test::PollUntil([&] { return notices == 4 * wraps; }, 10s));
    thread.Suspend();
    EXPECT_EQ(std::tuple(thread.WrapCount.load(), thread.Wrapped.load(), thread.WritePos.load(),
                         seenAt.load()),
              std::tuple(wraps, true, 50, 50));
  }
  EXPECT_EQ(notices, 8);  // none for the read the suspension woke
}

// A reset while a block is being read keeps the reset: that block is dropped, not counted at
// 5000, and the buffer from 0 holds what came after.
TEST_F(InThreadTest, ResetIsNotLostToAReadUnderWay) {
  thread.WritePos = 5000;
  std::atomic<bool> reading{false}, reset{false};
  auto port = std::make_shared<test::FakeSerialPort>();
  port->ReadHook = [&](std::uint8_t* b, int n) {
    reading = true;
    do std::this_thread::sleep_for(1ms);  // a pass takes seconds: no wrap hides a wrong start
    while (!reset);
    std::memset(b, 0x77, static_cast<std::size_t>(n));
    return n;
  };
  thread.Resume(port);
  ASSERT_TRUE(test::PollUntil([&] { return reading.load(); }, 10s));
  thread.ResetWritePos();
  reset = true;
  ASSERT_TRUE(thread.WaitForWritePos(1000, 10s));
  thread.Suspend();
  EXPECT_EQ(thread.ByteAt(0), 0x77);
}

TEST(ComDevicePath, EnvironmentThenTheUsersChoiceThenTheDefault) {
  ChosenComDevice(3) = "/dev/ttyUSB0";
  setenv("ZARVO_COM3", "/dev/pts/77", 1);
  std::string paths = ComDevicePath("COM3");
  unsetenv("ZARVO_COM3");
  paths += ' ' + ComDevicePath("COM3");
  ChosenComDevice(3).clear();
  EXPECT_EQ(paths + ' ' + ComDevicePath("COM3"), "/dev/pts/77 /dev/ttyUSB0 /dev/ttyS2");
  for (const char* none : {"COM0", "COM", "COM1/../../etc/passwd", "/etc/passwd", "COM99999999999"})
    EXPECT_EQ(ComDevicePath(none), "") << none;
}

// Adapters by id first, then by kernel name in number order; a ttyS only with a UART behind it,
// and nothing else of /dev.
TEST(SerialDevices, ListedInTheOrderAUserLooksForThem) {
  test::FakeDevices fake;
  test::Pty pty;
  const std::string d = fake.Dev();
  fake.Link("serial/by-id/usb-Prolific-if00-port0", pty.SlavePath());
  fake.Link("serial/by-id/usb-FTDI_FT232R-if00-port0", pty.SlavePath());
  fake.Link("serial/by-id/usb-gone-if00", d + "/ttyUSB7");  // left by an unplugged adapter
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSBx", "tty0"})
    fake.Link(name, pty.SlavePath());
  for (const auto& [name, type] :
       {std::pair{"ttyS0", 4}, {"ttyS1", 0}, {"ttyS12", 4}, {"ttyS3", 4}})
    fake.Port(name, type);
  std::string listed;  // path, and the label shown where it is not the path
  for (const SerialDevice& device : ListSerialDevices(d, fake.Sys()))
    listed += device.Path.substr(d.size()) +
              (device.Path == device.Label ? "" : "=" + device.Label) + ' ';
  EXPECT_EQ(listed,
            "/serial/by-id/usb-FTDI_FT232R-if00-port0=usb-FTDI_FT232R-if00-port0 "
            "/serial/by-id/usb-Prolific-if00-port0=usb-Prolific-if00-port0 /ttyUSB2 /ttyUSB10 "
            "/ttyACM0 /ttyS0 /ttyS3 /ttyS12 ");
}

// A pseudo-terminal drops the parity bits, so the built termios is checked on its own.
TEST(PosixSerial, TermiosOfTheLineSettings) {
  const std::tuple<LineSettings, speed_t, tcflag_t> rows[] = {
      {{115200, 3, 2}, B115200, PARENB | CMSPAR | PARODD | CSTOPB},  // mark: sticky parity, odd
      {{57600, 0, 0}, B57600, 0},
      {{9600, 4, 0}, B9600, PARENB | CMSPAR}};  // space: sticky parity, even
  for (const auto& [line, speed, set] : rows) {
    SCOPED_TRACE(testing::Message() << line.BaudRate << " " << line.Parity << " " << line.StopBits);
    const termios t = MakeTermios(termios{}, line);
    EXPECT_EQ(std::pair(cfgetospeed(&t), cfgetispeed(&t)), std::pair(speed, speed));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CMSPAR | PARODD | CSTOPB | CRTSCTS), CS8 | set);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | INPCK | ISTRIP) ||
                 t.c_lflag & (ICANON | ECHO | ISIG) || t.c_oflag & OPOST);
  }
}

// Bursts after pauses, and a block that comes in two parts late in a read: a read that ends at
// its time-out still takes every byte waiting by then. A short read may leave behind only bytes
// that arrived in its last moments.
TEST(PosixSerial, ReadTakesWhatIsWaitingWhenItEnds) {
  test::Pty pty;
  auto port = OpenSerialDevice(pty.SlavePath(), {115200, 3, 2});
  ASSERT_NE(port, nullptr);
  std::atomic<int> startedWith{-1};  // bytes taken when the latest read began
  std::vector<std::pair<Clock::time_point, int>> written, reads;  // when, and the total by then
  std::thread box([&] {
    // A whole block after a pause, then the next begins late in a read and comes in two parts;
    // each part after a pause from the start of a read that has all earlier bytes, or at once.
    const std::tuple<bool, int, int> parts[] = {{true, 90, 100}, {true, 30, 6}, {false, 5, 94}};
    for (int part = 0, total = 0; part < 12; ++part) {
      const auto [afterARead, pause, count] = parts[part % 3];
      for (int i = 0; afterARead && startedWith < total && i < 2000; ++i)
        std::this_thread::sleep_for(1ms);
      std::this_thread::sleep_for(std::chrono::milliseconds(pause));
      pty.Write(Bytes(static_cast<std::size_t>(count), 0x5A));
      written.emplace_back(Clock::now(), total += count);
    }
  });
  int total = 0;
  for (const auto end = Clock::now() + 20s; total < 800 && Clock::now() < end;) {
    startedWith = total;
    std::uint8_t block[100];
    const int got = port->Read(block, 100);
    if (got < 0) break;
    reads.emplace_back(Clock::now(), total += got);
  }
  box.join();
  EXPECT_EQ(total, 800);
  for (std::size_t r = 0; r < reads.size(); ++r) {
    const int got = reads[r].second - (r > 0 ? reads[r - 1].second : 0);
    int waiting = 0;  // written well before this read returned
    for (const auto& [at, sum] : written)
      if (at + 50ms <= reads[r].first) waiting = sum;
    EXPECT_TRUE(got == 100 || reads[r].second >= waiting) << "read " << r << " returned " << got;
  }
}

// One port holds the device at a time, and closing it gives the device up. The PTC-II's start-up
// on the wire and its shut-down byte; ReceiveSideTest times its pause. Then the adapter is
// unplugged: the reads fail without a busy loop, and the position stays.
TEST_F(InThreadTest, ExclusivePortCarriesThePtcStartUpThenHangsUp) {
  test::Pty pty;
  SetInterfaceTypeFields(3);
  Settings.AutoPTCII = 1;
  const LineSettings line = RecordLineSettings();
  auto first = OpenSerialDevice(pty.SlavePath(), line);
  EXPECT_TRUE(first && !OpenSerialDevice(pty.SlavePath(), line));
  EXPECT_EQ(OpenSerialDevice("/dev/null", line), nullptr);  // not a terminal
  first.reset();
  TSerialLink link;
  link.ComHandle = OpenSerialDevice(pty.SlavePath(), line);
  ASSERT_NE(link.ComHandle, nullptr);
  std::thread startup([&] { link.InterfaceStartup(); });
  const Bytes wire = pty.Read(1500ms);  // outlasts the pause after the CRs
  startup.join();
  EXPECT_EQ(std::string(wire.begin(), wire.end()), "\r\rfax\rd 900\rmb 57600\rfmfax\r");
  link.InterfaceShutdown();
  EXPECT_EQ(pty.Read(300ms), Bytes{0xFF});

  thread.Resume(link.ComHandle);
  pty.Write({1, 2, 3});
  ASSERT_TRUE(thread.WaitForWritePos(3, 2s));
  pty.CloseMaster();
  ASSERT_TRUE(test::PollUntil([&] { return thread.PortFailed.load(); }, 10s));
  const std::clock_t cpuBefore = std::clock();  // the process's: this thread only sleeps
  std::this_thread::sleep_for(1000ms);
  EXPECT_LT(std::clock() - cpuBefore, CLOCKS_PER_SEC / 20);  // a calm retry, not a spin
  EXPECT_EQ(thread.WritePos.load(), 3);
}

using Calls = std::vector<std::string>;

// "fax\rd 900\rmb 57600\rfmfax\r", 25 bytes, no terminating zero, a second after the CRs.
const Calls kPtcCalls = {"purge", "write 0D0D",
                         "write 6661780D64203930300D6D622035373630300D666D6661780D", "purge",
                         "write FF"};

class ReceiveSideTest : public test::FreshStateTest {
 protected:
  void SetUp() override {
    TearDown();
    SetComPortFields(1);
  }
  void TearDown() override {  // no sound choice for the next test
    SoundInput() = {};
    SetRecordingPlaying(false);
    ForgetSoundCalibration();
  }
  void Start(int type = 4, Flag autoPtc = 0) {
    SetInterfaceTypeFields(type);
    Settings.AutoPTCII = autoPtc;
    ASSERT_TRUE(rx.Create());
  }
  test::FakeSerialOpener opener;  // a silent line
  test::FakeSoundOpener sound;
  TReceiveSide rx;
};

// Each type's sequences: the type, the PTC-II option (any non-zero value is on), the calls, and
// whether the writes fail, each failure then reported while the sequence and its pause go on.
TEST_F(ReceiveSideTest, StartUpAndShutDownOfEachType) {
  const Calls none = {"purge", "purge"}, rts = {"purge", "rts on", "rts off", "write 01",
                                                "purge", "rts on", "rts off", "write 00"};
  const std::tuple<int, Flag, Calls, bool> rows[] = {
      {1, 1, none, false},  // only the PTC-II is sent its start-up, and only when asked to
      {3, 0, none, false},
      // The pause after the purge, then an RTS pulse before each byte.
      {2, 0, rts, false},
      {3, 5, kPtcCalls, false},
      {3, 1, kPtcCalls, true},
  };
  for (const auto& [type, autoPtc, expected, failWrites] : rows) {
    SCOPED_TRACE(type);
    Start(type, autoPtc);
    opener.Last->FailWrites = failWrites;
    const auto before = Clock::now();
    rx.Link.InterfaceStartup();
    EXPECT_GE(Clock::now() - before, expected == kPtcCalls ? 1100ms : 100ms);
    rx.Link.InterfaceShutdown();
    EXPECT_EQ(opener.Last->Calls(), expected);
    EXPECT_EQ(boxes.Texts(), Calls(failWrites ? 3 : 0, "Interface: error calling WriteFile"));
    rx.TerminateThread();
    rx.ReleaseBuffer();
  }
}

// A type change sends the new type's start-up over the old line, then reopens with the new one.
TEST_F(ReceiveSideTest, TypeChangeStartsOverTheOldLineThenReopens) {
  Start(1);
  SetInterfaceTypeFields(3);
  Settings.AutoPTCII = 1;
  rx.StartupAndReopen();
  ASSERT_EQ(opener.Opened.size(), 2u);
  const LineSettings& line = opener.Opened[1].Line;
  EXPECT_EQ(std::tuple(line.BaudRate, line.Parity, line.StopBits), std::tuple(57600, 0, 0));
  EXPECT_EQ(opener.Opened[0].Log->Calls, Calls(kPtcCalls.begin(), kPtcCalls.begin() + 3));
  EXPECT_TRUE(opener.Opened[1].Log->Calls.empty());
}

// A sound source that cannot be opened, and one that stops later, is reported once with the
// reason it gives; while it is in use the box is sent no commands. Back on the box, a port that
// cannot be opened is reported once by its name, its device and the reason, and nothing is read.
TEST_F(ReceiveSideTest, InputThatCannotOpenOrStopsIsReportedOnce) {
  SetInterfaceTypeFields(2);  // a box that would be sent bytes
  SoundInput().CentreHz = 2000;
  sound.Refusal = "no audio server is running";
  SoundInput().Chosen = true;
  UpdateSoundCalibration();
  ASSERT_TRUE(rx.Create());
  sound.Refusal.clear();
  sound.NextBytesPerRead = -1;  // the device has gone
  rx.ComPortChosen(false);      // the failed input is opened again
  sound.Last->Reason = "the sound source was removed";
  rx.Link.InterfaceStartup();
  EXPECT_TRUE(sound.Last->Calls().empty());
  EXPECT_EQ(sound.Opened, (std::vector<std::pair<std::string, double>>(2, {"", 2000})));
  ASSERT_TRUE(test::PollUntil([&] { return rx.InputThread->PortFailed.load(); }, 2s));
  rx.Poll();
  rx.Poll();
  SoundInput().Chosen = false;
  UpdateSoundCalibration();
  opener.Refuse = true;
  opener.Refusal = {"/dev/ttyUSB0", EACCES};
  rx.ComPortChosen(true);
  rx.Link.InterfaceStartup();  // nothing to write to, and no second report
  EXPECT_EQ(boxes.Texts(),
            (Calls{"Unable to open sound input \"default\": no audio server is running.",
                   "The sound input \"default\" has stopped: the sound source was "
                   "removed.\nChoose Sound card again in the configuration menu to "
                   "reopen it.",
                   "Unable to open I/O port \"COM1\", check configuration.\n"
                   "/dev/ttyUSB0: Permission denied\nTo use serial ports, join the group "
                   "dialout: sudo usermod -aG dialout $USER, then log out and in again."}));
  std::this_thread::sleep_for(250ms);
  EXPECT_FALSE(rx.InputThread->InRead.load());  // no port, no read
}

// The sound's rate and calibration are in use while a recording plays (the defaults where the
// store is damaged), the box's in the file; a type chosen meanwhile is the box's, and its port
// opens when the playing ends.
TEST_F(ReceiveSideTest, RecordingPlaysInPlaceOfTheInputAndGivesItBack) {
  // Whether a recording plays, the rate and calibration in use, and the serial ports opened.
  const auto state = [&] {
    return std::tuple(rx.Playing(), Settings.DataRate, Settings.CalLow, Settings.CalHigh,
                      opener.Opened.size());
  };
  SoundInput() = ValidSoundInput({false, "", 999, 100, 100, 0.5f});
  Start();
  auto recording = std::make_shared<test::FakeSerialPort>();
  recording->BytesPerRead = 0;
  rx.Play(recording, "fax.wav");
  EXPECT_FALSE(rx.Poll());
  ChangeBoxFields([] { SetInterfaceTypeFields(3); });
  rx.InterfaceTypeChanged();
  EXPECT_EQ(state(), std::tuple(true, 7200, 32, 208, 1u));
  const TSettings file = RecordForFile();
  EXPECT_EQ(std::tuple(file.DataRate, file.CalLow, file.CalHigh), std::tuple(5760, 28, 184));
  recording->End = true;
  EXPECT_TRUE(rx.Poll());
  EXPECT_EQ(state(), std::tuple(false, 5760, 28, 184, 2u));

  // A recording that fails half way is reported, and the input comes back.
  auto broken = std::make_shared<test::FakeSerialPort>();
  broken->BytesPerRead = -1;
  broken->Reason = "the file ends early";
  rx.Play(broken, "cut.flac");
  ASSERT_TRUE(test::PollUntil([&] { return rx.InputThread->PortFailed.load(); }, 2s));
  EXPECT_FALSE(rx.Poll());
  EXPECT_EQ(
      boxes.Texts(),
      Calls{"The recording \"cut.flac\" could not be played to its end: the file ends early."});
  EXPECT_EQ(state(), std::tuple(false, 5760, 28, 184, 3u));

  // Choosing an input in the configuration window ends the playing.
  rx.Play(std::make_shared<test::FakeSerialPort>(), "fax.wav");
  rx.ComPortChosen(false);
  EXPECT_EQ(state(), std::tuple(false, 5760, 28, 184, 4u));
}

// The restart takes the decoder's reader back to the buffer's start with the writer, and only
// bytes after it count. What the decoder has not taken is the backlog a recording played fast
// waits on. Before the receive side is created, or once it is gone, there is nothing to restart.
TEST_F(ReceiveSideTest, ToneMeasurementRestartsTheBufferAndItsReader) {
  EXPECT_FALSE(ToneMeasurement(CurrentReceiveControl()).Started());
  opener.NextBytesPerRead = 100;
  Start(1);
  ASSERT_TRUE(rx.InputThread->WaitForWritePos(1000, 5s));
  rx.Link.ClosePort(*rx.InputThread);
  EXPECT_EQ(rx.Backlog(), rx.BytesWritten());
  rx.Drain([](const std::uint8_t*, std::size_t) {});
  EXPECT_EQ(rx.Backlog(), 0);
  const ToneMeasurement tone(CurrentReceiveControl());
  EXPECT_EQ(std::tuple(tone.Started(), rx.ReadPos, tone.Received()), std::tuple(true, 0, 0));
  { TReceiveSide gone; }  // the one in use, now gone
  EXPECT_EQ(std::tuple(CurrentReceiveControl(), ActiveReceiveSide()), std::tuple(nullptr, nullptr));
}

}  // namespace
}  // namespace zarvo
