// Picture files: bitmaps of every kind a user may view, and the texts of those that cannot be
// read; pictures saved as BMP or PNG in the format the name or the filter asks for, every grey
// level back as it was written, and a failed write that leaves nothing half-written behind.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <variant>

#include "platform/BmpCodec.h"
#include "platform/PictureFile.h"
#include "platform/PlatformError.h"
#include "support/BmpBytes.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"
#include "viewer/PictureCommands.h"

namespace zarvo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Colours = std::vector<std::uint32_t>;
using test::InfoFile, test::Patched;

Colours Decoded(const Bytes& file) {
  const Bitmap p = DecodeBmp(file.data(), file.size());
  return {p.Data(), p.Data() + p.Width() * p.Height()};
}

// The text of the error reading a file (a path) or bytes throws; "decoded" without one.
std::string ErrorOf(const std::variant<std::string, Bytes>& file) {
  try {
    if (const auto* path = std::get_if<std::string>(&file)) ReadBmpFile(*path);
    if (const auto* bytes = std::get_if<Bytes>(&file)) DecodeBmp(bytes->data(), bytes->size());
  } catch (const PlatformError& e) {
    return e.what();
  }
  return "decoded";
}

// 2 x 2, 24 bits, bottom-up: top row red, green; bottom row blue, 0x123456. Rows of 6 + 2 bytes.
const Bytes kRgb2x2 =
    InfoFile(2, 2, 24, 0, 0, {}, {255, 0, 0, 86, 52, 18, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0});
const Colours kRgb2x2Colours = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};

// Every depth, header and compression a user's bitmap may come in.
TEST(BmpRead, EveryDepthHeaderAndCompression) {
  EXPECT_EQ(Decoded(kRgb2x2), kRgb2x2Colours);
  Bytes topDown = Patched(kRgb2x2, 22, static_cast<std::uint32_t>(-2));
  std::swap_ranges(topDown.begin() + 54, topDown.begin() + 62, topDown.begin() + 62);
  EXPECT_EQ(Decoded(topDown), kRgb2x2Colours);

  // 16 bits: 5-6-5 masks after the header, offset 0 (pixels follow the masks); 16 of 31 -> 132,
  // 32 of 63 -> 130.
  const Bytes masks565 = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  EXPECT_EQ(Decoded(Patched(InfoFile(2, 1, 16, 3, 0, masks565, {0xFF, 0xFF, 0x10, 0x84}), 10, 0)),
            (Colours{0xFFFFFF, 0x848284}));
  // Plain 16 bits are 5-5-5.
  EXPECT_EQ(Decoded(InfoFile(3, 1, 16, 0, 0, {}, {0xFF, 0x7F, 0x1F, 0, 0x10, 0x42, 0, 0})),
            (Colours{0xFFFFFF, 0x0000FF, 0x848484}));
  // 32 bits: BGRx, or masks inside a V5 header (here red in the low byte).
  EXPECT_EQ(Decoded(InfoFile(1, 1, 32, 0, 0, {}, {0x11, 0x22, 0x33, 0x44})), Colours{0x332211});
  Bytes v5Tail = {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0};
  v5Tail.resize(124 - 40);
  EXPECT_EQ(Decoded(InfoFile(1, 1, 32, 3, 0, v5Tail, {0x11, 0x22, 0x33, 0x44}, 124)),
            Colours{0x112233});

  // Colour table entries used below: 0 -> 0x0000FF, 1 -> 0x332211, 2 -> 0xCCBBAA.
  const Bytes table3 = {0xFF, 0, 0, 0, 0x11, 0x22, 0x33, 0, 0xAA, 0xBB, 0xCC, 0};
  // 1 bit, table size implied, 10 pixels 1011001001.
  const Bytes twoColours = {0x10, 0x20, 0x30, 0, 0xFF, 0xFF, 0xFF, 0};
  const std::uint32_t c = 0x302010, W = 0xFFFFFF;
  EXPECT_EQ(Decoded(InfoFile(10, 1, 1, 0, 0, twoColours, {0xB2, 0x40, 0, 0})),
            (Colours{W, c, W, W, c, c, W, c, c, W}));
  // 4 bits, three colours; index 5 lies past the table and is black.
  EXPECT_EQ(Decoded(InfoFile(3, 2, 4, 0, 3, table3, {0x21, 0x00, 0, 0, 0x05, 0x10, 0, 0})),
            (Colours{0x0000FF, 0, 0x332211, 0xCCBBAA, 0x332211, 0x0000FF}));
  // OS/2 header, 3-byte entries, offset left 0: the pixels follow the table.
  const Bytes os2 = {'B', 'M', 40, 0, 0, 0, 0, 0, 0,   0,   0, 0, 0,    0, 12, 0, 0,    0, 3, 0,
                     2,   0,   1,  0, 1, 0, 0, 0, 255, 255, 0, 0, 0xA0, 0, 0,  0, 0x40, 0, 0, 0};
  EXPECT_EQ(Decoded(os2), (Colours{0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF}));

  // RLE8, 4 x 3: run, delta (2, 1), run, end of line, absolute run of 3 with its pad byte, a run
  // cut at the row's end, end of bitmap, then a run that must not count. Skipped pixels: entry 0.
  const Bytes table4 = {0x80, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0};
  const Bytes rle8 = {1, 1, 0, 2, 2, 1, 1, 3, 0, 0, 0, 3, 2, 3, 1, 0, 2, 1, 0, 1, 4, 3};
  const std::uint32_t n = 0x000080;
  EXPECT_EQ(
      Decoded(InfoFile(4, 3, 8, 1, 4, table4, rle8)),
      (Colours{0xFF0000, 0xFFFFFF, 0x00FF00, 0x00FF00, n, n, n, 0xFFFFFF, 0x00FF00, n, n, n}));
  // RLE4, 5 x 2: alternating run, end of line, absolute run of 5 (3 bytes + pad) that uses an
  // index past the table; the stream stops without its end code.
  const Bytes rle4 = {5, 0x12, 0, 0, 0, 5, 0x12, 0x0F, 0x20, 0};
  EXPECT_EQ(Decoded(InfoFile(5, 2, 4, 2, 3, table3, rle4)),
            (Colours{0x332211, 0xCCBBAA, 0x0000FF, 0, 0xCCBBAA, 0x332211, 0xCCBBAA, 0x332211,
                     0xCCBBAA, 0x332211}));
}

// Empty pictures are no error; oversized ones are refused by their headers alone, though the
// data are missing too.
TEST(BmpRead, FailuresCarryTheirTexts) {
  const std::string notValid = "Bitmap image is not valid", readError = "Stream read error";
  EXPECT_EQ(DecodeBmp(nullptr, 0).Width(), 0);  // an empty file
  const Bytes flat = InfoFile(3, 0, 24, 0, 0, {}, {});
  const Bitmap p = DecodeBmp(flat.data(), flat.size());
  EXPECT_EQ(std::pair(p.Width(), p.Height()), std::pair(3, 0));
  // Cut short: in the header, the colour table, the pixels of a picture of the largest size, a
  // pixel of the last row (its padding may be missing).
  const Bytes cut = Bytes(kRgb2x2.begin(), kRgb2x2.begin() + 67);
  for (const Bytes& bad : {Bytes{'B'}, Bytes(kRgb2x2.begin(), kRgb2x2.begin() + 30),
                           InfoFile(10, 1, 1, 0, 0, {0, 0, 0, 0, 0xFF}, {}),
                           InfoFile(8192, 8192, 24, 0, 0, {}, {}), cut})
    EXPECT_EQ(ErrorOf(bad), readError);
  EXPECT_EQ(ErrorOf(Bytes(kRgb2x2.begin(), kRgb2x2.begin() + 68)), "decoded");
  // No "BM"; a header of unknown size; JPEG inside; RLE8 or bit fields with 24 bits; 2 bits a
  // pixel; two planes; no width; RLE top-down; sizes past the limits.
  for (const Bytes& bad :
       {Patched(kRgb2x2, 1, 'X', 1), Patched(kRgb2x2, 14, 64), Patched(kRgb2x2, 30, 4),
        Patched(kRgb2x2, 30, 1), Patched(kRgb2x2, 30, 3), Patched(kRgb2x2, 28, 2, 2),
        Patched(kRgb2x2, 26, 2, 2), Patched(kRgb2x2, 18, 0), InfoFile(2, -2, 8, 1, 0, {}, {}),
        InfoFile(32769, 1, 24, 0, 0, {}, {}), InfoFile(1, -32769, 24, 0, 0, {}, {}),
        InfoFile(8192, 8193, 24, 0, 0, {}, {}), InfoFile(2, INT_MIN, 24, 0, 0, {}, {})})
    EXPECT_EQ(ErrorOf(bad), notValid);
}

// The own grey format, rows padded to four bytes, read back as written.
TEST(BmpFile, ReadsWhatTheWriterWroteOrNamesTheFile) {
  test::TempDir dir;
  for (int width : {1, 2, 3, 5}) {
    Bitmap picture(width, 4);
    for (int i = 0; i < width * 4; ++i)
      picture.SetPixel(i % width, i / width, GreyColour(i * 67 % 256));
    ASSERT_TRUE(WriteGreyBmp(dir.File("fax.bmp"), picture, 3));
    const Bitmap back = ReadBmpFile(dir.File("fax.bmp"));
    ASSERT_EQ(std::pair(back.Width(), back.Height()), std::pair(width, 3));
    EXPECT_EQ(Colours(back.Data(), back.Data() + 3 * width),
              Colours(picture.Data(), picture.Data() + 3 * width));
  }
  for (const std::string& path : {dir.File("missing.bmp"), dir.Path()})
    EXPECT_EQ(ErrorOf(path), "Cannot open file " + path);
}

// The save dialog's answer and filter, as the user chose them, through the Save as command.
TEST(PictureFile, SavedInTheFormatOfTheNameOrElseOfTheFilter) {
  test::TempDir dir;
  test::FakeFileDialogs dialogs;
  DialogMemory memory;
  Bitmap chart(256, 6);  // every grey level, shifted on each row
  for (int i = 0; i < 256 * 6; ++i) chart.Data()[i] = GreyColour((i + 37 * (i / 256)) % 256);
  const auto Png = PictureFormat::Png, Bmp = PictureFormat::Bmp;
  for (const auto& [name, filter, png] : {std::tuple{"a.PnG", Bmp, true},
                                          {"b.bmp", Png, false},
                                          {"c.chart", Png, true},
                                          {"d.chart", Bmp, false}}) {
    dialogs.SaveAnswer = dir.File(name);
    dialogs.SaveFilter = filter;
    ASSERT_TRUE(SavePicture(dialogs, memory, chart, [] { return 9; }));
    const Bytes file = dir.Read(name);
    // A PNG of 8 bits, grey (colour type 0): one channel, no alpha.
    const bool greyPng = file.size() > 26 &&
                         std::string(file.begin() + 1, file.begin() + 4) == "PNG" &&
                         file[24] == 8 && file[25] == 0;
    EXPECT_EQ(greyPng, png) << name;
    const std::optional<Bitmap> back = DecodeOwnFormats(file);
    ASSERT_TRUE(back && back->Width() == 256 && back->Height() == 6) << name;
    EXPECT_TRUE(std::equal(back->Data(), back->Data() + 256 * 6, chart.Data())) << name;
  }
}

// A disk that fills up in the middle of the file (a file-size limit stands for it, also for
// root): the error names the file and the reason, the file that was there stays as it was, and
// no temporary file is left.
TEST(PictureFile, AFailedWriteLeavesTheOldFileAndNothingElse) {
  test::TempDir dir;
  Bitmap noise(1810, 200);
  std::uint32_t seed = 1;
  for (int i = 0; i < 1810 * 200; ++i)
    noise.Data()[i] = (seed = seed * 1664525u + 1013904223u) >> 8;
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  const std::string path = dir.File("kept.png");
  dir.Write("kept.png", {'o', 'l', 'd'});
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string error;
  try {
    WriteGreyPicture(path, noise, 200, PictureFormat::Png);
  } catch (const PlatformError& e) {
    error = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(error, "Cannot create file " + path + ": File too large");
  EXPECT_EQ(dir.Read("kept.png"), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  std::signal(SIGXFSZ, previous);
}

}  // namespace
}  // namespace zarvo
