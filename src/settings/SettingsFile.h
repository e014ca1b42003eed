#pragma once
// Reading Zarvo.cfg into the record once at start-up and writing it back once at the end.
#include <string>

#include "settings/Settings.h"

namespace zarvo {

inline constexpr const char* kSettingsFileName = "Zarvo.cfg";

// Reads up to 1340 bytes of `path` into `record`; a shorter file leaves the rest zero and bytes
// after the 1340th are ignored. False (record untouched) when `path` is not a regular file or
// cannot be opened or read.
bool ReadSettingsFile(const std::string& path, TSettings& record);

// Writes the record over the first 1340 bytes of an existing file, keeping any bytes after them.
// Never creates or truncates a file. False when it cannot be opened, written or closed.
bool WriteSettingsFile(const std::string& path, const TSettings& record);

// The load and save steps of the configuration window, on the global record.
class TSettingsFile {
 public:
  // Reads ProgramFile("Zarvo.cfg"); a missing file is fatal and leaves the record zero.
  // Repairs equal calibration values.
  void Load();
  // Writes the record back, but only if it was loaded.
  void Save();
  bool Loaded() const { return loaded_; }

 private:
  bool loaded_ = false;
};

}  // namespace zarvo
