#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "platform/ProgramFolder.h"
#include "settings/SettingsFile.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes SettingsBytes() {
  const auto* raw = reinterpret_cast<const unsigned char*>(&Settings);
  return Bytes(raw, raw + kSettingsSize);
}

void PutInt32(Bytes& b, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<unsigned char>(v >> (8 * i));
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings(Settings);
    ResetMessageState();
    SetProgramFolder(dir.Path());
  }
  void TearDown() override { SetProgramFolder(""); }
  test::TempDir dir;
  test::RecordingBoxes boxes;
};

// Reserved bytes are carried through: what was read is written back byte for byte, and a longer
// file keeps its tail.
TEST_F(SettingsFileTest, RoundTripKeepsEveryByteAndTheTail) {
  std::mt19937 random(20261207);
  Bytes file(2000);
  for (auto& b : file) b = static_cast<unsigned char>(random());
  PutInt32(file, 76, 10);  // CalLow != CalHigh, so nothing is repaired
  PutInt32(file, 80, 200);
  dir.Write(kSettingsFileName, file);

  TSettingsFile cfg;
  cfg.Load();
  Settings.DeleteDays = 12;
  cfg.Save();

  Bytes expected = file;
  PutInt32(expected, 1336, 12);
  const Bytes written = dir.Read(kSettingsFileName);
  ASSERT_EQ(written.size(), 2000u);
  EXPECT_EQ(written, expected);
}

// Offsets 76/80 read zero, equal: the calibration is repaired to 0..255, and nothing else.
TEST_F(SettingsFileTest, ShortFileLeavesTheRestZeroAndRepairsTheCalibration) {
  dir.Write(kSettingsFileName, Bytes(10, 0xAB));
  Settings.DrumSpeed = 3;  // stale memory must not survive a load
  TSettingsFile cfg;
  cfg.Load();
  Bytes expected(kSettingsSize, 0);
  std::fill_n(expected.begin(), 10, 0xAB);
  PutInt32(expected, 80, 255);
  EXPECT_EQ(SettingsBytes(), expected);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Icon, MessageIcon::Error);
  EXPECT_EQ(boxes.Shown[0].Title, "Zarvo Meteo");
  EXPECT_EQ(boxes.Shown[0].Text, "Bad interface calibration factors, reset to default.");
  EXPECT_EQ(boxes.CloseCount, 0);
  cfg.Save();
  EXPECT_EQ(dir.Read(kSettingsFileName).size(), kSettingsSize);
}

// A missing file is fatal, and so is a folder (Linux opens it for reading and fails only at the
// read) or a device (an endless or empty stream) in its place. Nothing is written at the end.
TEST_F(SettingsFileTest, MissingFileFolderOrDeviceIsFatal) {
  const std::string file = dir.File(kSettingsFileName);
  const std::function<void()> places[] = {
      [] {}, [&] { std::filesystem::create_directory(file); },
      [&] { std::filesystem::create_symlink("/dev/null", file); }};
  for (const auto& place : places) {
    SCOPED_TRACE(&place - places);
    std::filesystem::remove(file);
    place();
    ClearSettings(Settings);
    ResetMessageState();
    boxes.Shown.clear();
    boxes.CloseCount = 0;
    TSettingsFile cfg;
    cfg.Load();
    EXPECT_FALSE(cfg.Loaded());
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Title, "Zarvo Meteo fatal error message");
    EXPECT_EQ(boxes.Shown[0].Text,
              "Unable to read Zarvo Meteo's configuration file \"Zarvo.cfg\".\n\n"
              "Zarvo Meteo will now shutdown...");
    EXPECT_EQ(boxes.CloseCount, 1);
    EXPECT_EQ(SettingsBytes(), Bytes(kSettingsSize, 0));
    Settings.DrumSpeed = 2;
    cfg.Save();
    EXPECT_EQ(boxes.Shown.size(), 1u);  // no write was tried, so no second report
    EXPECT_FALSE(std::filesystem::is_regular_file(file));
  }
  TSettings record{};
  EXPECT_FALSE(ReadSettingsFile(dir.Path(), record));
  EXPECT_FALSE(ReadSettingsFile("/dev/zero", record));
}

TEST_F(SettingsFileTest, UnwritableFileAtTheEndIsFatal) {
  dir.Write(kSettingsFileName, Bytes(kSettingsSize, 1));
  TSettingsFile cfg;
  cfg.Load();
  ASSERT_TRUE(cfg.Loaded());
  std::filesystem::remove(dir.File(kSettingsFileName));  // gone: must not be created again
  cfg.Save();
  EXPECT_FALSE(PathExists(dir.File(kSettingsFileName)));
  ASSERT_FALSE(boxes.Shown.empty());
  EXPECT_EQ(boxes.Shown.back().Text,
            "Unable to write Zarvo Meteo's configuration file \"Zarvo.cfg\".\n\n"
            "Zarvo Meteo will now shutdown...");
}

TEST_F(SettingsFileTest, FullDiskIsReportedNotIgnored) {
  if (!PathExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(WriteSettingsFile("/dev/full", Settings));
}

TEST(SettingsText, FieldWithoutNulIsCutAtItsSize) {
  TSettings record{};
  std::memset(record.InterfaceName, 'A', sizeof record.InterfaceName);
  std::memset(record.ComPortName, 'B', sizeof record.ComPortName);
  EXPECT_EQ(TextOf(record.InterfaceName), std::string(16, 'A'));
  SetText(record.ComPortName, "COM3");
  EXPECT_EQ(TextOf(record.ComPortName), "COM3");
  EXPECT_EQ(record.ComPortName[15], '\0');  // the rest of the field is cleared
  SetText(record.InterfaceName, "a name much longer than sixteen");
  EXPECT_EQ(TextOf(record.InterfaceName), "a name much lon");
}

TEST(SettingsDerived, SamplePeriodAndCharTime) {
  // 1000 / 7200 = 0.138889 ms; with +0.1 % the clock runs 1.001 times longer.
  EXPECT_NEAR(ComputeSamplePeriod(0.0f, 7200), 0.1388889, 1e-7);
  EXPECT_NEAR(ComputeSamplePeriod(0.1f, 7200), 0.1390278, 1e-7);
  EXPECT_NEAR(ComputeSamplePeriod(0.0f, 5236), 0.1909855, 1e-7);
  EXPECT_EQ(ComputeSamplePeriod(0.0f, 0), 0.0f);
  // Type 1: 9 + 2 stop bits + mark parity = 12 bits at 115200: 0.104167 ms.
  EXPECT_NEAR(ComputeCharTime(2, 3, 0.0f, 115200), 0.1041667, 1e-7);
  // Type 3: 9 + 1 stop bit, no parity = 10 bits at 57600: 0.173611 ms.
  EXPECT_NEAR(ComputeCharTime(0, 0, 0.0f, 57600), 0.1736111, 1e-7);
  // Type 5: 9 + 2 = 11 bits at 57600.
  EXPECT_NEAR(ComputeCharTime(2, 0, 0.0f, 57600), 0.1909722, 1e-7);
}

// Types 1 and 2 keep the user's calibration, 3..5 bring their own; a type above 5 is the last.
TEST(SettingsDerived, InterfaceTypesKeepOrFixTheCalibration) {
  const struct {
    int Type;
    const char* Name;
    std::int32_t Baud, Parity, StopBits, DataRate, CalLow, CalHigh;
  } types[] = {{1, "Quorvex", 115200, 3, 2, 7200, 50, 150},
               {2, "Tarsk-bus", 115200, 3, 2, 7200, 50, 150},
               {3, "PTC-II", 57600, 0, 0, 5760, 28, 184},
               {4, "Morvant IV", 115200, 3, 2, 4800, 36, 236},
               {9, "Morvant 1/2/3", 57600, 0, 2, 5236, 36, 236}};
  for (const auto& t : types) {
    TSettings record{};
    record.CalLow = 50;
    record.CalHigh = 150;
    ApplyInterfaceTypeFields(record, t.Type);
    EXPECT_EQ(TextOf(record.InterfaceName), t.Name);
    EXPECT_EQ(std::tie(record.BaudRate, record.Parity, record.StopBits, record.DataRate,
                       record.CalLow, record.CalHigh),
              std::tie(t.Baud, t.Parity, t.StopBits, t.DataRate, t.CalLow, t.CalHigh))
        << t.Name;
    if (t.Type != 3) continue;  // the derived times follow: 5760 samples a second, 10 bits a byte
    EXPECT_NEAR(record.SamplePeriod, 1000.0 / 5760, 1e-6);
    EXPECT_NEAR(record.CharTime, 10 * 1000.0 / 57600, 1e-6);
  }
}

}  // namespace
}  // namespace zarvo
