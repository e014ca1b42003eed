#pragma once
// Every received fax goes into the folder Auto beside the program, named by the date and time at
// which it ended; after each save, faxes older than the configured number of days are deleted.
#include <string>

#include "platform/Bitmap.h"
#include "platform/LocalClock.h"

namespace zarvo {

// "Fax 981205 Sat 1430.bmp": two-digit year, month and day, the locale's short day name, hour
// and minute.
std::string AutoSaveName(const LocalDateTime& moment);

// Saves the top `saveHeight` rows into `folder` + "Auto/" (created if need be) under the name of
// `moment`; a name already taken gets " (2)", " (3)"... so that no fax replaces another. Then
// deletes the automatically saved faxes of `deleteDays` days before `moment` and earlier. Does
// nothing when deleteDays is 0. Returns the path written ("" when nothing was). Throws
// PlatformError "Cannot create file <path>: <reason>" when the file cannot be written. The
// installed FaxAnnouncer hears of the file written, or of the error.
std::string AutoSaveFax(const Bitmap& picture, int saveHeight, int deleteDays,
                        const std::string& folder, const LocalDateTime& moment);

// Writes the top `height` rows as `folder` + `name`, or, when that name is taken, as
// "<stem> (2).bmp", "<stem> (3).bmp"...; returns the path written. Throws PlatformError.
std::string SaveUniqueGreyBmp(const Bitmap& picture, int height, const std::string& folder,
                              const std::string& name);

// Deletes, in `autoFolder`, every file named "Fax " + yymmdd... + ".bmp" dated on or before the
// given day. Two-digit years are read as the year nearest the threshold's. Other files stay.
// Returns the number deleted.
int CleanUpAutoFolder(const std::string& autoFolder, int year, int month, int day);

}  // namespace zarvo
