// The receive side on fake ports: the link's command sequences and a type change, the sound input
// beside the serial port, a recording played in place of either, and the buffer's restart.
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "interface/Receiver.h"
#include "settings/SoundInput.h"
#include "settings/ToneMeasurement.h"
#include "support/FakeSerial.h"
#include "support/FreshState.h"
#include "support/ProgramRun.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

// "fax\rd 900\rmb 57600\rfmfax\r", 25 bytes, no terminating zero, a second after the CRs.
const Calls kPtcCalls = {"purge", "write 0D0D",
                         "write 6661780D64203930300D6D622035373630300D666D6661780D", "purge",
                         "write FF"};

void Ignore(const std::uint8_t*, std::size_t) {}

class ReceiveSideTest : public test::FreshStateTest {
 protected:
  void SetUp() override {
    TearDown();
    SetComPortFields(1);
    SetInterfaceTypeFields(4);  // 4800 bytes a second, fixed calibration 36..236
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
    const auto before = std::chrono::steady_clock::now();
    rx.Link.InterfaceStartup();
    EXPECT_GE(std::chrono::steady_clock::now() - before, expected == kPtcCalls ? 1100ms : 100ms);
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
  rx.Drain(Ignore);
  EXPECT_EQ(rx.Backlog(), 0);
  const ToneMeasurement tone(CurrentReceiveControl());
  EXPECT_EQ(std::tuple(tone.Started(), rx.ReadPos, tone.Received()), std::tuple(true, 0, 0));
  { TReceiveSide gone; }  // the one in use, now gone
  EXPECT_EQ(std::tuple(CurrentReceiveControl(), ActiveReceiveSide()), std::tuple(nullptr, nullptr));
}

}  // namespace
}  // namespace zarvo
