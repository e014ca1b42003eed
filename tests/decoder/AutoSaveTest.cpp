// Automatic saving: the file and its name, no fax replacing another, and the clean-up.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <tuple>

#include "decoder/AutoSave.h"
#include "platform/PlatformError.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;

class AutoSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_TIME, "C");
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x) picture.SetPixel(x, y, GreyColour((x + y) % 256));
  }
  void Touch(const std::string& name) {
    fs::create_directories(folder + "Auto");
    std::ofstream(folder + "Auto/" + name) << "x";
  }
  bool Exists(const std::string& name) { return fs::exists(folder + "Auto/" + name); }

  test::TempDir dir;
  const std::string folder = dir.Path() + "/";
  Bitmap picture{1810, 2250, 0xC0C0C0};
  const LocalDateTime saturday{1998, 12, 5, 14, 30, 12};
};

TEST_F(AutoSaveTest, NothingAtAllWithZeroDays) {
  Touch("Fax 900101 Mon 0000.bmp");
  EXPECT_EQ(AutoSaveFax(picture, 100, 0, folder, saturday), "");
  EXPECT_TRUE(Exists("Fax 900101 Mon 0000.bmp"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder + "Auto"), fs::directory_iterator()), 1);
}

// Auto is created, each fax named by the minute it was saved in, and a second or third fax in
// the same minute keeps the first.
TEST_F(AutoSaveTest, NamedByTheMomentAndWrittenAsGreyBitmap) {
  EXPECT_EQ(AutoSaveName({2007, 1, 2, 3, 4, 0}), "Fax 070102 Tue 0304.bmp");
  for (const auto& [rows, name] : {std::pair{3, "Fax 981205 Sat 1430.bmp"},
                                   {20, "Fax 981205 Sat 1430 (2).bmp"},
                                   {30, "Fax 981205 Sat 1430 (3).bmp"}}) {
    EXPECT_EQ(AutoSaveFax(picture, rows, 7, folder, saturday), folder + "Auto/" + name);
    EXPECT_EQ(dir.Read("Auto/" + std::string(name)).size(), 1078u + 1812u * rows) << name;
  }
  // 14 + 40 + 1024 header bytes, then 3 rows of 1810 bytes padded to 1812, bottom-up.
  const auto b = dir.Read("Auto/Fax 981205 Sat 1430.bmp");
  const auto u32 = [&](std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
  };
  EXPECT_EQ(b[0] | b[1] << 8, 'B' | 'M' << 8);
  // The file's size; offset; header size; width; height; one plane of 8 bits a pixel;
  // uncompressed; 256 colours; colour table entry 200: blue, green, red, 0.
  const std::pair<std::size_t, std::uint32_t> fields[] = {{2, 1078 + 3 * 1812},
                                                          {10, 1078},
                                                          {14, 40},
                                                          {18, 1810},
                                                          {22, 3},
                                                          {26, 1 | 8 << 16},
                                                          {30, 0},
                                                          {46, 256},
                                                          {54 + 4 * 200, 0xC8C8C8}};
  for (const auto& [at, value] : fields) EXPECT_EQ(u32(at), value) << "byte " << at;
  EXPECT_EQ(b[1078 + 2 * 1812 + 7], 7);  // the file's last row is the picture's first: column 7
  EXPECT_EQ(b[1078 + 7], 7 + 2);         // row 2
  EXPECT_EQ(b[1078 + 1810], 0);          // padding
}

// The clean-up takes automatic saves of the given day and earlier, and no other file. A name's
// two-digit year belongs to the century nearer the given year's; at fifty years either way to
// the later one, so that a fax is never taken for older than it is.
TEST_F(AutoSaveTest, CleanUpTakesOwnFaxesOfTheDayAndEarlier) {
  const std::tuple<int, int, int, const char*, bool> cases[] = {
      {1998, 11, 28, "Fax 981128 Sat 2359.bmp", true},
      {1998, 11, 28, "Fax 981128 Sat 0005.bmp", true},
      {1998, 11, 28, "Fax 981127 Fri 1200.bmp", true},
      {1998, 11, 28, "Fax 981128 Sat 0800 (2).BMP", true},
      {1998, 11, 28, "Fax 981129 Sun 0001.bmp", false},
      // Bitmaps the user keeps in Auto are not ours to delete.
      {1998, 11, 28, "0001.bmp", false},
      {1998, 11, 28, "Chart.bmp", false},
      {1998, 11, 28, "abc.bmp", false},
      {1998, 11, 28, "Fax 981101 Sun 1200.txt", false},
      {1998, 11, 28, "Fax 98112 short.bmp", false},
      {1999, 12, 27, "Fax 991227 Mon 2300.bmp", true},
      {1999, 12, 27, "Fax 991228 Tue 0000.bmp", false},
      {1999, 12, 27, "Fax 000102 Sun 1200.bmp", false},
      {1999, 12, 27, "Fax 480101 Wed 1200.bmp", false},  // 2048 is nearer than 1948 to 1999
      {2099, 12, 30, "Fax 991228 Tue 0000.bmp", true},
      {2099, 12, 30, "Fax 000102 Sun 1200.bmp", false},  // early 2100
      {2000, 6, 1, "Fax 500101 Sat 1200.bmp", false},    // 2050, not 1950
      {2000, 6, 1, "Fax 510101 Sun 1200.bmp", true},     // 1951
      {1999, 6, 1, "Fax 490101 Fri 1200.bmp", false},    // 2049, not 1949
      {1999, 6, 1, "Fax 500101 Sun 1200.bmp", true},     // 1950
  };
  for (const auto& [year, month, day, name, deleted] : cases) {
    Touch(name);
    EXPECT_EQ(CleanUpAutoFolder(folder + "Auto/", year, month, day), deleted ? 1 : 0)
        << name << " on " << year << "-" << month << "-" << day;
    fs::remove(folder + "Auto/" + name);
  }
}

// A save cleans up N days back from its own day: 28 November for a week before 5 December, and
// 27 December 1999 for a week before 3 January 2000. A negative count from a damaged file would
// reach into the future: it deletes nothing, above all not the new fax.
TEST_F(AutoSaveTest, SavingCleansUpDayDMinusN) {
  for (const char* name : {"Fax 981128 Sat 2359.bmp", "Fax 981129 Sun 0001.bmp",
                           "Fax 991227 Mon 2300.bmp", "Fax 991228 Tue 0000.bmp"})
    Touch(name);
  AutoSaveFax(picture, 5, 7, folder, saturday);
  EXPECT_FALSE(Exists("Fax 981128 Sat 2359.bmp"));
  EXPECT_TRUE(Exists("Fax 981129 Sun 0001.bmp") && Exists("Fax 981205 Sat 1430.bmp"));
  AutoSaveFax(picture, 5, 7, folder, {2000, 1, 3, 9, 0, 0});
  EXPECT_FALSE(Exists("Fax 991227 Mon 2300.bmp"));
  EXPECT_TRUE(Exists("Fax 991228 Tue 0000.bmp"));
  const std::string path = AutoSaveFax(picture, 5, -3, folder, {2000, 1, 3, 9, 0, 0});
  EXPECT_TRUE(fs::exists(path));
  EXPECT_TRUE(Exists("Fax 991228 Tue 0000.bmp") && Exists("Fax 000103 Mon 0900.bmp"));
}

TEST_F(AutoSaveTest, AFaxThatCannotBeWrittenIsReported) {
  std::ofstream(folder + "Auto") << "a file where the folder should be";
  try {
    AutoSaveFax(picture, 5, 7, folder, saturday);
    ADD_FAILURE() << "no error";
  } catch (const PlatformError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file " + folder + "Auto/Fax 981205 Sat 1430.bmp");
  }
}

TEST(LocalClock, CivilDates) {
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(WeekDay(1998, 12, 5), 6);  // Saturday
  EXPECT_EQ(WeekDay(2000, 1, 3), 1);   // Monday
  EXPECT_EQ(WeekDay(1969, 12, 31), 3);
  int y, m, d;
  CivilFromDays(DaysFromCivil(2000, 3, 1) - 1, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
}

}  // namespace
}  // namespace zarvo
