// Automatic saving: the file and its name, no fax replacing another, and the clean-up.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

#include "decoder/AutoSave.h"
#include "platform/BmpCodec.h"
#include "platform/PlatformError.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

class AutoSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_TIME, "C");
    folder = dir.Path() + "/";
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x) picture.SetPixel(x, y, GreyColour((x + y) % 256));
  }
  void Touch(const std::string& name) {
    fs::create_directories(folder + "Auto");
    std::ofstream(folder + "Auto/" + name) << "x";
  }
  bool Exists(const std::string& name) { return fs::exists(folder + "Auto/" + name); }

  TempDir dir;
  std::string folder;
  Bitmap picture{1810, 2250, 0xC0C0C0};
  const LocalDateTime saturday{1998, 12, 5, 14, 30, 12};
};

TEST_F(AutoSaveTest, NothingAtAllWithZeroDays) {
  Touch("Fax 900101 Mon 0000.bmp");
  EXPECT_EQ(AutoSaveFax(picture, 100, 0, folder, saturday), "");
  EXPECT_TRUE(Exists("Fax 900101 Mon 0000.bmp"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder + "Auto"), fs::directory_iterator()), 1);
}

TEST_F(AutoSaveTest, NamedByTheMomentAndWrittenAsGreyBitmap) {
  EXPECT_EQ(AutoSaveName(saturday), "Fax 981205 Sat 1430.bmp");
  EXPECT_EQ(AutoSaveName({2007, 1, 2, 3, 4, 0}), "Fax 070102 Tue 0304.bmp");
  const std::string path = AutoSaveFax(picture, 3, 7, folder, saturday);
  EXPECT_EQ(path, folder + "Auto/Fax 981205 Sat 1430.bmp");  // Auto was created
  const auto b = dir.Read("Auto/Fax 981205 Sat 1430.bmp");
  // 14 + 40 + 1024 header bytes, then 3 rows of 1810 bytes padded to 1812.
  ASSERT_EQ(b.size(), 1078u + 3 * 1812);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(U32(b, 2), b.size());
  EXPECT_EQ(U32(b, 10), 1078u);
  EXPECT_EQ(U32(b, 14), 40u);
  EXPECT_EQ(U32(b, 18), 1810u);
  EXPECT_EQ(U32(b, 22), 3u);
  EXPECT_EQ(b[26] | b[27] << 8, 1);  // planes
  EXPECT_EQ(b[28] | b[29] << 8, 8);  // bits per pixel
  EXPECT_EQ(U32(b, 30), 0u);         // uncompressed
  EXPECT_EQ(U32(b, 46), 256u);
  EXPECT_EQ(b[54 + 4 * 200], 200);  // colour table entry 200: blue, green, red, 0
  EXPECT_EQ(b[54 + 4 * 200 + 2], 200);
  EXPECT_EQ(b[54 + 4 * 200 + 3], 0);
  // Bottom-up: the file's last row is the picture's first.
  EXPECT_EQ(b[1078 + 2 * 1812 + 7], 7);      // row 0, column 7
  EXPECT_EQ(b[1078 + 0 * 1812 + 7], 7 + 2);  // row 2
  EXPECT_EQ(b[1078 + 1810], 0);              // padding
}

TEST_F(AutoSaveTest, TwoFaxesInOneMinuteKeepBoth) {
  const std::string first = AutoSaveFax(picture, 10, 7, folder, saturday);
  const std::string second = AutoSaveFax(picture, 20, 7, folder, saturday);
  const std::string third = AutoSaveFax(picture, 30, 7, folder, saturday);
  EXPECT_EQ(second, folder + "Auto/Fax 981205 Sat 1430 (2).bmp");
  EXPECT_EQ(third, folder + "Auto/Fax 981205 Sat 1430 (3).bmp");
  EXPECT_EQ(dir.Read("Auto/Fax 981205 Sat 1430.bmp").size(), 1078u + 10 * 1812);
  EXPECT_EQ(dir.Read("Auto/Fax 981205 Sat 1430 (2).bmp").size(), 1078u + 20 * 1812);
}

TEST_F(AutoSaveTest, CleanUpTakesDayDMinusNAndEarlierOnlyOfOwnFaxes) {
  for (const char* name :
       {"Fax 981128 Sat 2359.bmp", "Fax 981128 Sat 0005.bmp", "Fax 981127 Fri 1200.bmp",
        "Fax 981129 Sun 0001.bmp", "Fax 981128 Sat 0800 (2).BMP", "0001.bmp", "Chart.bmp",
        "abc.bmp", "Fax 981101 Sun 1200.txt", "Fax 98112 short.bmp"})
    Touch(name);
  AutoSaveFax(picture, 5, 7, folder, saturday);
  EXPECT_FALSE(Exists("Fax 981128 Sat 2359.bmp"));
  EXPECT_FALSE(Exists("Fax 981128 Sat 0005.bmp"));
  EXPECT_FALSE(Exists("Fax 981127 Fri 1200.bmp"));
  EXPECT_FALSE(Exists("Fax 981128 Sat 0800 (2).BMP"));
  EXPECT_TRUE(Exists("Fax 981129 Sun 0001.bmp"));
  EXPECT_TRUE(Exists("Fax 981205 Sat 1430.bmp"));  // the fax just saved
  // Bitmaps the user keeps in Auto are not ours to delete.
  for (const char* kept :
       {"0001.bmp", "Chart.bmp", "abc.bmp", "Fax 981101 Sun 1200.txt", "Fax 98112 short.bmp"})
    EXPECT_TRUE(Exists(kept)) << kept;
}

TEST_F(AutoSaveTest, CleanUpAcrossTheCentury) {
  for (const char* name :
       {"Fax 991226 Sun 1000.bmp", "Fax 991227 Mon 2300.bmp", "Fax 991228 Tue 0000.bmp",
        "Fax 000102 Sun 1200.bmp", "Fax 480101 Wed 1200.bmp"})
    Touch(name);
  AutoSaveFax(picture, 5, 7, folder, {2000, 1, 3, 9, 0, 0});  // threshold 27 December 1999
  EXPECT_FALSE(Exists("Fax 991226 Sun 1000.bmp"));
  EXPECT_FALSE(Exists("Fax 991227 Mon 2300.bmp"));
  EXPECT_TRUE(Exists("Fax 991228 Tue 0000.bmp"));
  EXPECT_TRUE(Exists("Fax 000102 Sun 1200.bmp"));
  EXPECT_TRUE(Exists("Fax 480101 Wed 1200.bmp"));  // 2048 is nearer than 1948 to 1999: future

  // And the other way: a save in late 2099 does not take the faxes of early 2100.
  EXPECT_EQ(CleanUpAutoFolder(folder + "Auto/", 2099, 12, 30), 1);  // 1999-12-28 is "99"
}

// Of the two centuries a name's year may belong to, the clean-up takes the one nearer its own
// year; at fifty years either way, the later one, so that a fax is never taken for older than
// it is.
TEST_F(AutoSaveTest, FiftyYearsAwayIsTheLaterCentury) {
  const struct {
    int Year;
    const char* Name;
    bool Deleted;
  } cases[] = {
      {2000, "Fax 500101 Sat 1200.bmp", false},  // 2050, not 1950
      {2000, "Fax 510101 Sun 1200.bmp", true},   // 1951
      {1999, "Fax 490101 Fri 1200.bmp", false},  // 2049, not 1949
      {1999, "Fax 500101 Sun 1200.bmp", true},   // 1950
  };
  for (const auto& c : cases) {
    Touch(c.Name);
    EXPECT_EQ(CleanUpAutoFolder(folder + "Auto/", c.Year, 6, 1), c.Deleted ? 1 : 0)
        << c.Year << ": " << c.Name;
    fs::remove(folder + "Auto/" + c.Name);
  }
}

TEST_F(AutoSaveTest, AFaxThatCannotBeWrittenIsReported) {
  std::ofstream(folder + "Auto") << "a file where the folder should be";
  try {
    AutoSaveFax(picture, 5, 7, folder, saturday);
    FAIL() << "no error";
  } catch (const PlatformError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file " + folder + "Auto/Fax 981205 Sat 1430.bmp");
  }
}

TEST_F(AutoSaveTest, NegativeDaysFromADamagedFileNeverDeleteTheNewFax) {
  Touch("Fax 981204 Fri 1200.bmp");
  AutoSaveFax(picture, 5, -3, folder, saturday);
  EXPECT_TRUE(Exists("Fax 981205 Sat 1430.bmp"));
  EXPECT_TRUE(Exists("Fax 981204 Fri 1200.bmp"));
}

TEST(LocalClock, CivilDates) {
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(WeekDay(1998, 12, 5), 6);  // Saturday
  EXPECT_EQ(WeekDay(2000, 1, 3), 1);   // Monday
  EXPECT_EQ(WeekDay(1969, 12, 31), 3);
  int y, m, d;
  CivilFromDays(DaysFromCivil(2000, 3, 1) - 1, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
  CivilFromDays(DaysFromCivil(1998, 12, 5) - 7, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 19981128);
}

}  // namespace
}  // namespace zarvo
