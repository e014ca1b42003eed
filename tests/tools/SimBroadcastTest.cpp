// The simulated interface's bytes, worked out by hand, and the picture files it takes: PGM and
// BMP variants, and broken files of every kind (an error, never a crash).
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "sim/Broadcast.h"
#include "support/BmpBytes.h"

namespace zarvo::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;
using test::InfoFile, test::Patched;
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

// 1500 Hz: 300 * 255 / 1100 = 69.5, halves up; 1900 Hz at 28..184: 28 + 99.3; only 0..255
// bounds a byte, not the calibration.
TEST(SimBroadcast, CalibrationRoundsAndClamps) {
  EXPECT_EQ(std::tuple(+FrequencyToByte(1500, 0, 255), +FrequencyToByte(1900, 28, 184),
                       +FrequencyToByte(2700, 28, 184), +FrequencyToByte(2700, 0, 255),
                       +FrequencyToByte(1000, 28, 184), +FrequencyToByte(NAN, 0, 255)),
            std::tuple(70, 127, 241, 255, 0, 0));
}

// Each section's bytes at each drum speed and both IOC values.
TEST(SimBroadcast, TonesPhasingAndPictureLines) {
  // Left half black, right half white.
  GreyImage halves = Flat(1810, 2, 255);
  std::fill(halves.Pixels.begin(), halves.Pixels.begin() + 905, 0);
  for (const auto& [lpm, ioc] :
       {std::pair(60, 576), {90, 288}, {120, 576}, {180, 576}, {240, 288}}) {
    SCOPED_TRACE(testing::Message() << lpm << " LPM, IOC " << ioc);
    const BroadcastOptions o{.Lpm = lpm, .Ioc = ioc};
    const Bytes bytes = MakeBroadcast(halves, o);
    const Section start = Find(o, 2, SectionKind::Start), p = Find(o, 2, SectionKind::Phasing);
    // Black and white halves of 300 or 675 Hz from the first sample.
    ASSERT_EQ(start.EndSample, 36000u);
    for (std::size_t i = 0; i < start.EndSample; ++i)
      ASSERT_EQ(bytes[i], (i * 2 * (ioc == 576 ? 300 : 675) / 7200) % 2 ? White : Black) << i;
    // Phasing: white within 2.5 % of a line of each line boundary (half pulses at the ends).
    const std::size_t line = 432000 / lpm, pulse = line / 40;
    ASSERT_EQ(std::tuple(p.Lines, p.FirstSample, p.EndSample - p.FirstSample),
              std::tuple(lpm / 2, 36000u, lpm / 2 * line));
    for (std::size_t i = p.FirstSample; i < p.EndSample; ++i) {
      const std::size_t off = (i - p.FirstSample) % line;
      ASSERT_EQ(bytes[i], off < pulse || off >= line - pulse ? White : Black) << i;
    }
    // The first row half black, the second white; IOC 288 sends only the first.
    const Section picture = Find(o, 2, SectionKind::Picture);
    const std::size_t rows = ioc == 576 ? 2 : 1;
    ASSERT_EQ(std::tuple(picture.FirstSample, picture.EndSample - picture.FirstSample),
              std::tuple(p.EndSample, rows * line));
    for (std::size_t i = 0; i < rows * line; ++i)
      ASSERT_EQ(bytes[picture.FirstSample + i], i < line / 2 ? Black : White) << i;
    // The stop at 450 Hz; the trailer two seconds of black.
    const std::size_t stop = Find(o, 2, SectionKind::Stop).FirstSample + 1000;
    int edges = 0;
    for (std::size_t i = stop; i < stop + 3600; ++i) edges += bytes[i] != bytes[i + 1];
    EXPECT_EQ(edges, 450);
    EXPECT_EQ(bytes.size() - Find(o, 2, SectionKind::Trailer).FirstSample, 14400u);
    EXPECT_EQ(bytes.back(), Black);
  }
  BroadcastOptions o{.PhasingSeconds = 10.3};  // 20.6 lines at 120 LPM
  EXPECT_EQ(Find(o, 1, SectionKind::Phasing).Lines, 21);
  o = {.DataRate = 5236, .Lpm = 90, .StartSeconds = 0.37, .PhasingSeconds = 10.3};  // 15 lines
  const Section picture = Find(o, 100, SectionKind::Picture);
  EXPECT_DOUBLE_EQ(picture.StartPosition, 0.37 * 5236 + 15 * 5236 * 60.0 / 90);
  // 100 lines of 3490.67 samples.
  EXPECT_NEAR(static_cast<double>(picture.EndSample - picture.FirstSample), 349066.7, 1);
  // Each column shows the source column under its centre: of three, 603..1206 are the middle.
  const Bytes thirds = MakeBroadcast(GreyImage{3, 1, {0, 51, 0}}, {});
  const std::size_t first = Find({}, 1, SectionKind::Picture).FirstSample;
  auto column = [&](int c) { return +thirds[first + (c * 3600 + 1809) / 1810]; };
  // Grey 51: 1660 Hz, 460 * 255 / 1100 = 106.6.
  EXPECT_EQ(std::tuple(column(602), column(603), column(1206), column(1207)),
            std::tuple(Black, 107, 107, Black));
}

TEST(SimBroadcast, ClockErrorLeadInMistuningRepeatsNoiseAndPieces) {
  for (const double ppm : {500.0, -300.0}) {
    const BroadcastOptions o{.ClockErrorPpm = ppm};
    EXPECT_NEAR(static_cast<double>(BroadcastStream(Flat(8, 20, 0), o).TotalSamples()),
                52 * 7200 * (1 + ppm * 1e-6), 1);
    const Section phasing = Find(o, 20, SectionKind::Phasing);
    EXPECT_NEAR(static_cast<double>(phasing.EndSample - phasing.FirstSample),
                60 * 3600 * (1 + ppm * 1e-6), 1);
  }
  // A lead-in of 1800 + 100 Hz: 162.3.
  const Bytes bytes = MakeBroadcast(
      Flat(4, 4, 255), {.LeadSeconds = 1.5, .LeadHz = 1800, .MistuneHz = 100, .Repeat = 2});
  const std::size_t one = (1.5 + 5 + 30 + 2 + 5 + 2) * 7200;
  ASSERT_EQ(bytes.size(), 2 * one);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + one, bytes.begin() + one));
  EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + 10800, 162), 10800);
  EXPECT_EQ(bytes[10800], FrequencyToByte(1600, 0, 255));  // the start tone's black, mistuned

  // Noise is seeded (the same seed's stream again: the pieces below).
  BroadcastOptions o{.LeadSeconds = 5, .NoiseHz = 50, .Seed = 7};
  const Bytes first = MakeBroadcast(Flat(4, 4, 128), o);
  EXPECT_NE(first, MakeBroadcast(Flat(4, 4, 128), {.LeadSeconds = 5, .NoiseHz = 50, .Seed = 8}));
  // 50 Hz is 11.6 steps at 0..255 about the lead-in's 1900 Hz, 162.3.
  double sum = 0, squares = 0;
  for (std::size_t i = 0; i < 36000; ++i) sum += first[i], squares += first[i] * first[i];
  EXPECT_NEAR(sum / 36000, 162.3, 0.3);
  EXPECT_NEAR(std::sqrt(squares / 36000 - sum * sum / 36000 / 36000), 11.6, 0.4);

  // Pieces of any size make the whole stream.
  o = {.PhasingSeconds = 3, .NoiseHz = 20, .ClockErrorPpm = 77};
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
  EXPECT_TRUE(!stream.Next(buffer, count) && count == 0);
  EXPECT_THROW(BroadcastStream(Flat(4, 4, 0), {.Ioc = 300}), std::invalid_argument);
}

const auto Text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };

// 3x2 bottom-up, rows padded to 4 bytes; colours black, pure red (grey 76), white.
Bytes PalettedBmp() {
  return InfoFile(3, 2, 8, 0, 3, {0, 0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0},
                  {2, 2, 2, 0, 0, 1, 2, 0});
}

Bytes Decoded(const Bytes& bytes) {
  GreyImage image;
  std::string error;
  EXPECT_TRUE(DecodePicture(bytes, "pic", image, error)) << error;
  return image.Pixels;
}

TEST(SimPicture, ReadsPgmAndBmpVariantsAndRefusesBrokenFilesNeverACrash) {
  EXPECT_EQ(Decoded(Text("P5\n# by hand\n3 2\n255\n\x00\x10\x20\x30\x40\xff"s)),
            (Bytes{0, 0x10, 0x20, 0x30, 0x40, 0xff}));
  EXPECT_EQ(Decoded(Text("P5 2 1 15 \x07\x0f"s)), (Bytes{119, 255}));  // stretched to 0..255
  EXPECT_EQ(Decoded(Text("P2\n2 2 # size\n1000\n0 500\n1000 # end\n   250\n"s)),
            (Bytes{0, 128, 255, 64}));
  EXPECT_EQ(Decoded(PalettedBmp()), (Bytes{0, 76, 255, 255, 255, 255}));
  // Top-down 24-bit, rows of 6 bytes padded to 8: blue, green / red, white.
  EXPECT_EQ(Decoded(InfoFile(2, -2, 24, 0, 0, {},
                             {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255})),
            (Bytes{29, 149, 76, 255}));  // the last row's padding may be left out
  // (30*299 + 20*587 + 10*114) / 1000 = 21.
  EXPECT_EQ(Decoded(InfoFile(2, 1, 32, 0, 0, {}, {10, 20, 30, 0, 200, 200, 200, 255})),
            (Bytes{21, 200}));

  std::vector<Bytes> cases;
  for (const std::string& pgm :
       {""s, "P5"s, "GIF89a\x01\x00\x01\x00"s, "P6 1 1 255 \x01\x02\x03"s, "P5\n"s, "P5 3x 2 255 "s,
        "P5 0 2 255 "s, "P5 30000 30000 255 \x00"s, "P5 10000000000 1 255 \x00"s, "P5 1 1 0 \x00"s,
        "P5 1 1 65535 \x00\x00"s, "P5 4 4 255 \x01\x02\x03"s, "P2 2 1 100 50 101"s,
        "P2 2 2 255 1 2 3"s, "P2 2 1 255 1 x"s, "BM"s})
    cases.push_back(Text(pgm));
  // Header fields of the good BMP set to: an offset past the end and one into the palette, an
  // unknown header size, sizes too wide, negative, zero, INT32_MIN and too tall for the data,
  // 16 bits, run-length coding, 1000 colours, and two colours when colour 2 is used.
  const std::pair<std::size_t, std::int64_t> fields[] = {
      {10, 5000},       {10, 60}, {14, 64}, {18, 20001}, {18, 0xfffffffd}, {22, 0},
      {22, 0x80000000}, {22, 3},  {28, 16}, {30, 1},     {46, 1000},       {46, 2}};
  for (const auto& [at, value] : fields)
    cases.push_back(Patched(PalettedBmp(), at, static_cast<std::uint32_t>(value)));
  for (const std::size_t size : {30, 69}) cases.emplace_back(PalettedBmp()).resize(size);

  GreyImage image;
  std::string error;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    image = {7, 7, {}};
    // Refused with a message naming the file, the picture untouched.
    EXPECT_TRUE(!DecodePicture(cases[i], "pic.x", image, error) && error.rfind("pic.x: ", 0) == 0 &&
                error.size() > 12 && image.Width == 7)
        << i << ": " << error;
  }

  // Every cut and many random corruptions of good files: an error or a picture, nothing else.
  const Bytes good[] = {PalettedBmp(), InfoFile(5, -3, 24, 0, 0, {}, Bytes(48, 9)),
                        InfoFile(4, 2, 32, 0, 0, {}, Bytes(32, 7)), Text("P5 3 2 255 abcdef"s),
                        Text("P2 2 2 9 1 2 3 9"s)};
  std::mt19937 random(3);
  for (const Bytes& file : good) {
    for (std::size_t size = 0; size < file.size(); ++size)
      DecodePicture(Bytes(file.begin(), file.begin() + size), "cut", image, error);
    for (int round = 0; round < 3000; ++round) {
      Bytes b = file;
      for (int flips = 1 + round % 4; flips > 0; --flips)
        b[random() % b.size()] = static_cast<std::uint8_t>(random());
      const bool read = DecodePicture(b, "flip", image, error);
      ASSERT_TRUE(!read ||
                  image.Pixels.size() == std::size_t(image.Width) * std::size_t(image.Height));
    }
  }
}

}  // namespace
}  // namespace zarvo::sim
