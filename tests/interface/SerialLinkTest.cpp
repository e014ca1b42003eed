// The link's command sequences and port changes, on a recording fake port.
#include <gtest/gtest.h>

#include <chrono>

#include "interface/Receiver.h"
#include "settings/Settings.h"
#include "support/FakeSerial.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Calls = std::vector<std::string>;

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    SetInterfaceTypeFields(1);
    SetComPortFields(1);
    opener.NextBytesPerRead = 0;  // a silent line
  }
  void Start(int type, bool autoPtc = false) {
    SetInterfaceTypeFields(type);
    Settings.AutoPTCII = FlagOf(autoPtc);
    ASSERT_TRUE(rx.Create());
  }
  test::FakeSerialOpener opener;
  test::RecordingBoxes boxes;
  TReceiveSide rx;
};

TEST_F(SerialLinkTest, TarskBusPulsesRtsAndSendsStartAndStopBytes) {
  Start(2);
  const auto before = Clock::now();
  rx.Link.InterfaceStartup();
  EXPECT_GE(Clock::now() - before, milliseconds(100));  // the pause after the purge
  rx.Link.InterfaceShutdown();
  const Calls expected = {"purge", "rts on", "rts off", "write 01",
                          "purge", "rts on", "rts off", "write 00"};
  EXPECT_EQ(opener.Last->Calls(), expected);
  EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(SerialLinkTest, PtcTextOnlyWithItsOption) {
  Start(3, false);
  rx.Link.InterfaceStartup();
  rx.Link.InterfaceShutdown();
  EXPECT_EQ(opener.Last->Calls(), (Calls{"purge", "purge"}));

  Settings.AutoPTCII = 5;  // any non-zero value is on
  const auto before = Clock::now();
  rx.Link.InterfaceStartup();
  EXPECT_GE(Clock::now() - before, milliseconds(1100));
  rx.Link.InterfaceShutdown();
  // "fax\rd 900\rmb 57600\rfmfax\r", 25 bytes, no terminating zero.
  const Calls expected = {"purge",
                          "purge",
                          "purge",
                          "write 0D0D",
                          "write 6661780D64203930300D6D62203537363030"
                          "0D666D6661780D",
                          "purge",
                          "write FF"};
  EXPECT_EQ(opener.Last->Calls(), expected);
}

TEST_F(SerialLinkTest, OtherTypesOnlyPurge) {
  for (int type : {1, 4, 5}) {
    SetInterfaceTypeFields(type);
    Settings.AutoPTCII = 1;
    if (!rx.InputThread) ASSERT_TRUE(rx.Create());
    rx.Link.InterfaceStartup();
    rx.Link.InterfaceShutdown();
  }
  EXPECT_EQ(opener.Last->Calls(), Calls(6, "purge"));
}

TEST_F(SerialLinkTest, FailedWritesAreReportedAndTheSequenceGoesOn) {
  Start(3, true);
  opener.Last->FailWrites = true;
  const auto before = Clock::now();
  rx.Link.InterfaceStartup();
  EXPECT_GE(Clock::now() - before, milliseconds(1100));  // the pause still follows
  ASSERT_EQ(boxes.Shown.size(), 2u);
  for (const auto& box : boxes.Shown) EXPECT_EQ(box.Text, "Interface: error calling WriteFile");
  EXPECT_EQ(opener.Last->Calls().size(), 3u);  // purge and both writes
}

TEST_F(SerialLinkTest, PortThatCannotBeOpenedIsReportedOnceByName) {
  opener.Refuse = true;
  SetComPortFields(2);
  Start(2);
  rx.Link.InterfaceStartup();  // nothing to write to, and no second report
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Unable to open I/O port \"COM2\", check configuration.");
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
  EXPECT_EQ(opener.Opened[0].Line.BaudRate, 115200);
  EXPECT_EQ(opener.Opened[0].Line.Parity, 3);
  EXPECT_EQ(opener.Opened[0].Line.StopBits, 2);
  EXPECT_EQ(opener.Opened[1].Line.BaudRate, 57600);
  EXPECT_EQ(opener.Opened[1].Line.Parity, 0);
  EXPECT_EQ(opener.Opened[1].Line.StopBits, 0);
  const Calls oldCalls = opener.Opened[0].Log->Get();
  ASSERT_EQ(oldCalls.size(), 3u);
  EXPECT_EQ(oldCalls[1], "write 0D0D");
  EXPECT_TRUE(opener.Opened[1].Log->Get().empty());
  EXPECT_EQ(Settings.InterfaceType, 3);
  EXPECT_EQ(TextOf(Settings.InterfaceName), "PTC-II");
  EXPECT_EQ(Settings.CalLow, 28);
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
