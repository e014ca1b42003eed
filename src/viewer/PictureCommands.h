#pragma once
// The file commands shared by the viewer and the reception window: print a picture scaled to
// the page, save its top rows as an 8-bit grey BMP or PNG, and choose a file to view. Failures of
// the printer or the file system throw PlatformError; the dialog folders are then not updated.
#include <functional>
#include <string>

#include "platform/Bitmap.h"
#include "platform/Dialogs.h"

namespace zarvo {

// One dialog of a window: the name last chosen in it during the run, and the settings field of
// the folder it opens in (shared between windows).
struct DialogMemory {
  std::string LastName;
  char* Folder = nullptr;
  std::size_t FolderSize = 0;
};

// Print dialog, then the picture at the top left of the page scaled to fit, and with `footer`
// the text "Zarvo Meteo" 100 device pixels above the page's bottom. False on Cancel.
bool PrintPicture(PrintTarget& printer, const Bitmap& picture, bool footer);

// How many rows of a picture hold data, asked when the file is written: a picture that is
// being received goes on growing (or starts anew) while the dialog is open.
using RowsToSave = std::function<int()>;

// Save dialog, then rows 0 .. rows()-1 of `picture` as 8-bit grey, BMP or PNG as the name or the
// chosen filter says (SaveFormat). False on Cancel.
bool SavePicture(FileDialogs& dialogs, DialogMemory& memory, const Bitmap& picture,
                 const RowsToSave& rows);

// Open dialog, then `load` with the first chosen file; the folder is stored once `load` has
// returned. False on Cancel.
bool ViewPictureFile(FileDialogs& dialogs, DialogMemory& memory, bool defaultExtension,
                     const std::function<void(const std::string&)>& load);

// The three commands as both windows give them: with the installed dialogs or printer (none
// installed: nothing happens), and a failure shown in the standard exception report.
void PrintCommand(const Bitmap& picture, bool footer);
void SaveCommand(DialogMemory& memory, const Bitmap& picture, const RowsToSave& rows);
void ViewCommand(DialogMemory& memory, bool defaultExtension,
                 const std::function<void(const std::string&)>& load);

}  // namespace zarvo
