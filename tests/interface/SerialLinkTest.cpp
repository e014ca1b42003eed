// The link's command sequences and port changes, on a recording fake port.
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "interface/Receiver.h"
#include "settings/Settings.h"
#include "support/FakeSerial.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    SetComPortFields(1);
  }
  void Start(int type, Flag autoPtc = 0) {
    SetInterfaceTypeFields(type);
    Settings.AutoPTCII = autoPtc;
    ASSERT_TRUE(rx.Create());
  }
  test::FakeSerialOpener opener;  // a silent line
  test::RecordingBoxes boxes;
  TReceiveSide rx;
};

TEST_F(SerialLinkTest, StartUpAndShutDownOfEachType) {
  // "fax\rd 900\rmb 57600\rfmfax\r", 25 bytes, no terminating zero, a second after the CRs.
  const Calls ptc = {"purge", "write 0D0D",
                     "write 6661780D64203930300D6D622035373630300D666D6661780D", "purge",
                     "write FF"};
  struct Row {
    int Type;
    Flag AutoPtc;  // any non-zero value is on
    milliseconds StartUpTakes;
    Calls Expected;
    bool FailWrites = false;  // each is reported, and the sequence and its pause go on
  };
  const Row rows[] = {
      {1, 1, 100ms, {"purge", "purge"}},
      {4, 1, 100ms, {"purge", "purge"}},
      {5, 1, 100ms, {"purge", "purge"}},
      {3, 0, 100ms, {"purge", "purge"}},
      // The pause after the purge, then an RTS pulse before each byte.
      {2,
       0,
       100ms,
       {"purge", "rts on", "rts off", "write 01", "purge", "rts on", "rts off", "write 00"}},
      {3, 5, 1100ms, ptc},
      {3, 1, 1100ms, ptc, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Type);
    Start(r.Type, r.AutoPtc);
    opener.Last->FailWrites = r.FailWrites;
    const auto before = Clock::now();
    rx.Link.InterfaceStartup();
    EXPECT_GE(Clock::now() - before, r.StartUpTakes);
    rx.Link.InterfaceShutdown();
    EXPECT_EQ(opener.Last->Calls(), r.Expected);
    EXPECT_EQ(boxes.Shown.size(), r.FailWrites ? 3u : 0u);
    for (const auto& box : boxes.Shown) EXPECT_EQ(box.Text, "Interface: error calling WriteFile");
    rx.TerminateThread();
    rx.ReleaseBuffer();
  }
}

TEST_F(SerialLinkTest, PortThatCannotBeOpenedIsReportedOnceByName) {
  opener.Refuse = true;
  opener.Refusal = {"/dev/ttyUSB0", EACCES};
  SetComPortFields(2);
  Start(2);
  rx.Link.InterfaceStartup();  // nothing to write to, and no second report
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text,
            "Unable to open I/O port \"COM2\", check configuration.\n/dev/ttyUSB0: Permission "
            "denied\nTo use serial ports, join the group dialout: sudo usermod -aG dialout $USER, "
            "then log out and in again.");
  EXPECT_EQ(rx.Link.ComHandle, nullptr);
  std::this_thread::sleep_for(milliseconds(250));
  EXPECT_EQ(rx.InputThread->WritePos.load(), 0);  // no port, no input
  EXPECT_FALSE(rx.InputThread->InRead.load());
}

// A type change sends the new type's start-up over the old line, then reopens with the new one.
TEST_F(SerialLinkTest, TypeChangeStartsOverTheOldLineThenReopens) {
  Start(1);
  Settings.AutoPTCII = 1;
  SetInterfaceTypeFields(3);
  rx.StartupAndReopen();
  ASSERT_EQ(opener.Opened.size(), 2u);
  const auto line = [&](int i) {
    const LineSettings& l = opener.Opened[i].Line;
    return std::tuple(l.BaudRate, l.Parity, l.StopBits);
  };
  EXPECT_EQ(line(0), std::tuple(115200, 3, 2));
  EXPECT_EQ(line(1), std::tuple(57600, 0, 0));
  const Calls oldCalls = opener.Opened[0].Log->Get();
  ASSERT_EQ(oldCalls.size(), 3u);
  EXPECT_EQ(oldCalls[1], "write 0D0D");
  EXPECT_TRUE(opener.Opened[1].Log->Get().empty());
  EXPECT_EQ(std::tuple(Settings.InterfaceType, TextOf(Settings.InterfaceName), Settings.CalLow),
            std::tuple(3, std::string("PTC-II"), 28));
}

TEST_F(SerialLinkTest, PortChangeReopensOnlyForAnotherPort) {
  Start(1);
  rx.ChangeComPort(1);
  EXPECT_EQ(opener.Opened.size(), 1u);
  rx.ChangeComPort(3);
  ASSERT_EQ(opener.Opened.size(), 2u);
  EXPECT_EQ(opener.Opened[1].Name, "COM3");
  EXPECT_EQ(TextOf(Settings.ComPortName), "COM3");
  EXPECT_EQ(Settings.ComPort, 3);
}

TEST_F(SerialLinkTest, ChangesBeforeTheReceiveSideExistTouchNoPort) {
  TReceiveSide none;
  none.ChangeComPort(4);
  SetInterfaceTypeFields(5);
  none.StartupAndReopen();
  EXPECT_TRUE(opener.Opened.empty());
  EXPECT_EQ(TextOf(Settings.ComPortName), "COM4");
  EXPECT_EQ(Settings.DataRate, 5236);
}

}  // namespace
}  // namespace zarvo
