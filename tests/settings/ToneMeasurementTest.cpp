// The tone measurement of the audio calibration, on a stand-in receive side and on the real one
// behind a fake port: the restart, the wait for fresh bytes, the mean.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "interface/Receiver.h"
#include "settings/Settings.h"
#include "settings/ToneMeasurement.h"
#include "support/FakeSerial.h"
#include "support/RecordingBoxes.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

// A buffer the test fills by hand.
class HandFedReceive final : public ReceiveControl {
 public:
  void InterfaceTypeChanged() override {}
  void ComPortChosen(bool) override {}
  bool RestartBuffer() override {
    ++Restarts;
    Bytes.clear();
    return HasBuffer;
  }
  std::int32_t BytesWritten() const override { return static_cast<std::int32_t>(Bytes.size()); }
  std::uint8_t ByteAt(std::int32_t index) const override { return Bytes[index]; }
  std::vector<std::uint8_t> Bytes = std::vector<std::uint8_t>(300, 7);  // before the restart
  bool HasBuffer = true;
  int Restarts = 0;
};

TEST(ToneMeasurement, RestartsThenAveragesTheFirstFreshBytes) {
  HandFedReceive receive;
  const ToneMeasurement tone(&receive);
  ASSERT_TRUE(tone.Started());
  EXPECT_EQ(receive.Restarts, 1);
  EXPECT_EQ(tone.Received(), 0);  // what was there before does not count
  receive.Bytes.assign(4000, 40);
  EXPECT_FALSE(tone.Wait(10ms));
  EXPECT_EQ(tone.Received(), 4000);
  // 6000 more, half of them a step higher, and bytes past the measurement that must not count.
  receive.Bytes.insert(receive.Bytes.end(), 3000, 40);
  receive.Bytes.insert(receive.Bytes.end(), 3000, 43);
  receive.Bytes.insert(receive.Bytes.end(), 500, 255);
  EXPECT_TRUE(tone.Wait(0ms));
  EXPECT_EQ(tone.Received(), ToneMeasurement::kBytes);
  EXPECT_EQ(tone.Average(), 40);  // 40.9 truncated

  // Nothing to measure without a buffer.
  receive.HasBuffer = false;
  EXPECT_FALSE(ToneMeasurement(&receive).Started());
  EXPECT_EQ(receive.Restarts, 2);
  const ToneMeasurement none(nullptr);
  EXPECT_FALSE(none.Started());
  EXPECT_FALSE(none.Wait(0ms));
  EXPECT_EQ(none.Received(), 0);
}

// The receive side in use is what the configuration reaches; its restart takes the decoder's
// reader back to the buffer's start with the writer.
TEST(ToneMeasurement, TheReceiveSideInUseRestartsWithItsReader) {
  ClearSettings(Settings);
  SetInterfaceTypeFields(1);
  SetComPortFields(1);
  test::RecordingBoxes boxes;
  test::FakeSerialOpener opener;
  opener.NextBytesPerRead = 100;
  {
    TReceiveSide receive;
    EXPECT_EQ(CurrentReceiveControl(), &receive);
    EXPECT_EQ(ActiveReceiveSide(), &receive);
    EXPECT_FALSE(receive.RestartBuffer());  // not created yet: no buffer
    ASSERT_TRUE(receive.Create());
    InThread& in = *receive.InputThread;
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (receive.ReadPos < 1000 && std::chrono::steady_clock::now() < end) {
      receive.Drain([](const std::uint8_t*, std::size_t) {});
      std::this_thread::sleep_for(2ms);
    }
    ASSERT_GE(receive.ReadPos, 1000);

    const ToneMeasurement tone(CurrentReceiveControl());
    ASSERT_TRUE(tone.Started());
    EXPECT_EQ(receive.ReadPos, 0);
    ASSERT_TRUE(tone.Wait(5s));
    receive.Link.ClosePort(in);  // the writer stops before it could come round again
    // The fake port counts its bytes up from 0, so the first fresh one tells where it stood.
    const std::uint8_t first = in.ByteAt(0);
    std::int64_t sum = 0;
    for (int i = 0; i < ToneMeasurement::kBytes; ++i) {
      ASSERT_EQ(in.ByteAt(i), static_cast<std::uint8_t>(first + i)) << i;
      sum += in.ByteAt(i);
    }
    EXPECT_EQ(tone.Average(), sum / ToneMeasurement::kBytes);
  }
  EXPECT_EQ(CurrentReceiveControl(), nullptr);
  EXPECT_EQ(ActiveReceiveSide(), nullptr);
  EXPECT_TRUE(boxes.Shown.empty());
}

}  // namespace
}  // namespace zarvo
