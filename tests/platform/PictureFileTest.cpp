// Pictures saved as BMP or PNG: the format the name or the filter asks for, every grey level
// back as it was written, and a failed write that leaves nothing half-written behind.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "platform/PictureFile.h"
#include "platform/PlatformError.h"
#include "support/FakeDialogs.h"
#include "support/TempDir.h"
#include "viewer/PictureCommands.h"

namespace zarvo {
namespace {

using Bytes = std::vector<unsigned char>;

// Every grey level, and colours whose grey is the mean of their channels.
Bitmap Chart() {
  Bitmap picture(301, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 301; ++x)
      picture.SetPixel(x, y, x < 256 ? GreyColour((x + 37 * y) % 256) : 0x1E0A00u * (y + 1));
  return picture;
}

bool IsPngFile(const Bytes& b) {
  return b.size() > 26 &&
         Bytes(b.begin(), b.begin() + 8) == Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
}

// The save dialog's answer and filter, as the user chose them, through the Save as command.
TEST(PictureFile, SavedInTheFormatOfTheNameOrElseOfTheFilter) {
  test::TempDir dir;
  test::FakeFileDialogs dialogs;
  DialogMemory memory;
  const Bitmap chart = Chart();
  const auto Png = PictureFormat::Png, Bmp = PictureFormat::Bmp;
  for (const auto& [name, filter, png] : {std::tuple{"a.png", Bmp, true},
                                          {"b.PnG", Bmp, true},
                                          {"c.bmp", Png, false},
                                          {"d.BMP", Png, false},
                                          {"e.chart", Png, true},
                                          {"f.chart", Bmp, false}}) {
    dialogs.SaveAnswer = dir.File(name);
    dialogs.SaveFilter = filter;
    ASSERT_TRUE(SavePicture(dialogs, memory, chart, [] { return 6; }));
    const Bytes file = dir.Read(name);
    EXPECT_EQ(IsPngFile(file), png) << name;
    EXPECT_EQ(file.size() > 2 && file[0] == 'B' && file[1] == 'M', !png) << name;
    // 8 bits, grey (colour type 0): one channel, no alpha.
    if (png) {
      EXPECT_EQ(file[24] * 256 + file[25], 8 * 256) << name;
    }
    const std::optional<Bitmap> back = DecodeOwnFormats(file);
    ASSERT_TRUE(back) << name;
    ASSERT_EQ(std::pair(back->Width(), back->Height()), std::pair(301, 6)) << name;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 301; ++x) {
        const std::uint32_t c = chart.Pixel(x, y);
        const int grey = static_cast<int>(((c >> 16) + (c >> 8 & 0xFF) + (c & 0xFF) + 1) / 3);
        ASSERT_EQ(back->Pixel(x, y), GreyColour(grey)) << name << " " << x << "," << y;
      }
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
  for (const auto& [name, format] :
       {std::pair{"kept.png", PictureFormat::Png}, {"kept.bmp", PictureFormat::Bmp}}) {
    dir.Write(name, {'o', 'l', 'd'});
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    try {
      WriteGreyPicture(dir.File(name), noise, 200, format);
    } catch (const PlatformError& e) {
      error = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(error, "Cannot create file " + dir.File(name) + ": File too large");
    EXPECT_EQ(dir.Read(name), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    std::filesystem::remove(dir.File(name));
  }
  std::signal(SIGXFSZ, previous);
}

}  // namespace
}  // namespace zarvo
