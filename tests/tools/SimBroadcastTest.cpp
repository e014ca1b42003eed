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

TEST(SimBroadcast, CalibrationAndGrey) {
  // 1500 Hz: 300 * 255 / 1100 = 69.5; 1900 Hz: 162.3. At 28..184: 28 + 42.5, 28 + 99.3.
  const double hz[] = {1200, 1500, 1900, 2300, 2700, 1000};
  const int full[] = {0, 70, 162, 255, 255, 0}, narrow[] = {28, 71, 127, 184, 241, 0};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(FrequencyToByte(hz[i], 0, 255), full[i]) << hz[i];
    EXPECT_EQ(FrequencyToByte(hz[i], 28, 184), narrow[i]) << hz[i];  // only 0..255 bounds it
  }
  EXPECT_EQ(FrequencyToByte(NAN, 0, 255), 0);
  EXPECT_DOUBLE_EQ(GreyToFrequency(0), 1500);
  EXPECT_DOUBLE_EQ(GreyToFrequency(51), 1660);
  EXPECT_DOUBLE_EQ(GreyToFrequency(255), 2300);
}

TEST(SimBroadcast, ToneEdgesPerHalfSecond) {
  auto edges = [](const Bytes& b, std::size_t from) {
    int n = 0;
    for (std::size_t i = from; i < from + 3600; ++i) n += b[i] != b[i + 1];
    return n;
  };
  for (const int ioc : {576, 288}) {
    BroadcastOptions o;
    o.Ioc = ioc;
    o.PhasingSeconds = 1;
    const Bytes bytes = MakeBroadcast(Flat(10, 4, 128), o);
    const Section start = Find(o, 4, SectionKind::Start);
    EXPECT_EQ(start.EndSample - start.FirstSample, 36000u);
    EXPECT_EQ(edges(bytes, 1000), ioc == 576 ? 300 : 675) << ioc;
    EXPECT_EQ(edges(bytes, Find(o, 4, SectionKind::Stop).FirstSample + 1000), 450) << ioc;
    for (std::size_t i = 0; i < start.EndSample; ++i)
      ASSERT_EQ(bytes[i], (i * 2 * (ioc == 576 ? 300 : 675) / 7200) % 2 ? White : Black) << i;
    EXPECT_EQ(bytes.size() - Find(o, 4, SectionKind::Trailer).FirstSample, 14400u);
    EXPECT_EQ(bytes.back(), Black);
  }
}

TEST(SimBroadcast, PhasingPulsesAtEachDrumSpeed) {
  for (const int lpm : {60, 90, 120, 180, 240}) {
    BroadcastOptions o;
    o.Lpm = lpm;
    const Bytes bytes = MakeBroadcast(Flat(10, 2, 128), o);
    const Section phasing = Find(o, 2, SectionKind::Phasing);
    const std::size_t line = 432000 / lpm, pulse = line / 40;  // 2.5 % of the line
    ASSERT_EQ(phasing.Lines, 30 * lpm / 60);
    ASSERT_EQ(phasing.FirstSample, 36000u);
    ASSERT_EQ(phasing.EndSample - phasing.FirstSample, phasing.Lines * line);
    // White runs (start, length): half pulses at the ends, whole ones centred on the boundaries.
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t i = phasing.FirstSample; i < phasing.EndSample; ++i) {
      if (bytes[i] != White) continue;
      if (runs.empty() || runs.back().first + runs.back().second != i) runs.push_back({i, 0});
      ++runs.back().second;
    }
    ASSERT_EQ(runs.size(), static_cast<std::size_t>(phasing.Lines) + 1) << lpm;
    EXPECT_EQ(runs.front(), std::make_pair(phasing.FirstSample, pulse)) << lpm;
    EXPECT_EQ(runs.back(), std::make_pair(phasing.EndSample - pulse, pulse)) << lpm;
    for (std::size_t k = 1; k + 1 < runs.size(); ++k)
      EXPECT_EQ(runs[k], std::make_pair(phasing.FirstSample + k * line - pulse, 2 * pulse));
  }
  BroadcastOptions o;
  o.PhasingSeconds = 10.3;  // 20.6 lines at 120 LPM
  EXPECT_EQ(Find(o, 1, SectionKind::Phasing).Lines, 21);
  o.DataRate = 5236;  // 3490.67 samples a line at 90 LPM
  o.Lpm = 90;
  o.StartSeconds = 0.37;
  const Section picture = Find(o, 100, SectionKind::Picture);
  EXPECT_DOUBLE_EQ(picture.StartPosition, 0.37 * 5236 + 15 * 5236 * 60.0 / 90);
  EXPECT_EQ(picture.FirstSample, Find(o, 100, SectionKind::Phasing).EndSample);
  EXPECT_NEAR(static_cast<double>(picture.EndSample - picture.FirstSample), 349066.7, 1);
}

TEST(SimBroadcast, PictureLinesAcrossTheLine) {
  // Left half black, right half white; a 2-pixel picture is resampled to the same line.
  GreyImage halves = Flat(1810, 2, 255);
  std::fill(halves.Pixels.begin(), halves.Pixels.begin() + 905, 0);
  for (const int lpm : {60, 120, 240}) {
    BroadcastOptions o;
    o.Lpm = lpm;
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
  auto column = [&](int c) { return thirds[first + (c * 3600 + 1809) / 1810]; };
  EXPECT_EQ(column(602), Black);
  EXPECT_EQ(column(603), 107);  // grey 51: 1660 Hz, 460 * 255 / 1100 = 106.6
  EXPECT_EQ(column(1206), 107);
  EXPECT_EQ(column(1207), Black);
}

TEST(SimBroadcast, Ioc288SendsEveryOtherRow) {
  GreyImage rows = Flat(4, 5, 0);
  std::fill(rows.Pixels.begin() + 4, rows.Pixels.begin() + 8, 255);  // rows 1 and 3 white
  std::fill(rows.Pixels.begin() + 12, rows.Pixels.begin() + 16, 255);
  BroadcastOptions o;
  o.Ioc = 288;
  const Section picture = Find(o, 5, SectionKind::Picture);
  ASSERT_EQ(picture.EndSample - picture.FirstSample, 3 * 3600u);
  const Bytes bytes = MakeBroadcast(rows, o);
  for (std::size_t i = picture.FirstSample; i < picture.EndSample; ++i) ASSERT_EQ(bytes[i], Black);
}

TEST(SimBroadcast, ClockErrorStretchesTheStream) {
  BroadcastOptions o;
  EXPECT_EQ(BroadcastStream(Flat(8, 20, 0), o).TotalSamples(), (5 + 30 + 10 + 5 + 2) * 7200u);
  for (const double ppm : {500.0, -300.0}) {
    o.ClockErrorPpm = ppm;
    const BroadcastStream stream(Flat(8, 20, 0), o);
    EXPECT_NEAR(static_cast<double>(stream.TotalSamples()), 52 * 7200 * (1 + ppm * 1e-6), 1);
    const Section phasing = Find(o, 20, SectionKind::Phasing);
    EXPECT_NEAR(static_cast<double>(phasing.EndSample - phasing.FirstSample),
                60 * 3600 * (1 + ppm * 1e-6), 1);
  }
}

TEST(SimBroadcast, NoiseIsSeededAndHasItsSpread) {
  BroadcastOptions o;
  o.LeadSeconds = 5;
  o.NoiseHz = 50;
  o.Seed = 7;
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

TEST(SimBroadcast, LeadInMistuningAndRepeats) {
  BroadcastOptions o;
  o.LeadSeconds = 1.5;
  o.MistuneHz = 100;  // 1900 + 100 Hz: 185.5
  o.Repeat = 2;
  const Bytes bytes = MakeBroadcast(Flat(4, 4, 255), o);
  const std::size_t one = (1.5 + 5 + 30 + 2 + 5 + 2) * 7200;
  ASSERT_EQ(bytes.size(), 2 * one);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + one, bytes.begin() + one));
  EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + 10800, 185), 10800);
  EXPECT_EQ(bytes[10800], FrequencyToByte(1600, 0, 255));  // the start tone's black, mistuned
}

TEST(SimBroadcast, StreamedPiecesMakeTheWholeStream) {
  BroadcastOptions o;
  o.NoiseHz = 20;
  o.ClockErrorPpm = 77;
  o.PhasingSeconds = 3;
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
  o.Ioc = 300;
  EXPECT_THROW(BroadcastStream(Flat(4, 4, 0), o), std::invalid_argument);
}

}  // namespace
}  // namespace zarvo::sim
