// Whole broadcasts from the simulator through the receiver's decoder, as zarvo-decode runs it:
// every drum speed, both IOC values, every interface rate, with noise and a clock error.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "decode/DecodeRun.h"
#include "settings/Settings.h"
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

Reception Receive(const sim::GreyImage& chart, const sim::BroadcastOptions& sent,
                  DecodeOptions options) {
  const auto stream = sim::MakeBroadcast(chart, sent);
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
  r.Saved = run.Saved();
  r.Picture = run.Decoder().Picture;
  return r;
}

int Grey(const Bitmap& picture, int x, int y) {
  return static_cast<int>(picture.Pixel(x, y) & 0xFF);
}

// The first column darker than mid-grey in the mean of rows y0..y1-1 (a mean, so that noise on
// single pixels does not move it).
int Border(const Bitmap& picture, int y0, int y1) {
  for (int x = 0; x < TDecoder::W; ++x) {
    long sum = 0;
    for (int y = y0; y < y1; ++y) sum += Grey(picture, x, y);
    if (sum < 128L * (y1 - y0)) return x;
  }
  return -1;
}

struct Case {
  int Lpm, Ioc, Interface;
  double MaxError;
  double NoiseHz = 0, ClockErrorPpm = 0;
  double LeadSeconds = 0;  // noise (if any) on a 1900 Hz carrier before the start tone
  unsigned Seed = 1;
};

class BroadcastTest : public ::testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_TIME, "C"); }
  void Check(const Case& c) {
    SCOPED_TRACE(testing::Message()
                 << c.Lpm << " LPM, IOC " << c.Ioc << ", interface " << c.Interface << ", noise "
                 << c.NoiseHz << " Hz, clock " << c.ClockErrorPpm << " ppm, seed " << c.Seed);
    const InterfaceTypeInfo& type = InterfaceTypeParams(c.Interface);
    const sim::BroadcastOptions sent{.DataRate = type.DataRate,
                                     .CalLow = type.CalLow,
                                     .CalHigh = type.CalHigh,
                                     .Lpm = c.Lpm,
                                     .Ioc = c.Ioc,
                                     .LeadSeconds = c.LeadSeconds,
                                     .PhasingSeconds = 10,
                                     .NoiseHz = c.NoiseHz,
                                     .ClockErrorPpm = c.ClockErrorPpm,
                                     .Seed = c.Seed};
    // The phasing sets the real speed, the start tone the IOC. The clock calibration takes out
    // the device's error (percent, negative for a fast device) to its resolution of 0.0001 %.
    const Reception r =
        Receive(chart, sent,
                {.InterfaceType = c.Interface,
                 .ClockCal = static_cast<float>(std::round(-c.ClockErrorPpm) / 10000.0),
                 .Start = kStart});
    const std::vector<std::string> expected = {c.Ioc == 576 ? "Start IOC 576" : "Start IOC 288",
                                               "Synchronizing", "Waiting", "Receiving", "Stop"};
    EXPECT_EQ(r.Statuses, expected);
    ASSERT_EQ(r.Saved.size(), 1u);
    EXPECT_GE(r.Saved[0].Rows, chart.Height - 2);
    // The fold finds the phasing pulse's middle to a fraction of a sample.
    EXPECT_NEAR(Border(r.Picture, 60, chart.Height - 10), sim::ChartBarFirst, 1);
    // Mean grey error over blocks of 8 x 4 pixels: the finest stripes are below what a fast drum
    // on a slow interface resolves, a shifted or torn picture is not.
    double error = 0;
    int blocks = 0;
    for (int y0 = 44; y0 + 4 <= chart.Height - 4; y0 += 4)
      for (int x0 = 0; x0 + 8 <= TDecoder::W; x0 += 8, ++blocks) {
        int difference = 0;
        for (int y = y0; y < y0 + 4; ++y)
          for (int x = x0; x < x0 + 8; ++x)
            difference += Grey(r.Picture, x, y) -
                          chart.Pixels[static_cast<std::size_t>(c.Ioc == 288 ? y & ~1 : y) * 1810 +
                                       static_cast<std::size_t>(x)];
        error += std::abs(difference) / 32.0;
      }
    EXPECT_LT(error / blocks, c.MaxError);
  }
  const sim::GreyImage chart = sim::TestChart(160);
};

TEST_F(BroadcastTest, EveryDrumSpeedIocAndInterfaceRate) {
  for (int lpm : {60, 90, 120, 180, 240})
    for (int ioc : {576, 288}) Check({lpm, ioc, 1, 24});
  for (int type : {3, 4, 5})
    for (int lpm : {120, 240}) Check({lpm, 576, type, 30});
}

TEST_F(BroadcastTest, NoiseAndAClockError) {
  Check({120, 576, 1, 40, 40});
  Check({120, 576, 1, 24, 0, 80});
  Check({90, 288, 4, 45, 40, -60});
  // Noise on a white chart, clipped at white, used to make edge counts in the stop tone's range
  // inside the picture: the fax was closed a second after it began.
  for (int type : {1, 2})
    for (unsigned seed : {1u, 2u, 3u}) Check({120, 576, type, 30, 150, 0, 0, seed});
  for (unsigned seed : {1u, 2u, 3u}) Check({120, 576, 5, 30, 150, 0, 2, seed});  // noisy lead-in
  // The start tone under noise that hid it from the edge counts; the picture still legible.
  Check({120, 576, 1, 40, 250, 0, 2});
  Check({120, 288, 3, 45, 300, 0, 2});
  Check({120, 576, 4, 45, 300, 0, 2});
  Check({240, 576, 1, 60, 400, 0, 2});
}

// Noise of 100 Hz and more made edge counts in the IOC 288 start range on the 5236/s box: junk
// faxes from noise alone, and an IOC 576 broadcast taken for IOC 288 after a noisy lead-in.
TEST_F(BroadcastTest, NoiseAloneStartsNothing) {
  for (int rate : {7200, 5760, 5236, 4800})
    for (double noise : {100.0, 200.0, 400.0}) {
      const Reception r = Receive({},
                                  {.DataRate = rate,
                                   .LeadSeconds = 60,
                                   .StartSeconds = 0,
                                   .PhasingSeconds = 0,
                                   .StopSeconds = 0,
                                   .TrailerSeconds = 0,
                                   .NoiseHz = noise},
                                  {.DataRate = rate, .Start = kStart});
      EXPECT_TRUE(r.Statuses.empty()) << rate << "/s, " << noise << " Hz: " << r.Statuses[0];
      EXPECT_TRUE(r.Saved.empty());
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
  // Where row 80 of the picture begins.
  std::size_t at = 0;
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
    ASSERT_EQ(run.Saved().size(), 1u);
    EXPECT_EQ(run.Saved()[0].Rows, 81) << end - at;
  }
}

// Without its calibration a clock error slants the picture: 300 ppm of 3600 samples a line is
// 1.08 samples, 0.54 columns, a line.
TEST_F(BroadcastTest, UncorrectedClockErrorSlants) {
  const Reception r =
      Receive(chart, {.PhasingSeconds = 10, .ClockErrorPpm = 300}, {.Start = kStart});
  EXPECT_NEAR(std::abs(Border(r.Picture, 150, 151) - Border(r.Picture, 50, 51)), 54, 8);
}

}  // namespace
}  // namespace zarvo
