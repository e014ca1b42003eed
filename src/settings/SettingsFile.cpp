#include "settings/SettingsFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Messages.h"
#include "platform/ProgramFolder.h"
#include "settings/SoundInput.h"

namespace zarvo {

bool ReadSettingsFile(const std::string& path, TSettings& record) {
  // A folder opens for reading on Linux and fails only at the read, and a device is no file
  // of settings: neither is read as an empty or endless file.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  TSettings read{};
  const std::size_t count = std::fread(&read, 1, sizeof read, file);
  // A short file is read as far as it goes; a failing read is no file at all.
  const bool failed = count < sizeof read && std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return false;
  std::memcpy(&record, &read, sizeof record);
  return true;
}

bool WriteSettingsFile(const std::string& path, const TSettings& record) {
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  if (!file) return false;
  const bool written = std::fwrite(&record, 1, sizeof record, file) == sizeof record;
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

void TSettingsFile::Load() {
  if (!ReadSettingsFile(ProgramFile(kSettingsFileName), Settings)) {
    ReportFatal("Unable to read Zarvo Meteo's configuration file \"Zarvo.cfg\".");
    return;
  }
  loaded_ = true;
  ForgetSoundCalibration();
  if (Settings.CalLow == Settings.CalHigh) {
    ReportError("Bad interface calibration factors, reset to default.");
    Settings.CalLow = kDefaultCalLow;
    Settings.CalHigh = kDefaultCalHigh;
  }
}

void TSettingsFile::Save() {
  if (!loaded_) return;
  // A full disk shows up only at the write or the close; that is as fatal as a missing file.
  // The box's values, whatever the sound input has put in their place meanwhile.
  if (!WriteSettingsFile(ProgramFile(kSettingsFileName), RecordForFile()))
    ReportFatal("Unable to write Zarvo Meteo's configuration file \"Zarvo.cfg\".");
}

}  // namespace zarvo
