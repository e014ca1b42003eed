// The simulated interface's bytes: calibration, the tones' edges, the phasing pulses, the picture
// lines' timing at each drum speed, IOC 288, clock error, noise and the streamed pieces.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/Broadcast.h"

namespace zarvo::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t Black = 70;  // 1500 Hz at calibration 0..255
constexpr std::uint8_t White = 255;

Section Find(const BroadcastOptions& o, int rows, SectionKind kind) {
  for (const Section& s : BroadcastLayout(rows, o))
    if (s.Kind == kind) return s;
  return {};
}

GreyImage Flat(int width, int height, std::uint8_t grey) {
  return {width, height, Bytes(static_cast<std::size_t>(width) * height, grey)};
}

TEST(SimBroadcast, CalibrationRoundsAndClamps) {
  // 1500 Hz: 300 * 255 / 1100 = 69.5; 1900 Hz: 162.3. At 28..184: 28 + 42.5, 28 + 99.3.
  const struct {
    double Hz;
    int Full, Narrow;
  } cases[] = {{1200, 0, 28},    {1500, 70, 71}, {1900, 162, 127}, {2300, 255, 184},
               {2700, 255, 241}, {1000, 0, 0},   {NAN, 0, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(std::pair(+FrequencyToByte(c.Hz, 0, 255), +FrequencyToByte(c.Hz, 28, 184)),
              std::pair(c.Full, c.Narrow))
        << c.Hz;
}

TEST(SimBroadcast, ToneAlternationsAndTheTrailer) {
  for (const int ioc : {576, 288}) {
    const BroadcastOptions o{.Ioc = ioc, .PhasingSeconds = 1};
    const Bytes bytes = MakeBroadcast(Flat(10, 4, 128), o);
    const Section start = Find(o, 4, SectionKind::Start);
    ASSERT_EQ(start.EndSample, 36000u);
    // Black and white halves of 300 or 675 Hz from the first sample; the stop at 450 Hz.
    for (std::size_t i = 0; i < start.EndSample; ++i)
      ASSERT_EQ(bytes[i], (i * 2 * (ioc == 576 ? 300 : 675) / 7200) % 2 ? White : Black) << i;
    const std::size_t stop = Find(o, 4, SectionKind::Stop).FirstSample + 1000;
    int edges = 0;
    for (std::size_t i = stop; i < stop + 3600; ++i) edges += bytes[i] != bytes[i + 1];
    EXPECT_EQ(edges, 450);
    EXPECT_EQ(bytes.size() - Find(o, 4, SectionKind::Trailer).FirstSample, 14400u);
    EXPECT_EQ(bytes.back(), Black);
  }
}

TEST(SimBroadcast, PhasingPulsesAtEachDrumSpeed) {
  for (const int lpm : {60, 90, 120, 180, 240}) {
    SCOPED_TRACE(lpm);
    const BroadcastOptions o{.Lpm = lpm};
    const Bytes bytes = MakeBroadcast(Flat(10, 2, 128), o);
    const Section p = Find(o, 2, SectionKind::Phasing);
    const std::size_t line = 432000 / lpm, pulse = line / 40;  // 2.5 % of the line
    ASSERT_EQ(std::tuple(p.Lines, p.FirstSample, p.EndSample - p.FirstSample),
              std::tuple(lpm / 2, 36000u, lpm / 2 * line));
    // White runs: half pulses at the ends, whole ones centred on the line boundaries.
    std::vector<std::pair<std::size_t, std::size_t>> runs;  // start, length
    for (std::size_t i = p.FirstSample; i < p.EndSample; ++i) {
      if (bytes[i] != White) continue;
      if (runs.empty() || runs.back().first + runs.back().second != i) runs.push_back({i, 0});
      ++runs.back().second;
    }
    ASSERT_EQ(runs.size(), static_cast<std::size_t>(p.Lines) + 1);
    for (std::size_t k = 0; k < runs.size(); ++k) {
      const std::size_t at = p.FirstSample + k * line, from = k == 0 ? at : at - pulse;
      EXPECT_EQ(runs[k], std::pair(from, std::min(at + pulse, p.EndSample) - from)) << k;
    }
  }
  BroadcastOptions o{.PhasingSeconds = 10.3};  // 20.6 lines at 120 LPM
  EXPECT_EQ(Find(o, 1, SectionKind::Phasing).Lines, 21);
  o = {.DataRate = 5236, .Lpm = 90, .StartSeconds = 0.37, .PhasingSeconds = 10.3};  // 15 lines
  const Section picture = Find(o, 100, SectionKind::Picture);
  EXPECT_DOUBLE_EQ(picture.StartPosition, 0.37 * 5236 + 15 * 5236 * 60.0 / 90);
  EXPECT_EQ(picture.FirstSample, Find(o, 100, SectionKind::Phasing).EndSample);
  // 100 lines of 3490.67 samples.
  EXPECT_NEAR(static_cast<double>(picture.EndSample - picture.FirstSample), 349066.7, 1);
}

TEST(SimBroadcast, PictureLinesAcrossTheLine) {
  // Left half black, right half white; a 2-pixel picture is resampled to the same line.
  GreyImage halves = Flat(1810, 2, 255);
  std::fill(halves.Pixels.begin(), halves.Pixels.begin() + 905, 0);
  for (const int lpm : {60, 240}) {
    const BroadcastOptions o{.Lpm = lpm};
    const Bytes bytes = MakeBroadcast(halves, o);
    EXPECT_EQ(bytes, MakeBroadcast(GreyImage{2, 2, {0, 255, 255, 255}}, o)) << lpm;
    const Section picture = Find(o, 2, SectionKind::Picture);
    const std::size_t line = 432000 / lpm;
    ASSERT_EQ(picture.EndSample - picture.FirstSample, 2 * line);
    for (std::size_t i = 0; i < 2 * line; ++i)
      ASSERT_EQ(bytes[picture.FirstSample + i], i < line / 2 ? Black : White) << lpm << " " << i;
  }
  // Each column shows the source column under its centre: of three, 603..1206 are the middle.
  const Bytes thirds = MakeBroadcast(GreyImage{3, 1, {0, 51, 0}}, {});
  const std::size_t first = Find({}, 1, SectionKind::Picture).FirstSample;
  auto column = [&](int c) { return +thirds[first + (c * 3600 + 1809) / 1810]; };
  // Grey 51: 1660 Hz, 460 * 255 / 1100 = 106.6.
  EXPECT_EQ(std::tuple(column(602), column(603), column(1206), column(1207)),
            std::tuple(Black, 107, 107, Black));

  // IOC 288 sends rows 0, 2 and 4 only: the white rows 1 and 3 never go out.
  GreyImage rows = Flat(4, 5, 0);
  std::fill(rows.Pixels.begin() + 4, rows.Pixels.begin() + 8, 255);
  std::fill(rows.Pixels.begin() + 12, rows.Pixels.begin() + 16, 255);
  const BroadcastOptions o{.Ioc = 288};
  const Section sent = Find(o, 5, SectionKind::Picture);
  ASSERT_EQ(sent.EndSample - sent.FirstSample, 3 * 3600u);
  const Bytes bytes = MakeBroadcast(rows, o);
  EXPECT_EQ(std::count(bytes.begin() + sent.FirstSample, bytes.begin() + sent.EndSample, Black),
            3 * 3600);
}

TEST(SimBroadcast, ClockErrorLeadInMistuningAndRepeats) {
  EXPECT_EQ(BroadcastStream(Flat(8, 20, 0), {}).TotalSamples(), (5 + 30 + 10 + 5 + 2) * 7200u);
  for (const double ppm : {500.0, -300.0}) {
    const BroadcastOptions o{.ClockErrorPpm = ppm};
    EXPECT_NEAR(static_cast<double>(BroadcastStream(Flat(8, 20, 0), o).TotalSamples()),
                52 * 7200 * (1 + ppm * 1e-6), 1);
    const Section phasing = Find(o, 20, SectionKind::Phasing);
    EXPECT_NEAR(static_cast<double>(phasing.EndSample - phasing.FirstSample),
                60 * 3600 * (1 + ppm * 1e-6), 1);
  }
  // 1900 + 100 Hz: 185.5.
  const Bytes bytes =
      MakeBroadcast(Flat(4, 4, 255), {.LeadSeconds = 1.5, .MistuneHz = 100, .Repeat = 2});
  const std::size_t one = (1.5 + 5 + 30 + 2 + 5 + 2) * 7200;
  ASSERT_EQ(bytes.size(), 2 * one);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + one, bytes.begin() + one));
  EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + 10800, 185), 10800);
  EXPECT_EQ(bytes[10800], FrequencyToByte(1600, 0, 255));  // the start tone's black, mistuned
}

TEST(SimBroadcast, NoiseIsSeededAndHasItsSpread) {
  BroadcastOptions o{.LeadSeconds = 5, .NoiseHz = 50, .Seed = 7};
  const Bytes first = MakeBroadcast(Flat(4, 4, 128), o);
  EXPECT_EQ(first, MakeBroadcast(Flat(4, 4, 128), o));
  o.Seed = 8;
  EXPECT_NE(first, MakeBroadcast(Flat(4, 4, 128), o));
  // 50 Hz is 11.6 steps at 0..255 about the lead-in's 1900 Hz, 162.3.
  double sum = 0, squares = 0;
  for (std::size_t i = 0; i < 36000; ++i) sum += first[i], squares += first[i] * first[i];
  EXPECT_NEAR(sum / 36000, 162.3, 0.3);
  EXPECT_NEAR(std::sqrt(squares / 36000 - sum * sum / 36000 / 36000), 11.6, 0.4);
}

TEST(SimBroadcast, StreamedPiecesMakeTheWholeStream) {
  const BroadcastOptions o{.PhasingSeconds = 3, .NoiseHz = 20, .ClockErrorPpm = 77};
  BroadcastStream stream(Flat(100, 6, 90), o);
  Bytes pieces;
  std::uint8_t buffer[5000];
  for (std::size_t size = 1, count = 1; stream.Next(buffer, count); count = size) {
    ASSERT_LE(count, size);
    pieces.insert(pieces.end(), buffer, buffer + count);
    size = size * 3 % 4999 + 1;
  }
  EXPECT_EQ(pieces, MakeBroadcast(Flat(100, 6, 90), o));
  std::size_t count = 10;
  EXPECT_FALSE(stream.Next(buffer, count));
  EXPECT_EQ(count, 0u);
  EXPECT_THROW(BroadcastStream(Flat(4, 4, 0), {.Ioc = 300}), std::invalid_argument);
}

}  // namespace
}  // namespace zarvo::sim
