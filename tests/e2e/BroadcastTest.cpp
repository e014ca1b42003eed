// Whole broadcasts from the simulator through the receiver's decoder, as zarvo-decode runs it:
// every drum speed, both IOC values, every interface rate, with noise and a clock error.
#include <gtest/gtest.h>

#include <cmath>

#include "decode/DecodeRun.h"
#include "sim/Broadcast.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using decode::DecodeOptions;
using decode::DecodeRun;
const LocalDateTime kStart{2026, 12, 7, 10, 0, 0};

struct Reception {
  std::vector<std::string> Statuses;  // without the mode and the saves, repeats folded
  std::vector<decode::SavedFax> Saved;
  Bitmap Picture;
};

Reception Receive(const std::vector<std::uint8_t>& stream, DecodeOptions options) {
  test::TempDir out;
  options.OutDir = out.Path();
  Reception r;
  DecodeRun run(options, [&](const std::string& line) {
    const std::string text = line.substr(11);
    if (text.find("LPM") == std::string::npos && text.rfind("saved", 0) != 0 &&
        (r.Statuses.empty() || r.Statuses.back() != text))
      r.Statuses.push_back(text);
  });
  run.Feed(stream.data(), stream.size());
  run.Finish();
  return {r.Statuses, run.Saved(), run.Decoder().Picture};
}

int Grey(const Bitmap& picture, int x, int y) {
  return static_cast<int>(picture.Pixel(x, y) & 0xFF);
}

class BroadcastTest : public ::testing::Test {
 protected:
  // `sent` on interface `type` with 10 s of phasing: the statuses, one fax, its left edge, and
  // a mean grey error below `maxError`.
  void Check(int type, double maxError, sim::BroadcastOptions sent) {
    SCOPED_TRACE(testing::Message() << sent.Lpm << " LPM, IOC " << sent.Ioc << ", interface "
                                    << type << ", noise " << sent.NoiseHz << " Hz, clock "
                                    << sent.ClockErrorPpm << " ppm, seed " << sent.Seed);
    const InterfaceTypeInfo& info = InterfaceTypeParams(type);
    std::tie(sent.DataRate, sent.CalLow, sent.CalHigh, sent.PhasingSeconds) =
        std::tuple(info.DataRate, info.CalLow, info.CalHigh, 10.0);
    // The phasing sets the real speed, the start tone the IOC. The clock calibration takes out
    // the device's error (percent, negative for a fast device) to its resolution of 0.0001 %.
    const Reception r =
        Receive(sim::MakeBroadcast(chart, sent),
                {.InterfaceType = type,
                 .ClockCal = static_cast<float>(std::round(-sent.ClockErrorPpm) / 10000.0),
                 .Start = kStart});
    const std::vector<std::string> expected = {"Start IOC " + std::to_string(sent.Ioc),
                                               "Synchronizing", "Waiting", "Receiving", "Stop"};
    EXPECT_EQ(r.Statuses, expected);
    ASSERT_EQ(r.Saved.size(), 1u);
    EXPECT_GE(r.Saved[0].Rows, chart.Height - 2);
    // The left edge: the first column darker than mid-grey in the mean of the rows (noise on
    // single pixels does not move it). The fold finds the pulse's middle to a fraction of a sample.
    int border = 0;
    for (long sum = 0; border < TDecoder::W; ++border, sum = 0) {
      for (int y = 60; y < chart.Height - 10; ++y) sum += Grey(r.Picture, border, y);
      if (sum < 128L * (chart.Height - 70)) break;
    }
    EXPECT_NEAR(border, sim::ChartBarFirst, 1);
    // Mean grey error over blocks of 8 x 4 pixels: the finest stripes are below what a fast drum
    // on a slow interface resolves, a shifted or torn picture is not.
    constexpr int across = TDecoder::W / 8;
    std::vector<int> blocks(std::size_t((chart.Height - 48) / 4 * across));
    for (int y = 44; y < chart.Height - 4; ++y)
      for (int x = 0; x < across * 8; ++x)
        blocks[std::size_t((y - 44) / 4 * across + x / 8)] +=
            Grey(r.Picture, x, y) - chart.At(x, sent.Ioc == 288 ? y & ~1 : y);
    double error = 0;
    for (const int difference : blocks) error += std::abs(difference) / 32.0;
    EXPECT_LT(error / double(blocks.size()), maxError);
  }
  const sim::GreyImage chart = sim::TestChart(160);
};

TEST_F(BroadcastTest, EveryDrumSpeedIocInterfaceRateNoiseAndClockError) {
  for (int lpm : {60, 90, 120, 180, 240})
    for (int ioc : {576, 288}) Check(1, 24, {.Lpm = lpm, .Ioc = ioc});
  for (int type : {3, 4, 5})
    for (int lpm : {120, 240}) Check(type, 30, {.Lpm = lpm});
  // Noise and a clock error.
  Check(1, 40, {.NoiseHz = 40});
  Check(1, 24, {.ClockErrorPpm = 80});
  Check(4, 45, {.Lpm = 90, .Ioc = 288, .NoiseHz = 40, .ClockErrorPpm = -60});
  // Noise on a white chart, clipped at white, used to make edge counts in the stop tone's range
  // inside the picture: the fax was closed a second after it began. Also after a noisy lead-in.
  for (unsigned seed : {1u, 2u, 3u})
    for (int type : {1, 2, 5})
      Check(type, 30, {.LeadSeconds = type == 5 ? 2.0 : 0.0, .NoiseHz = 150, .Seed = seed});
  // The start tone under noise that hid it from the edge counts; the picture still legible.
  Check(1, 40, {.LeadSeconds = 2, .NoiseHz = 250});
  Check(3, 45, {.Ioc = 288, .LeadSeconds = 2, .NoiseHz = 300});
  Check(4, 45, {.LeadSeconds = 2, .NoiseHz = 300});
  Check(1, 60, {.Lpm = 240, .LeadSeconds = 2, .NoiseHz = 400});
}

// Noise of 100 Hz and more made edge counts in the IOC 288 start range on the 5236/s box: junk
// faxes from noise alone, and an IOC 576 broadcast taken for IOC 288 after a noisy lead-in.
TEST_F(BroadcastTest, NoiseAloneStartsNothing) {
  for (int rate : {7200, 5760, 5236, 4800})
    for (double noise : {100.0, 200.0, 400.0}) {
      sim::BroadcastOptions sent{.DataRate = rate, .LeadSeconds = 60, .NoiseHz = noise};
      sent.StartSeconds = sent.PhasingSeconds = sent.StopSeconds = sent.TrailerSeconds = 0;
      const Reception r =
          Receive(sim::MakeBroadcast({}, sent), {.DataRate = rate, .Start = kStart});
      EXPECT_TRUE(r.Statuses.empty() && r.Saved.empty()) << rate << "/s, " << noise << " Hz";
    }
}

// A recording that ends a few samples into a new row keeps that row, as the live program does
// when it ends there. On the 5236/s box a millisecond is not a whole number of samples, so rows
// begin between the ticks.
TEST_F(BroadcastTest, RecordingEndingJustAfterARowBeganKeepsIt) {
  const auto stream = sim::MakeBroadcast(
      chart, {.DataRate = 5236, .CalLow = 36, .CalHigh = 236, .PhasingSeconds = 10});
  test::TempDir out;
  const DecodeOptions options{.InterfaceType = 5, .Start = kStart, .OutDir = out.Path()};
  std::size_t at = 0;  // where row 80 of the picture begins
  DecodeRun probe(options, [](const std::string&) {});
  for (bool receiving = false; at < stream.size(); ++at) {
    probe.Feed(&stream[at], 1);
    const TDecoder& d = probe.Decoder();
    receiving = receiving || (d.DecoderState == 0 && d.PictureOpen);
    if (receiving && d.CurrentLine == 80) break;
  }
  ASSERT_LT(at, stream.size());
  // Ends anywhere in the millisecond after it, before or after that millisecond's tick.
  for (std::size_t end = at + 1; end <= at + 6; ++end) {
    DecodeRun run(options, [](const std::string&) {});
    run.Feed(stream.data(), end);
    run.Finish();
    EXPECT_TRUE(run.Saved().size() == 1 && run.Saved()[0].Rows == 81) << end - at;
  }
}

}  // namespace
}  // namespace zarvo
