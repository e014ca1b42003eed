// "Straighten automatically" between the configuration window and the reception window's
// decoder, and the clock correction that the straightened faxes offer.
#include <gtest/gtest.h>

#include "platform/ProgramFolder.h"
#include "reception/InVideo.h"
#include "settings/ClockCalibration.h"
#include "settings/Config.h"
#include "sim/Broadcast.h"
#include "support/FakeSerial.h"
#include "support/ProgramRun.h"
#include "support/RealInput.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

class StraightenOptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home.Path());
    ASSERT_TRUE(test::WriteSettingsRecord(home, test::FirstTypeOnCom1(0)));
    Reopen();
  }
  void TearDown() override {
    invid.reset();
    conf.reset();
    SetProgramFolder("");
    QSettings(QStringLiteral("Zarvo"), QStringLiteral("Zarvo Meteo")).remove("Reception");
    ClockCalibration() = {};
  }
  // Both windows as the next run makes them, with nothing of this run's option in memory.
  void Reopen() {
    invid.reset();
    conf.reset();
    ClockCalibration() = {};
    conf = std::make_unique<TConf>();
    invid = std::make_unique<TInVid>();
    conf->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(conf.get()));
  }
  test::TempDir home;
  test::FakeSerialOpener serial;
  test::RecordingBoxes boxes;
  std::unique_ptr<TConf> conf;
  std::unique_ptr<TInVid> invid;
};

// Checked at first; a click on its mark switches the open decoder, and the next run starts as the
// user left it.
TEST_F(StraightenOptionTest, BoxSwitchesTheDecoderAtOnceAndForTheNextRun) {
  for (const bool on : {true, false, true}) {
    EXPECT_EQ(std::pair(conf->Straighten->isChecked(), invid->Decoder.Straighten),
              std::pair(on, on));
    test::MouseClick(conf->Straighten, QPoint(6, conf->Straighten->height() / 2));
    EXPECT_EQ(invid->Decoder.Straighten, !on);
    Reopen();
  }
}

// Three broadcasts from a box whose clock runs 30 ppm fast, decoded in one go: the correction is
// asked only once the decoder has returned, and Yes moves the configuration window's track bar.
TEST_F(StraightenOptionTest, MeasuredCorrectionAskedAfterTheDecoderReturns) {
  sim::BroadcastStream stream(sim::TestChart(100), {.ClockErrorPpm = 30, .Repeat = 3});
  std::vector<std::uint8_t> bytes(1 << 16);
  for (std::size_t count = bytes.size(); stream.Next(bytes.data(), count); count = bytes.size())
    invid->Decoder.Process(bytes.data(), count);
  EXPECT_TRUE(boxes.Shown.empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text,
            "Incoming Clock Calibration needs to be corrected with -0.0030%, continue?");
  EXPECT_EQ(conf->ClockCal->value(), -30);
}

}  // namespace
}  // namespace zarvo
