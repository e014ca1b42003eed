#include "decoder/AutoSave.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/BmpCodec.h"
#include "platform/FaxAnnouncer.h"
#include "platform/PlatformError.h"

namespace zarvo {
namespace {

bool EndsWithBmp(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.c_str() + name.size() - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'b' && (tail[2] | 0x20) == 'm' &&
         (tail[3] | 0x20) == 'p';
}

bool Digit(char c) {
  return c >= '0' && c <= '9';
}

// The date in an automatic save's name, as days since 1970; false for any other name.
bool NameDate(const std::string& name, int thresholdYear, long& days) {
  if (name.size() < 10 || name.compare(0, 4, "Fax ") != 0 || !EndsWithBmp(name)) return false;
  for (int i = 4; i < 10; ++i)
    if (!Digit(name[i])) return false;
  const int yy = (name[4] - '0') * 10 + (name[5] - '0');
  const int month = (name[6] - '0') * 10 + (name[7] - '0');
  const int day = (name[8] - '0') * 10 + (name[9] - '0');
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  // The century that puts the year nearest the threshold's.
  int year = thresholdYear - thresholdYear % 100 + yy;
  if (year > thresholdYear + 50) year -= 100;
  if (year <= thresholdYear - 50) year += 100;
  days = DaysFromCivil(year, month, day);
  return true;
}

}  // namespace

std::string AutoSaveName(const LocalDateTime& moment) {
  char text[96];
  std::snprintf(text, sizeof text, "Fax %02d%02d%02d %s %02d%02d.bmp", moment.Year % 100,
                moment.Month, moment.Day,
                ShortDayName(WeekDay(moment.Year, moment.Month, moment.Day)).c_str(), moment.Hour,
                moment.Minute);
  return text;
}

int CleanUpAutoFolder(const std::string& autoFolder, int year, int month, int day) {
  const long threshold = DaysFromCivil(year, month, day);
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<fs::path> doomed;
  for (fs::directory_iterator entry(autoFolder, error), end; !error && entry != end;
       entry.increment(error)) {
    long days = 0;
    if (NameDate(entry->path().filename().string(), year, days) && days <= threshold)
      doomed.push_back(entry->path());
  }
  int deleted = 0;
  for (const fs::path& path : doomed)
    if (fs::remove(path, error)) ++deleted;  // failures are ignored
  return deleted;
}

std::string SaveUniqueGreyBmp(const Bitmap& picture, int height, const std::string& folder,
                              const std::string& name) {
  const std::string stem = name.size() > 4 ? name.substr(0, name.size() - 4) : name;
  std::string path = folder + name;
  for (int copy = 2; !WriteGreyBmp(path, picture, height, true); ++copy) {
    if (copy > 9999) throw PlatformError("Cannot create file " + path);
    path = folder + stem + " (" + std::to_string(copy) + ").bmp";
  }
  return path;
}

std::string AutoSaveFax(const Bitmap& picture, int saveHeight, int deleteDays,
                        const std::string& folder, const LocalDateTime& moment) {
  if (deleteDays == 0 || saveHeight <= 0) return {};
  const std::string autoFolder = folder + "Auto/";
  std::error_code ignored;  // an existing folder is fine; a failure shows as the save's
  std::filesystem::create_directory(autoFolder, ignored);
  FaxAnnouncer* announcer = CurrentFaxAnnouncer();
  std::string path;
  try {
    path = SaveUniqueGreyBmp(picture, saveHeight, autoFolder, AutoSaveName(moment));
  } catch (const PlatformError& e) {
    if (announcer) announcer->NotSaved(e.what());
    throw;
  }
  if (announcer) announcer->Saved(path);
  // A negative count (a damaged file) would reach into the future and take this very fax.
  if (deleteDays < 0) return path;
  int year, month, day;
  CivilFromDays(DaysFromCivil(moment.Year, moment.Month, moment.Day) - deleteDays, year, month,
                day);
  CleanUpAutoFolder(autoFolder, year, month, day);
  return path;
}

}  // namespace zarvo
