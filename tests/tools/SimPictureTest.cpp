// Picture files for the simulator: the PGM and BMP variants it takes, broken files of every kind
// (arbitrary input must end in an error, never a crash), and the built-in chart's layout.
#include <gtest/gtest.h>

#include <random>

#include "sim/Picture.h"

namespace zarvo::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

Bytes Text(const std::string& s) {
  return {s.begin(), s.end()};
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP with a 40-byte header, `height` negative for top-down, then `data` (palette, pixels).
Bytes Bmp(int width, int height, int bits, int colours, const Bytes& data) {
  Bytes b(54 + data.size(), 0);
  std::copy(data.begin(), data.end(), b.begin() + 54);
  b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = static_cast<std::uint8_t>(bits);
  Put32(b, 10, static_cast<std::uint32_t>(54 + 4 * colours));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put32(b, 46, static_cast<std::uint32_t>(colours));
  return b;
}

// 3x2 bottom-up, rows padded to 4 bytes; colours black, pure red (grey 76), white.
Bytes PalettedBmp() {
  return Bmp(3, 2, 8, 3, {0, 0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0, 2, 2, 2, 0, 0, 1, 2, 0});
}

Bytes Decoded(const Bytes& bytes) {
  GreyImage image;
  std::string error;
  EXPECT_TRUE(DecodePicture(bytes, "pic", image, error)) << error;
  return image.Pixels;
}

TEST(SimPicture, ReadsPgmAndBmpVariants) {
  EXPECT_EQ(Decoded(Text("P5\n# by hand\n3 2\n255\n\x00\x10\x20\x30\x40\xff"s)),
            (Bytes{0, 0x10, 0x20, 0x30, 0x40, 0xff}));
  EXPECT_EQ(Decoded(Text("P5 2 1 15 \x07\x0f"s)), (Bytes{119, 255}));  // stretched to 0..255
  EXPECT_EQ(Decoded(Text("P2\n2 2 # size\n1000\n0 500\n1000 # end\n   250\n"s)),
            (Bytes{0, 128, 255, 64}));
  EXPECT_EQ(Decoded(PalettedBmp()), (Bytes{0, 76, 255, 255, 255, 255}));
  // Top-down 24-bit, rows of 6 bytes padded to 8: blue, green / red, white.
  EXPECT_EQ(Decoded(Bmp(2, -2, 24, 0, {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255})),
            (Bytes{29, 149, 76, 255}));  // the last row's padding may be left out
  // (30*299 + 20*587 + 10*114) / 1000 = 21.
  EXPECT_EQ(Decoded(Bmp(2, 1, 32, 0, {10, 20, 30, 0, 200, 200, 200, 255})), (Bytes{21, 200}));
}

TEST(SimPicture, RejectsBrokenFiles) {
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
  const std::pair<std::size_t, std::uint32_t> fields[] = {
      {10, 5000},       {10, 60}, {14, 64}, {18, 20001}, {18, 0xfffffffd}, {22, 0},
      {22, 0x80000000}, {22, 3},  {28, 16}, {30, 1},     {46, 1000},       {46, 2}};
  for (const auto& [at, value] : fields) {
    cases.push_back(PalettedBmp());
    Put32(cases.back(), at, value);
  }
  for (const std::size_t size : {30, 69}) cases.emplace_back(PalettedBmp()).resize(size);

  for (std::size_t i = 0; i < cases.size(); ++i) {
    GreyImage image{7, 7, {}};
    std::string error;
    EXPECT_FALSE(DecodePicture(cases[i], "pic.x", image, error)) << i;
    EXPECT_EQ(error.rfind("pic.x: ", 0), 0u) << i << ": " << error;
    EXPECT_GT(error.size(), 12u) << i;
    EXPECT_EQ(image.Width, 7) << i;  // untouched
  }
}

// Every cut and many random corruptions of good files: an error or a picture, nothing else.
TEST(SimPicture, SurvivesCutAndCorruptedFiles) {
  const Bytes good[] = {PalettedBmp(), Bmp(5, -3, 24, 0, Bytes(48, 9)),
                        Bmp(4, 2, 32, 0, Bytes(32, 7)), Text("P5 3 2 255 abcdef"s),
                        Text("P2 2 2 9 1 2 3 9"s)};
  std::mt19937 random(3);
  for (const Bytes& file : good) {
    GreyImage image;
    std::string error;
    for (std::size_t size = 0; size < file.size(); ++size)
      DecodePicture(Bytes(file.begin(), file.begin() + size), "cut", image, error);
    for (int round = 0; round < 3000; ++round) {
      Bytes b = file;
      for (int flips = 1 + round % 4; flips > 0; --flips)
        b[random() % b.size()] = static_cast<std::uint8_t>(random());
      if (DecodePicture(b, "flip", image, error)) {
        ASSERT_EQ(image.Pixels.size(), static_cast<std::size_t>(image.Width) * image.Height);
      }
    }
  }
}

}  // namespace
}  // namespace zarvo::sim
