// The spectrum's histogram over a receive buffer, and the pace of the thread that asks for its
// updates.
#include <gtest/gtest.h>

#include <climits>

#include "decoder/SampleConversion.h"
#include "spectrum/SpThread.h"
#include "spectrum/SpectrumHistogram.h"

namespace zarvo {
namespace {

using namespace std::chrono_literals;

TEST(SpecColumn, TonesAndEdges) {
  // 1500 Hz at 0/255: (201 x 70 / 255 + 36) / 2 = (55 + 36) / 2. At 40/240: 201 x -37 / 200 + 36
  // = -1, and -38 + 36 = -2. Equal values count as a difference of 1. The widest span:
  // 201 x (255 + 2^31) / (2^32 - 1) = 100.
  for (const auto& [sample, low, high, column] :
       {std::tuple{70, 0, 255, 45}, {3, 40, 240, 0}, {2, 40, 240, -1}, {101, 100, 100, 118}})
    EXPECT_EQ(SpecColumn(sample, low, high), column) << sample << " at " << low << "/" << high;
  EXPECT_EQ(SpecColumn(255, INT_MIN, INT_MAX), 68);
  for (const auto& [low, high] : {std::pair{0, 255}, {40, 200}, {100, 30}}) {
    EXPECT_EQ(SpecColumn(FrequencyToSample(1200, low, high), low, high), 18);
    EXPECT_EQ(SpecColumn(FrequencyToSample(2300, low, high), low, high), 118);
  }
}

// Rows 0..29 show each bar (blue from the base line up, white above); rows 30, 31 the marks at
// 43..47 and 116..120 on the grey base line.
void ExpectPicture(const SpectrumHistogram& h) {
  for (int x = 0; x < 128; ++x) {
    ASSERT_LE(h.SpecHeights[x], 26);
    const std::uint32_t base = (x >= 43 && x <= 47) || (x >= 116 && x <= 120) ? 0xFFFF00 : 0x808080;
    for (int y = 0; y < 32; ++y)
      ASSERT_EQ(h.SpecBitmap.Pixel(x, y), y >= 30                      ? base
                                          : y >= 30 - h.SpecHeights[x] ? 0x0000FFu
                                                                       : 0xFFFFFFu)
          << x << "," << y;
  }
}

// The test is the writer: it fills the buffer and moves the position; the thread gets no port.
class SpectrumHistogramTest : public ::testing::Test {
 protected:
  void Feed(std::uint8_t value, int count, int piece = 144) {
    for (int done = 0; done < count; done += piece) {
      for (int i = done; i < std::min(count, done + piece); ++i) buffer[in.WritePos++] = value;
      h.Update(in, 0, 255);
    }
  }
  std::unique_ptr<std::uint8_t[]> storage{new std::uint8_t[RxBufferSize]};
  std::uint8_t* buffer = storage.get();
  InThread in{buffer};
  SpectrumHistogram h{0, 255};
};

TEST_F(SpectrumHistogramTest, BarsGrowByTwoAndLeakOneColumnPerSample) {
  ExpectPicture(h);
  EXPECT_FALSE(h.Update(in, 0, 255));  // nothing new: no repaint
  Feed(70, 1);
  EXPECT_EQ(std::tuple(h.SpecHeights[45], h.DecayColumn, h.SpecShownPos), std::tuple(2, 1, 1));
  Feed(255, 13);  // 13 x 2 = 26; the leak has not reached 45 yet
  EXPECT_EQ(h.SpecHeights[118], 26);
  ExpectPicture(h);
  // Column 45 loses one at sample 45, column 118 one every 128 samples, 26 times over.
  Feed(70, 26 * 128);
  for (int x = 0; x < 128; ++x) EXPECT_TRUE(x == 45 || h.SpecHeights[x] == 0) << x;
  for (int i = 0; i < 300; ++i) {
    Feed(70, 1);
    ASSERT_GE(h.SpecHeights[45], 24);
  }
  ExpectPicture(h);
  // A tone measurement starts the writer again at 0: everything from there is new. (A writer
  // that overran this reader is skipped to: InThreadTest's spectrum overrun.)
  in.ResetWritePos();
  Feed(255, 10, 10);
  EXPECT_EQ(std::pair(h.SpecReadPos, h.SpecHeights[118]), std::pair(10, 20));
}

// 40..240 puts 3 in column 0 and drops 2, which still moves the leak on.
TEST_F(SpectrumHistogramTest, DroppedSamplesDriveTheLeak) {
  SpectrumHistogram low(40, 240);
  buffer[0] = 3;
  in.WritePos = 128;  // the rest stays 0: column -2, dropped
  low.Update(in, 40, 240);
  // 2 in column 0, then shortened by the 128th sample.
  EXPECT_EQ(std::tuple(low.DecayColumn, low.SpecHeights[0], low.SpecBitmap.Pixel(0, 28)),
            std::tuple(0, 1, 0xFFFFFFu));
}

// Between one update and the next request a pause of 50 ms, or 200 ms after one with no news.
// That no update runs once the thread is ended with a request waiting, the reception window's
// test checks on the window.
TEST(SpectrumThread, RequestsArePaced) {
  class ImmediateGui final : public GuiThreadRunner {
    void Post(std::function<void()> task) override { task(); }
  } gui;
  std::atomic<int> updates{0};
  {
    SpThread spectrum(gui, [&] { return ++updates % 2 == 0; });
    std::this_thread::sleep_for(400ms);
  }
  // Every other update shows news: 400 ms of pauses of 50 and 200 ms, and a little.
  EXPECT_TRUE(updates >= 2 && updates <= 5) << updates;
}

}  // namespace
}  // namespace zarvo
