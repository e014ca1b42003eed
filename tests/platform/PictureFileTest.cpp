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
