// Automatic saving: the file and its name, no fax replacing another, and the clean-up.
#include <gtest/gtest.h>

#include <clocale>

#include "decoder/AutoSave.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;

class AutoSaveTest : public ::testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_TIME, "C"); }
  void Touch(const std::string& name) {
    fs::create_directories(autoDir);
    std::ofstream(autoDir + name) << "x";
  }
  bool Exists(const std::string& name) { return fs::exists(autoDir + name); }

  test::TempDir dir;
  const std::string folder = dir.Path() + "/", autoDir = folder + "Auto/";
  Bitmap picture{1810, 2250, 0xC0C0C0};
  const LocalDateTime saturday{1998, 12, 5, 14, 30, 12};
};

// Auto is created, each fax named by the minute it was saved in, and a second or third fax in
// the same minute keeps the first. Each file: 14 + 40 + 1024 header bytes, then the rows of 1810
// bytes padded to 1812; the grey format read back as written: BmpFile.
TEST_F(AutoSaveTest, NamedByTheMomentAndWrittenAsGreyBitmap) {
  EXPECT_EQ(AutoSaveName({2007, 1, 2, 3, 4, 0}), "Fax 070102 Tue 0304.bmp");
  for (const auto& [rows, name] : {std::pair{3, "Fax 981205 Sat 1430.bmp"},
                                   {20, "Fax 981205 Sat 1430 (2).bmp"},
                                   {30, "Fax 981205 Sat 1430 (3).bmp"}}) {
    EXPECT_EQ(AutoSaveFax(picture, rows, 7, folder, saturday), autoDir + name);
    EXPECT_EQ(dir.Read("Auto/" + std::string(name)).size(), 1078u + 1812u * rows) << name;
  }
}

// The clean-up takes automatic saves of the given day and earlier, and no other file. A name's
// two-digit year belongs to the century nearer the given year's; at fifty years either way to
// the later one, so that a fax is never taken for older than it is.
TEST_F(AutoSaveTest, CleanUpTakesOwnFaxesOfTheDayAndEarlierAndSavingCleansUpDayDMinusN) {
  using Names = std::vector<const char*>;
  const std::tuple<int, Names, Names> cases[] = {
      // Bitmaps the user keeps in Auto are not ours to delete.
      {19981128,
       {"Fax 981128 Sat 2359.bmp", "Fax 981127 Fri 1200.bmp", "Fax 981128 Sat 0800 (2).BMP"},
       {"Fax 981129 Sun 0001.bmp", "0001.bmp", "Chart.bmp", "Fax 981101 Sun 1200.txt",
        "Fax 98112 short.bmp"}},
      // 2048 is nearer than 1948 to 1999; 2100 nearer than 2000 to 2099.
      {19991227, {}, {"Fax 000102 Sun 1200.bmp", "Fax 480101 Wed 1200.bmp"}},
      {20991230, {"Fax 991228 Tue 0000.bmp"}, {"Fax 000102 Sun 1200.bmp"}},
      {20000601, {"Fax 510101 Sun 1200.bmp"}, {"Fax 500101 Sat 1200.bmp"}},  // not 1950
      {19990601, {"Fax 500101 Sun 1200.bmp"}, {"Fax 490101 Fri 1200.bmp"}},  // not 1949
  };
  for (const auto& [date, taken, kept] : cases) {
    for (const Names& names : {taken, kept})
      for (const char* name : names) Touch(name);
    EXPECT_EQ(CleanUpAutoFolder(autoDir, date / 10000, date / 100 % 100, date % 100),
              static_cast<int>(taken.size()))
        << date;
    for (const char* name : kept) EXPECT_TRUE(Exists(name)) << name;
    fs::remove_all(autoDir);
  }

  // With no days to keep, nothing is saved or deleted. A save cleans up N days back from its own
  // day: 28 November for a week before 5 December, 27 December 1999 for a week before 3 January
  // 2000, and 29 February for a day before 1 March 2000. A negative count from a damaged file would
  // reach into the future: it deletes nothing, above all not the new fax.
  const std::tuple<LocalDateTime, int, const char*, const char*> saves[] = {
      {saturday, 7, "Fax 981128 Sat 2359.bmp", "Fax 981129 Sun 0001.bmp"},
      {{2000, 1, 3, 9, 0, 0}, 7, "Fax 991227 Mon 2300.bmp", "Fax 991228 Tue 0000.bmp"},
      {{2000, 1, 3, 9, 0, 0}, -3, "Fax 991227 Mon 2300.bmp", "Fax 991228 Tue 0000.bmp"},
      {{2000, 3, 1, 9, 0, 0}, 1, "Fax 000229 Tue 1200.bmp", "Fax 000301 Wed 0000.bmp"}};
  for (const auto& [moment, days, gone, kept] : saves) Touch(gone), Touch(kept);
  EXPECT_EQ(AutoSaveFax(picture, 5, 0, folder, saturday), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(autoDir), fs::directory_iterator()), 6);
  for (const auto& [moment, days, gone, kept] : saves) {
    EXPECT_TRUE(fs::exists(AutoSaveFax(picture, 5, days, folder, moment))) << days;
    EXPECT_TRUE(!Exists(gone) && Exists(kept)) << gone;
  }
}

}  // namespace
}  // namespace zarvo
