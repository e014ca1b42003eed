// The simulated interface's bytes: calibration, the tones' edges, the phasing pulses, the picture
// lines' timing at each drum speed, IOC 288, clock error, noise and the streamed pieces.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "sim/Broadcast.h"

namespace zarvo::sim {
namespace {

constexpr std::uint8_t Black = 70;  // 1500 Hz at calibration 0..255
constexpr std::uint8_t White = 255;

const Section& Find(const std::vector<Section>& sections, SectionKind kind, int repetition = 0) {
  for (const Section& s : sections)
    if (s.Kind == kind && s.Repetition == repetition) return s;
  throw std::logic_error("no such section");
}

GreyImage Flat(int width, int height, std::uint8_t grey) {
  return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, grey)};
}

int Edges(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
  int edges = 0;
  for (std::size_t i = from; i < from + count; ++i) edges += bytes[i] != bytes[i + 1];
  return edges;
}

TEST(SimBroadcast, CalibrationAndGrey) {
  // 1500 Hz: 300 * 255 / 1100 = 69.5; 1900 Hz: 162.3. At 28..184: 28 + 42.5, 28 + 99.3.
  EXPECT_EQ(FrequencyToByte(1500, 0, 255), 70);
  EXPECT_EQ(FrequencyToByte(1900, 0, 255), 162);
  EXPECT_EQ(FrequencyToByte(2300, 0, 255), 255);
  EXPECT_EQ(FrequencyToByte(1200, 0, 255), 0);
  EXPECT_EQ(FrequencyToByte(1500, 28, 184), 71);
  EXPECT_EQ(FrequencyToByte(1900, 28, 184), 127);
  EXPECT_EQ(FrequencyToByte(2300, 28, 184), 184);
  EXPECT_EQ(FrequencyToByte(1200, 36, 236), 36);
  // Outside 1200..2300 Hz the line goes on and only 0..255 bounds it.
  EXPECT_EQ(FrequencyToByte(2700, 28, 184), 241);
  EXPECT_EQ(FrequencyToByte(1000, 28, 184), 0);
  EXPECT_EQ(FrequencyToByte(3000, 0, 255), 255);
  EXPECT_EQ(FrequencyToByte(NAN, 0, 255), 0);
  EXPECT_DOUBLE_EQ(GreyToFrequency(0), 1500);
  EXPECT_DOUBLE_EQ(GreyToFrequency(51), 1660);
  EXPECT_DOUBLE_EQ(GreyToFrequency(255), 2300);
}

TEST(SimBroadcast, ToneEdgesPerHalfSecond) {
  for (const int ioc : {576, 288}) {
    BroadcastOptions o;
    o.Ioc = ioc;
    o.PhasingSeconds = 1;
    const auto bytes = MakeBroadcast(Flat(10, 4, 128), o);
    const auto sections = BroadcastLayout(4, o);
    const Section& start = Find(sections, SectionKind::Start);
    const Section& stop = Find(sections, SectionKind::Stop);
    EXPECT_EQ(start.EndSample - start.FirstSample, 36000u);
    EXPECT_EQ(Edges(bytes, start.FirstSample + 1000, 3600), ioc == 576 ? 300 : 675) << ioc;
    EXPECT_EQ(Edges(bytes, stop.FirstSample + 1000, 3600), 450) << ioc;
    for (std::size_t i = start.FirstSample; i < start.EndSample; ++i)
      ASSERT_TRUE(bytes[i] == Black || bytes[i] == White) << i;
    EXPECT_EQ(bytes[start.FirstSample], Black);  // a cycle is black first
    const Section& trailer = Find(sections, SectionKind::Trailer);
    EXPECT_EQ(trailer.EndSample - trailer.FirstSample, 14400u);
    EXPECT_EQ(bytes.back(), Black);
  }
}

TEST(SimBroadcast, PhasingPulsesAtEachDrumSpeed) {
  for (const int lpm : {60, 90, 120, 180, 240}) {
    BroadcastOptions o;
    o.Lpm = lpm;
    const auto bytes = MakeBroadcast(Flat(10, 2, 128), o);
    const Section& phasing = Find(BroadcastLayout(2, o), SectionKind::Phasing);
    const std::size_t line = 432000 / lpm;  // samples per line at 7200/s
    const std::size_t pulse = line / 40;    // 2.5 % of the line
    ASSERT_EQ(phasing.Lines, 30 * lpm / 60);
    ASSERT_EQ(phasing.FirstSample, 36000u);
    ASSERT_EQ(phasing.EndSample - phasing.FirstSample, phasing.Lines * line);
    // White runs: a half pulse at each end, full pulses centred on the boundaries between.
    std::vector<std::pair<std::size_t, std::size_t>> runs;  // start, length
    for (std::size_t i = phasing.FirstSample; i < phasing.EndSample; ++i) {
      if (bytes[i] != White) {
        ASSERT_EQ(bytes[i], Black);
      } else if (runs.empty() || runs.back().first + runs.back().second != i) {
        runs.push_back({i, 1});
      } else {
        ++runs.back().second;
      }
    }
    ASSERT_EQ(runs.size(), static_cast<std::size_t>(phasing.Lines) + 1) << lpm;
    EXPECT_EQ(runs.front(), std::make_pair(phasing.FirstSample, pulse)) << lpm;
    EXPECT_EQ(runs.back().first + runs.back().second, phasing.EndSample) << lpm;
    for (std::size_t k = 1; k < runs.size() - 1; ++k) {
      EXPECT_EQ(runs[k].second, 2 * pulse) << lpm;
      EXPECT_EQ(runs[k].first + pulse, phasing.FirstSample + k * line) << lpm << " " << k;
    }
  }
}

TEST(SimBroadcast, PhasingRoundsToWholeLinesAndPictureFollowsOnABoundary) {
  BroadcastOptions o;
  o.PhasingSeconds = 10.3;  // 20.6 lines at 120 LPM
  EXPECT_EQ(Find(BroadcastLayout(1, o), SectionKind::Phasing).Lines, 21);
  o.PhasingSeconds = 10.2;
  EXPECT_EQ(Find(BroadcastLayout(1, o), SectionKind::Phasing).Lines, 20);

  o.DataRate = 5236;
  o.Lpm = 90;  // 3490.67 samples a line
  o.StartSeconds = 0.37;
  const auto sections = BroadcastLayout(100, o);
  const Section& phasing = Find(sections, SectionKind::Phasing);
  const Section& picture = Find(sections, SectionKind::Picture);
  EXPECT_DOUBLE_EQ(picture.StartPosition, 0.37 * 5236 + 15 * 5236 * 60.0 / 90);
  EXPECT_EQ(picture.FirstSample, phasing.EndSample);
  EXPECT_NEAR(static_cast<double>(picture.EndSample - picture.FirstSample), 100 * 3490.667, 1);
}

TEST(SimBroadcast, PictureLinesAcrossTheLine) {
  // Left half black, right half white; a 2-pixel picture is resampled to the same line.
  GreyImage halves = Flat(1810, 2, 255);
  for (int x = 0; x < 905; ++x) halves.Pixels[x] = 0;
  const GreyImage tiny{2, 2, {0, 255, 255, 255}};
  for (const int lpm : {60, 120, 240}) {
    BroadcastOptions o;
    o.Lpm = lpm;
    const auto bytes = MakeBroadcast(halves, o);
    EXPECT_EQ(bytes, MakeBroadcast(tiny, o)) << lpm;
    const Section& picture = Find(BroadcastLayout(2, o), SectionKind::Picture);
    const std::size_t line = 432000 / lpm;
    ASSERT_EQ(picture.EndSample - picture.FirstSample, 2 * line);
    for (std::size_t i = 0; i < 2 * line; ++i)
      ASSERT_EQ(bytes[picture.FirstSample + i], i < line / 2 ? Black : White) << lpm << " " << i;
  }
  // Grey 51 is 1660 Hz: 460 * 255 / 1100 = 106.6.
  const auto grey = MakeBroadcast(Flat(3, 1, 51), {});
  EXPECT_EQ(grey[Find(BroadcastLayout(1, {}), SectionKind::Picture).FirstSample + 100], 107);
}

TEST(SimBroadcast, Ioc288SendsEveryOtherRow) {
  GreyImage rows = Flat(4, 5, 255);
  for (int y = 0; y < 5; y += 2)
    for (int x = 0; x < 4; ++x) rows.Pixels[y * 4 + x] = 0;  // rows 0, 2, 4 black
  BroadcastOptions o;
  o.Ioc = 288;
  const Section& picture = Find(BroadcastLayout(5, o), SectionKind::Picture);
  EXPECT_EQ(picture.Lines, 3);
  const auto bytes = MakeBroadcast(rows, o);
  ASSERT_EQ(picture.EndSample - picture.FirstSample, 3 * 3600u);
  for (std::size_t i = picture.FirstSample; i < picture.EndSample; ++i) ASSERT_EQ(bytes[i], Black);
  EXPECT_EQ(PictureLines(6, 288), 3);
  EXPECT_EQ(PictureLines(6, 576), 6);
}

TEST(SimBroadcast, ClockErrorStretchesTheStream) {
  BroadcastOptions o;
  const std::size_t exact = MakeBroadcast(Flat(8, 20, 0), o).size();
  EXPECT_EQ(exact, (5 + 30 + 10 + 5 + 2) * 7200u);
  for (const double ppm : {500.0, -300.0}) {
    o.ClockErrorPpm = ppm;
    BroadcastStream stream(Flat(8, 20, 0), o);
    EXPECT_NEAR(static_cast<double>(stream.TotalSamples()), exact * (1 + ppm * 1e-6), 1) << ppm;
    const Section& phasing = Find(stream.Sections(), SectionKind::Phasing);
    EXPECT_NEAR(static_cast<double>(phasing.EndSample - phasing.FirstSample),
                60 * 3600 * (1 + ppm * 1e-6), 1);
  }
}

TEST(SimBroadcast, NoiseIsSeededAndHasItsSpread) {
  BroadcastOptions o;
  o.LeadSeconds = 5;
  o.NoiseHz = 50;
  o.Seed = 7;
  const GreyImage picture = Flat(4, 4, 128);
  const auto first = MakeBroadcast(picture, o);
  EXPECT_EQ(first, MakeBroadcast(picture, o));
  o.Seed = 8;
  EXPECT_NE(first, MakeBroadcast(picture, o));
  // 50 Hz is 11.6 steps at 0..255; the lead-in's 1900 Hz is 162.3.
  double sum = 0, squares = 0;
  for (std::size_t i = 0; i < 36000; ++i) {
    sum += first[i];
    squares += first[i] * first[i];
  }
  const double mean = sum / 36000;
  EXPECT_NEAR(mean, 162.3, 0.3);
  EXPECT_NEAR(std::sqrt(squares / 36000 - mean * mean), 11.6, 0.4);
}

TEST(SimBroadcast, LeadInMistuningAndRepeats) {
  BroadcastOptions o;
  o.LeadSeconds = 1.5;
  o.MistuneHz = 100;  // 1900 + 100 Hz: 181.8 + 3.6 = 185.5
  o.Repeat = 2;
  const auto bytes = MakeBroadcast(Flat(4, 4, 255), o);
  const std::size_t one = (1.5 + 5 + 30 + 2 + 5 + 2) * 7200;
  ASSERT_EQ(bytes.size(), 2 * one);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + one, bytes.begin() + one));
  for (std::size_t i = 0; i < 10800; ++i) ASSERT_EQ(bytes[i], 185);
  EXPECT_EQ(bytes[10800], FrequencyToByte(1600, 0, 255));  // the start tone's black, mistuned
}

TEST(SimBroadcast, StreamedPiecesMakeTheWholeStream) {
  BroadcastOptions o;
  o.NoiseHz = 20;
  o.ClockErrorPpm = 77;
  o.PhasingSeconds = 3;
  const GreyImage picture = Flat(100, 6, 90);
  const auto whole = MakeBroadcast(picture, o);
  BroadcastStream stream(picture, o);
  std::vector<std::uint8_t> pieces;
  std::uint8_t buffer[5000];
  for (std::size_t size = 1;; size = size * 3 % 4999 + 1) {
    std::size_t count = size;
    if (!stream.Next(buffer, count)) {
      EXPECT_EQ(count, 0u);
      break;
    }
    ASSERT_LE(count, size);
    pieces.insert(pieces.end(), buffer, buffer + count);
  }
  EXPECT_EQ(pieces, whole);
  EXPECT_EQ(stream.Position(), stream.TotalSamples());
}

TEST(SimBroadcast, RejectsOptionsThatMakeNoBroadcast) {
  const GreyImage picture = Flat(4, 4, 0);
  auto bad = [&](auto change) {
    BroadcastOptions o;
    change(o);
    EXPECT_FALSE(CheckOptions(o).empty());
    EXPECT_THROW(BroadcastStream(picture, o), std::invalid_argument);
  };
  bad([](BroadcastOptions& o) { o.DataRate = 0; });
  bad([](BroadcastOptions& o) { o.Ioc = 300; });
  bad([](BroadcastOptions& o) { o.Lpm = 0; });
  bad([](BroadcastOptions& o) { o.CalLow = 200, o.CalHigh = 100; });
  bad([](BroadcastOptions& o) { o.StopSeconds = -1; });
  bad([](BroadcastOptions& o) { o.PhasingSeconds = NAN; });
  bad([](BroadcastOptions& o) { o.Repeat = 0; });
  EXPECT_THROW(BroadcastStream(GreyImage{4, 4, {1, 2}}, {}), std::invalid_argument);
}

}  // namespace
}  // namespace zarvo::sim
