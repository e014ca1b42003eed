// Whole broadcasts from the simulator through the receiver's decoder, as zarvo-decode runs it:
// every drum speed, both IOC values, every interface rate, with noise and a clock error.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>

#include "decode/DecodeRun.h"
#include "settings/Settings.h"
#include "sim/Broadcast.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using decode::DecodeOptions;
using decode::DecodeRun;

struct Case {
  int Lpm;
  int Ioc;
  int Interface;
  double NoiseHz = 0;
  double ClockErrorPpm = 0;
  double LeadSeconds = 0;  // noise (if any) on a 1900 Hz carrier before the start tone
  unsigned Seed = 1;
};

std::string Name(const Case& c) {
  return std::to_string(c.Lpm) + " LPM, IOC " + std::to_string(c.Ioc) + ", interface " +
         std::to_string(c.Interface) + ", noise " + std::to_string(int(c.NoiseHz)) + " Hz, clock " +
         std::to_string(int(c.ClockErrorPpm)) + " ppm, seed " + std::to_string(c.Seed);
}

struct Result {
  std::vector<std::string> Events;
  std::size_t Files = 0;
  int LeftBorder = -1;
  double MeanError = 999;
  int Rows = 0;
};

Result Receive(const Case& c, const sim::GreyImage& chart, const test::TempDir& out) {
  const InterfaceTypeInfo& type = InterfaceTypeParams(c.Interface);
  sim::BroadcastOptions sent;
  sent.DataRate = type.DataRate;
  sent.CalLow = type.CalLow;
  sent.CalHigh = type.CalHigh;
  sent.Lpm = c.Lpm;
  sent.Ioc = c.Ioc;
  sent.PhasingSeconds = 10;
  sent.NoiseHz = c.NoiseHz;
  sent.ClockErrorPpm = c.ClockErrorPpm;
  sent.LeadSeconds = c.LeadSeconds;
  sent.Seed = c.Seed;
  const auto stream = sim::MakeBroadcast(chart, sent);

  DecodeOptions options;
  options.InterfaceType = c.Interface;
  options.DrumSpeed = 2;  // the phasing sets the real speed
  options.Ioc = 1;        // the start tone sets the real IOC
  // The receiver's clock calibration takes out the device's error (percent, negative for a fast
  // device), to its own resolution of 0.0001 %.
  options.ClockCal = static_cast<float>(std::round(-c.ClockErrorPpm) / 10000.0);
  options.Start = {2026, 12, 7, 10, 0, 0};
  options.OutDir = out.Path();
  Result result;
  DecodeRun run(options, [&](const std::string& line) {
    const std::string text = line.substr(11);
    if (text.find("LPM") == std::string::npos && text.rfind("saved", 0) != 0 &&
        (result.Events.empty() || result.Events.back() != text))
      result.Events.push_back(text);
  });
  run.Feed(stream.data(), stream.size());
  run.Finish();
  result.Files = run.Saved().size();
  if (result.Files != 1) return result;
  result.Rows = run.Saved()[0].Rows;

  const Bitmap& picture = run.Decoder().Picture;
  const auto grey = [&](int x, int y) { return static_cast<int>(picture.Pixel(x, y) & 0xFF); };
  // The bar's left edge: the first column whose mean over the rows below the white top is
  // darker than mid-grey (a mean, so that noise on single pixels does not move it).
  for (int x = 0; x < TDecoder::W && result.LeftBorder < 0; ++x) {
    long sum = 0;
    int rows = 0;
    for (int y = 60; y < chart.Height - 10; ++y, ++rows) sum += grey(x, y);
    if (rows > 0 && sum < 128L * rows) result.LeftBorder = x;
  }
  // Mean grey error over blocks of 8 x 4 pixels: the finest stripes are below what a fast drum
  // on a slow interface resolves, a shifted or torn picture is not.
  double error = 0;
  long count = 0;
  for (int y0 = 44; y0 + 4 <= chart.Height - 4; y0 += 4)
    for (int x0 = 0; x0 + 8 <= TDecoder::W; x0 += 8) {
      int got = 0, want = 0;
      for (int y = y0; y < y0 + 4; ++y)
        for (int x = x0; x < x0 + 8; ++x) {
          const int sentRow = c.Ioc == 288 ? y & ~1 : y;
          got += grey(x, y);
          want += chart.Pixels[static_cast<std::size_t>(sentRow) * 1810 + x];
        }
      error += std::abs(got - want) / 32.0;
      ++count;
    }
  result.MeanError = error / static_cast<double>(count);
  return result;
}

class BroadcastTest : public ::testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_TIME, "C"); }
  void Check(const Case& c, double maxError) {
    test::TempDir out;
    const Result r = Receive(c, chart, out);
    const std::vector<std::string> expected = {c.Ioc == 576 ? "Start IOC 576" : "Start IOC 288",
                                               "Synchronizing", "Waiting", "Receiving", "Stop"};
    EXPECT_EQ(r.Events, expected) << Name(c);
    ASSERT_EQ(r.Files, 1u) << Name(c);
    // The fold finds the phasing pulse's middle to a fraction of a sample.
    EXPECT_NEAR(r.LeftBorder, sim::ChartBarFirst, 1) << Name(c);
    RecordProperty(Name(c), "border " + std::to_string(r.LeftBorder) + ", error " +
                                std::to_string(r.MeanError));
    EXPECT_LT(r.MeanError, maxError) << Name(c);
    EXPECT_GE(r.Rows, chart.Height - 2) << Name(c);
  }
  const sim::GreyImage chart = sim::TestChart(160);
};

TEST_F(BroadcastTest, EveryDrumSpeedAndIoc) {
  for (int lpm : {60, 90, 120, 180, 240})
    for (int ioc : {576, 288}) Check({lpm, ioc, 1}, 24);
}

TEST_F(BroadcastTest, EveryInterfaceRate) {
  for (int type : {3, 4, 5})
    for (int lpm : {120, 240}) Check({lpm, 576, type}, 30);
}

TEST_F(BroadcastTest, NoiseAndAClockError) {
  Check({120, 576, 1, 40, 0}, 40);
  Check({120, 576, 1, 0, 80}, 24);
  Check({90, 288, 4, 40, -60}, 45);
}

// Noise on a white chart, clipped at white, used to make edge counts in the stop tone's range
// inside the picture: the fax was closed a second after it began.
TEST_F(BroadcastTest, NoisyWhiteChartIsNotCutShort) {
  for (int type : {1, 2})
    for (unsigned seed : {1u, 2u, 3u}) Check({120, 576, type, 150, 0, 0, seed}, 30);
}

// Noise of 100 Hz and more made edge counts in the IOC 288 start range on the 5236/s box: junk
// faxes from noise alone, and an IOC 576 broadcast taken for IOC 288 after a noisy lead-in.
TEST_F(BroadcastTest, NoiseAloneStartsNothing) {
  const int rates[] = {7200, 5760, 5236, 4800};
  for (int rate : rates)
    for (double noise : {100.0, 200.0, 400.0}) {
      sim::BroadcastOptions hiss;
      hiss.DataRate = rate;
      hiss.LeadSeconds = 60;
      hiss.StartSeconds = hiss.PhasingSeconds = hiss.StopSeconds = hiss.TrailerSeconds = 0;
      hiss.NoiseHz = noise;
      const auto stream = sim::MakeBroadcast(sim::GreyImage{}, hiss);
      test::TempDir out;
      DecodeOptions options;
      options.DataRate = rate;
      options.OutDir = out.Path();
      options.Start = {2026, 12, 7, 12, 0, 0};
      std::vector<std::string> heard;
      DecodeRun run(options, [&](const std::string& line) {
        if (line.find("LPM") == std::string::npos) heard.push_back(line);
      });
      run.Feed(stream.data(), stream.size());
      run.Finish();
      EXPECT_TRUE(heard.empty()) << rate << "/s, " << noise << " Hz: " << heard.front();
      EXPECT_TRUE(run.Saved().empty());
    }
}

TEST_F(BroadcastTest, NoisyLeadInThenTheRealStart) {
  for (unsigned seed : {1u, 2u, 3u}) Check({120, 576, 5, 150, 0, 2, seed}, 30);
}

// The start tone under noise that hid it from the edge counts, while the picture is still legible.
TEST_F(BroadcastTest, StartToneUnderHeavyNoise) {
  Check({120, 576, 1, 250, 0, 2}, 40);
  Check({120, 288, 3, 300, 0, 2}, 45);
  Check({120, 576, 4, 300, 0, 2}, 45);
  Check({240, 576, 1, 400, 0, 2}, 60);
}

// A recording that ends a few samples into a new row keeps that row, as the live program does
// when it ends there.
TEST_F(BroadcastTest, RecordingEndingJustAfterARowBeganKeepsIt) {
  // On the 5236/s box a millisecond is not a whole number of samples, so rows begin between
  // the ticks.
  sim::BroadcastOptions sent;
  sent.DataRate = 5236;
  sent.CalLow = 36;
  sent.CalHigh = 236;
  sent.PhasingSeconds = 10;
  const auto stream = sim::MakeBroadcast(chart, sent);
  test::TempDir out;
  DecodeOptions options;
  options.InterfaceType = 5;
  options.OutDir = out.Path();
  options.Start = {2026, 12, 7, 13, 0, 0};
  // Where row 80 of the picture begins.
  std::size_t at = 0;
  {
    DecodeRun probe(options, [](const std::string&) {});
    for (bool receiving = false; at < stream.size(); ++at) {
      probe.Feed(&stream[at], 1);
      receiving = receiving || probe.Decoder().DecoderState == 0 && probe.Decoder().PictureOpen;
      if (receiving && probe.Decoder().CurrentLine == 80) break;
    }
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

// Without its calibration a clock error slants the picture: the border walks off by the error
// times the samples since the phasing.
TEST_F(BroadcastTest, UncorrectedClockErrorSlants) {
  test::TempDir out;
  Case c{120, 576, 1, 0, 0};
  const Result straight = Receive(c, chart, out);
  sim::BroadcastOptions fast;
  fast.ClockErrorPpm = 300;
  fast.PhasingSeconds = 10;
  const auto stream = sim::MakeBroadcast(chart, fast);
  DecodeOptions options;
  options.OutDir = out.Path();
  options.Start = {2026, 12, 7, 11, 0, 0};
  DecodeRun run(options, [](const std::string&) {});
  run.Feed(stream.data(), stream.size());
  run.Finish();
  const Bitmap& picture = run.Decoder().Picture;
  const auto border = [&](int y) {
    for (int x = 0; x < TDecoder::W; ++x)
      if ((picture.Pixel(x, y) & 0xFF) < 128) return x;
    return -1;
  };
  // 300 ppm of 3600 samples a line is 1.08 samples, 0.54 columns, a line.
  const int drift = border(150) - border(50);
  EXPECT_NEAR(straight.LeftBorder, sim::ChartBarFirst, 2);
  EXPECT_NEAR(std::abs(drift), 54, 8);
}

}  // namespace
}  // namespace zarvo
