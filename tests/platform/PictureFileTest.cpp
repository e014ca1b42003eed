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

// Every grey level.
Bitmap Chart() {
  Bitmap picture(256, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 256; ++x) picture.SetPixel(x, y, GreyColour((x + 37 * y) % 256));
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
  for (const auto& [name, filter, png] : {std::tuple{"a.PnG", Bmp, true},
                                          {"b.bmp", Png, false},
                                          {"c.chart", Png, true},
                                          {"d.chart", Bmp, false}}) {
    dialogs.SaveAnswer = dir.File(name);
    dialogs.SaveFilter = filter;
    ASSERT_TRUE(SavePicture(dialogs, memory, chart, [] { return 9; }));
    const Bytes file = dir.Read(name);
    EXPECT_EQ(IsPngFile(file), png) << name;
    EXPECT_EQ(file.size() > 2 && file[0] == 'B' && file[1] == 'M', !png) << name;
    // 8 bits, grey (colour type 0): one channel, no alpha.
    if (png) {
      EXPECT_EQ(file[24] * 256 + file[25], 8 * 256) << name;
    }
    const std::optional<Bitmap> back = DecodeOwnFormats(file);
    ASSERT_TRUE(back) << name;
    ASSERT_EQ(std::pair(back->Width(), back->Height()), std::pair(256, 6)) << name;
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
