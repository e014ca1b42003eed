#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/ProgramFolder.h"
#include "settings/SettingsFile.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"

namespace zarvo {
namespace {

using test::RecordingBoxes;
using test::TempDir;
using Bytes = std::vector<unsigned char>;

std::int32_t Int32At(const Bytes& b, std::size_t offset) {
  return static_cast<std::int32_t>(b[offset] | b[offset + 1] << 8 | b[offset + 2] << 16 |
                                   static_cast<unsigned>(b[offset + 3]) << 24);
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
  TempDir dir;
  RecordingBoxes boxes;
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

TEST_F(SettingsFileTest, ShortFileLeavesTheRestZero) {
  Bytes file(10, 0xAB);
  dir.Write(kSettingsFileName, file);
  Settings.DrumSpeed = 3;  // stale memory must not survive a load

  TSettingsFile cfg;
  cfg.Load();
  const auto* raw = reinterpret_cast<const unsigned char*>(&Settings);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(raw[i], 0xAB) << i;
  EXPECT_EQ(Settings.DrumSpeed, 0);
  // Offsets 76/80 read zero, equal, so the calibration is repaired, and nothing else.
  EXPECT_EQ(Settings.CalLow, 0);
  EXPECT_EQ(Settings.CalHigh, 255);
  for (std::size_t i = 10; i < kSettingsSize; ++i)
    if (i < 80 || i >= 84) EXPECT_EQ(raw[i], 0) << i;

  cfg.Save();
  EXPECT_EQ(dir.Read(kSettingsFileName).size(), kSettingsSize);
}

TEST_F(SettingsFileTest, AllZeroFileRepairsCalibration) {
  dir.Write(kSettingsFileName, Bytes(kSettingsSize, 0));
  TSettingsFile cfg;
  cfg.Load();
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Icon, MessageIcon::Error);
  EXPECT_EQ(boxes.Shown[0].Title, "Zarvo Meteo");
  EXPECT_EQ(boxes.Shown[0].Text, "Bad interface calibration factors, reset to default.");
  EXPECT_EQ(Settings.CalLow, 0);
  EXPECT_EQ(Settings.CalHigh, 255);
  EXPECT_EQ(boxes.CloseCount, 0);
}

TEST_F(SettingsFileTest, MissingFileIsFatalAndNothingIsWritten) {
  TSettingsFile cfg;
  cfg.Load();
  EXPECT_FALSE(cfg.Loaded());
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Title, "Zarvo Meteo fatal error message");
  EXPECT_EQ(boxes.Shown[0].Text,
            "Unable to read Zarvo Meteo's configuration file \"Zarvo.cfg\".\n\n"
            "Zarvo Meteo will now shutdown...");
  EXPECT_EQ(boxes.CloseCount, 1);
  const Bytes zero(kSettingsSize, 0);
  EXPECT_EQ(std::memcmp(&Settings, zero.data(), kSettingsSize), 0);

  Settings.DrumSpeed = 2;
  cfg.Save();
  EXPECT_FALSE(PathExists(dir.File(kSettingsFileName)));
}

// Linux opens a folder for reading and fails only at the read; a device reads as an endless or
// empty stream. Neither is a settings file: as fatal as a missing one, and nothing written back.
TEST_F(SettingsFileTest, FolderOrDeviceInsteadOfTheFileIsFatal) {
  const std::string fatal =
      "Unable to read Zarvo Meteo's configuration file \"Zarvo.cfg\".\n\n"
      "Zarvo Meteo will now shutdown...";
  std::filesystem::create_directory(dir.File(kSettingsFileName));
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i == 0 ? "folder" : "device");
    boxes.Shown.clear();
    ResetMessageState();
    TSettingsFile cfg;
    cfg.Load();
    EXPECT_FALSE(cfg.Loaded());
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, fatal);
    cfg.Save();
    EXPECT_EQ(boxes.Shown.size(), 1u);  // no write was tried, so no second report

    std::filesystem::remove(dir.File(kSettingsFileName));
    std::filesystem::create_symlink("/dev/null", dir.File(kSettingsFileName));
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

TEST(SettingsDerived, InterfaceTypesKeepOrFixTheCalibration) {
  TSettings record{};
  record.CalLow = 50;
  record.CalHigh = 150;
  ApplyInterfaceTypeFields(record, 2);
  EXPECT_EQ(TextOf(record.InterfaceName), "Tarsk-bus");
  EXPECT_EQ(record.CalLow, 50);
  EXPECT_EQ(record.CalHigh, 150);
  EXPECT_EQ(record.DataRate, 7200);

  ApplyInterfaceTypeFields(record, 3);
  EXPECT_EQ(TextOf(record.InterfaceName), "PTC-II");
  EXPECT_EQ(record.BaudRate, 57600);
  EXPECT_EQ(record.Parity, 0);
  EXPECT_EQ(record.StopBits, 0);
  EXPECT_EQ(record.DataRate, 5760);
  EXPECT_EQ(record.CalLow, 28);
  EXPECT_EQ(record.CalHigh, 184);
  EXPECT_NEAR(record.SamplePeriod, 1000.0 / 5760, 1e-6);
  EXPECT_NEAR(record.CharTime, 10 * 1000.0 / 57600, 1e-6);

  ApplyInterfaceTypeFields(record, 4);
  EXPECT_EQ(TextOf(record.InterfaceName), "Morvant IV");
  EXPECT_EQ(record.DataRate, 4800);
  EXPECT_EQ(record.CalLow, 36);
  EXPECT_EQ(record.CalHigh, 236);

  ApplyInterfaceTypeFields(record, 9);  // above the list: the last entry
  EXPECT_EQ(TextOf(record.InterfaceName), "Morvant 1/2/3");
  EXPECT_EQ(record.StopBits, 2);
  EXPECT_EQ(record.Parity, 0);
  EXPECT_EQ(record.DataRate, 5236);
}

}  // namespace
}  // namespace zarvo
