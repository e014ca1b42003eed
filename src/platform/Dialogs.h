#pragma once
// The platform's file dialogs and printer, behind small seams: Qt's dialogs and printer in the
// program, fakes in the tests.
#include <optional>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/PictureFile.h"

namespace zarvo {

// A file chosen in the save dialog, and the format of the filter chosen with it.
struct SaveChoice {
  std::string Path;
  PictureFormat Filter = PictureFormat::Bmp;
  bool operator==(const SaveChoice&) const = default;
};

// The file dialogs used by the picture windows (saving BMP or PNG, opening every picture format
// the viewer reads), and the one that chooses a recording to play.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Opens in `folder` with `fileName` in the name field; several files may be chosen. The chosen
  // files as full paths, none on Cancel. With `defaultExtension`, a name typed without one gets
  // ".bmp".
  virtual std::vector<std::string> OpenFiles(const std::string& folder, const std::string& fileName,
                                             bool defaultExtension) = 0;
  // Offers the filters BMP (first) and PNG, asks before overwriting an existing file and appends
  // the chosen filter's extension to a name without one. The chosen file, nothing on Cancel.
  virtual std::optional<SaveChoice> SaveFile(const std::string& folder,
                                             const std::string& fileName) = 0;
  // Opens in `folder` for one existing file, offering `filters` ("Name (*.a *.b)"), the first
  // shown. The chosen file as a full path, nothing on Cancel.
  virtual std::optional<std::string> OpenFile(const std::string& folder,
                                              const std::vector<std::string>& filters) = 0;
};

// A printer chosen in the print dialog, and one document on it. Failures of the printer throw
// PlatformError.
class PrintTarget {
 public:
  virtual ~PrintTarget() = default;
  // The print dialog; false on Cancel.
  virtual bool Choose() = 0;
  // The printable area in device pixels.
  virtual int PageWidth() = 0;
  virtual int PageHeight() = 0;
  virtual void Begin(const std::string& title) = 0;
  // Stretches `picture` into the rectangle (0, 0) to (width, height) of the page.
  virtual void StretchPicture(const Bitmap& picture, int width, int height) = 0;
  // Black text of `points` size with its top-left corner at (x, y).
  virtual void Text(int x, int y, int points, const std::string& text) = 0;
  virtual void End() = 0;
};

// Installs the seams; nullptr leaves none, and the commands then do nothing.
void SetFileDialogs(FileDialogs* dialogs);
FileDialogs* CurrentFileDialogs();
void SetPrintTarget(PrintTarget* target);
PrintTarget* CurrentPrintTarget();

}  // namespace zarvo
