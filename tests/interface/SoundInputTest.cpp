// The sound input beside the serial port: its calibration in place of the box's while in use,
// the box's in the file; opening it, reporting it when it stops, and playing a recording.
#include <gtest/gtest.h>

#include "interface/Receiver.h"
#include "settings/Settings.h"
#include "settings/SoundInput.h"
#include "support/FakeSerial.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

class SoundInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    ForgetSoundCalibration();
    SoundInput() = {};
    SetRecordingPlaying(false);
    SetComPortFields(1);
    SetInterfaceTypeFields(4);  // 4800 bytes a second, fixed calibration 36..236
  }
  void TearDown() override {
    SoundInput() = {};
    SetRecordingPlaying(false);
    ForgetSoundCalibration();
  }
  void ChooseSound(bool on) {
    SoundInput().Chosen = on;
    UpdateSoundCalibration();
  }
  // Waits until the input thread has seen its port fail.
  void WaitForFailure() {
    for (int i = 0; i < 200 && !rx.InputThread->PortFailed; ++i) std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(rx.InputThread->PortFailed);
  }
  test::FakeSerialOpener serial;
  test::FakeSoundOpener sound;
  test::RecordingBoxes boxes;
  TReceiveSide rx;
};

TEST_F(SoundInputTest, SoundCalibrationStandsInForTheBoxsAndTheFileKeepsTheBoxs) {
  Settings.ClockCal = 0.01f;
  const float boxPeriod = ComputeSamplePeriod(0.01f, 4800);
  SoundInput().ClockCal = -0.002f;
  ChooseSound(true);
  EXPECT_EQ(Settings.DataRate, 7200);
  EXPECT_EQ(Settings.CalLow, 32);
  EXPECT_EQ(Settings.CalHigh, 208);
  EXPECT_FLOAT_EQ(Settings.ClockCal, -0.002f);
  EXPECT_FLOAT_EQ(Settings.SamplePeriod, ComputeSamplePeriod(-0.002f, 7200));
  // The user calibrates the sound with the tone generator: the file still gets the box's.
  Settings.CalLow = 40;
  const TSettings file = RecordForFile();
  EXPECT_EQ(file.DataRate, 4800);
  EXPECT_EQ(file.CalLow, 36);
  EXPECT_EQ(file.CalHigh, 236);
  EXPECT_FLOAT_EQ(file.ClockCal, 0.01f);
  EXPECT_FLOAT_EQ(file.SamplePeriod, boxPeriod);
  EXPECT_EQ(SoundInputForStore().CalLow, 40);

  // Back to the box: its values return, and the sound's calibration is kept for next time.
  ChooseSound(false);
  EXPECT_EQ(Settings.DataRate, 4800);
  EXPECT_EQ(Settings.CalLow, 36);
  EXPECT_FLOAT_EQ(Settings.SamplePeriod, boxPeriod);
  EXPECT_EQ(SoundInput().CalLow, 40);
  EXPECT_FLOAT_EQ(Settings.ClockCal, 0.01f);
  ChooseSound(true);
  EXPECT_EQ(Settings.CalLow, 40);

  // A recording played keeps the sound's calibration after the sound card is given up.
  SetRecordingPlaying(true);
  ChooseSound(false);
  EXPECT_EQ(Settings.DataRate, 7200);
  // A type chosen meanwhile is the box's, and in use when the playing ends.
  ChangeBoxFields([] { SetInterfaceTypeFields(3); });
  EXPECT_EQ(Settings.DataRate, 7200);
  EXPECT_EQ(RecordForFile().DataRate, 5760);
  SetRecordingPlaying(false);
  UpdateSoundCalibration();
  EXPECT_EQ(Settings.DataRate, 5760);
  EXPECT_EQ(Settings.CalLow, 28);
}

TEST_F(SoundInputTest, DamagedStoredChoicesFallBackToTheDefaults) {
  const SoundInputChoice bad = ValidSoundInput({true, "hw:1", 999, 100, 100, 0.5f});
  EXPECT_EQ(bad.CentreHz, 1900);
  EXPECT_EQ(bad.CalLow, 32);
  EXPECT_EQ(bad.CalHigh, 208);
  EXPECT_EQ(bad.Source, "hw:1");
  EXPECT_EQ(bad.ClockCal, 0);
  const SoundInputChoice good = ValidSoundInput({true, "", 2500, 208, 32, -0.1f});
  EXPECT_EQ(good.CentreHz, 2500);
  EXPECT_EQ(good.CalLow, 208);
  EXPECT_FLOAT_EQ(good.ClockCal, -0.1f);
  EXPECT_EQ(ValidSoundInput({false, "", 1000, -1, 300}).CalHigh, 208);
}

TEST_F(SoundInputTest, SoundInputOpensInPlaceOfThePortWithoutBoxCommands) {
  SoundInput().Source = "monitor.1";
  SoundInput().CentreHz = 2000;
  ChooseSound(true);
  ASSERT_TRUE(rx.Create());
  rx.Link.InterfaceStartup();
  rx.Link.InterfaceShutdown();
  ASSERT_EQ(sound.Opened.size(), 1u);
  EXPECT_EQ(sound.Opened[0].first, "monitor.1");
  EXPECT_EQ(sound.Opened[0].second, 2000);
  EXPECT_TRUE(serial.Opened.empty());
  EXPECT_TRUE(sound.Last->Calls().empty());

  // Back to COM1 opens the serial port.
  ChooseSound(false);
  rx.ComPortChosen(true);
  ASSERT_EQ(serial.Opened.size(), 1u);
  EXPECT_EQ(serial.Opened[0].Name, "COM1");
  EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(SoundInputTest, SoundInputThatCannotOpenOrStopsIsReportedOnce) {
  sound.Refusal = "no audio server is running";
  ChooseSound(true);
  ASSERT_TRUE(rx.Create());
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text,
            "Unable to open sound input \"default\": no audio server is running.");

  sound.Refusal.clear();
  sound.NextBytesPerRead = -1;  // the device has gone
  sound.NextReason = "the sound source was removed";
  rx.ComPortChosen(false);  // the failed input is opened again
  WaitForFailure();
  rx.Poll();
  rx.Poll();
  ASSERT_EQ(boxes.Shown.size(), 2u);
  EXPECT_EQ(boxes.Shown[1].Text,
            "The sound input \"default\" has stopped: the sound source was removed.\nChoose Sound "
            "card again in the configuration menu to reopen it.");
}

TEST_F(SoundInputTest, RecordingPlaysInPlaceOfTheInputAndGivesItBack) {
  ASSERT_TRUE(rx.Create());
  ASSERT_EQ(serial.Opened.size(), 1u);
  auto recording = std::make_shared<test::FakeSerialPort>();
  recording->BytesPerRead = 0;
  rx.Play(recording, "fax.wav");
  EXPECT_TRUE(rx.Playing());
  EXPECT_EQ(Settings.DataRate, 7200);
  EXPECT_FALSE(rx.Poll());

  // A type change while it plays waits for its end; the end opens the port again.
  rx.InterfaceTypeChanged();
  EXPECT_EQ(serial.Opened.size(), 1u);
  recording->End = true;
  EXPECT_TRUE(rx.Poll());
  EXPECT_FALSE(rx.Playing());
  EXPECT_EQ(Settings.DataRate, 4800);
  EXPECT_EQ(serial.Opened.size(), 2u);

  // A recording that fails half way is reported, and the input comes back.
  auto broken = std::make_shared<test::FakeSerialPort>();
  broken->BytesPerRead = -1;
  broken->Reason = "the file ends early";
  rx.Play(broken, "cut.flac");
  WaitForFailure();
  EXPECT_FALSE(rx.Poll());
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text,
            "The recording \"cut.flac\" could not be played to its end: the file ends early.");
  EXPECT_FALSE(rx.Playing());
  EXPECT_EQ(serial.Opened.size(), 3u);

  // Choosing an input in the configuration window ends the playing.
  rx.Play(std::make_shared<test::FakeSerialPort>(), "fax.wav");
  rx.ComPortChosen(false);
  EXPECT_FALSE(rx.Playing());
  EXPECT_EQ(serial.Opened.size(), 4u);
}

TEST_F(SoundInputTest, BacklogIsWhatTheDecoderHasNotTaken) {
  serial.NextBytesPerRead = 100;
  ASSERT_TRUE(rx.Create());
  ASSERT_TRUE(rx.InputThread->WaitForWritePos(1000, 2s));
  rx.Link.ClosePort(*rx.InputThread);
  EXPECT_EQ(rx.Backlog(), rx.InputThread->WritePos.load());
  rx.Drain([](const std::uint8_t*, std::size_t) {});
  EXPECT_EQ(rx.Backlog(), 0);
}

}  // namespace
}  // namespace zarvo
