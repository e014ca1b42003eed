#include "viewer/PictureCommands.h"

#include "platform/Messages.h"
#include "platform/PictureFile.h"
#include "platform/PlatformError.h"
#include "platform/ProgramFolder.h"
#include "viewer/PictureOps.h"

namespace zarvo {
namespace {

// The folder a dialog opens in. Before any dialog has been used, the saved faxes are the
// likeliest pictures to look for.
std::string FolderOf(const DialogMemory& memory) {
  std::size_t n = 0;
  while (memory.Folder && n < memory.FolderSize && memory.Folder[n] != '\0') ++n;
  if (n > 0) return std::string(memory.Folder, n);
  const std::string autoFolder = ProgramFile("Auto");
  return PathExists(autoFolder) ? autoFolder : ProgramFolder();
}

void Remember(DialogMemory& memory, const std::string& file) {
  memory.LastName = file;
  if (memory.Folder) StoreDialogFolder(file, memory.Folder, memory.FolderSize);
}

}  // namespace

bool PrintPicture(PrintTarget& printer, const Bitmap& picture, bool footer) {
  if (!printer.Choose()) return false;
  const int pageWidth = printer.PageWidth();
  const int pageHeight = printer.PageHeight();
  const PrintArea area = PrintedArea(picture.Width(), picture.Height(), pageWidth, pageHeight);
  printer.Begin("Zarvo Meteo");
  // An empty picture gives an empty page rather than a division by zero.
  if (area.Width > 0 && area.Height > 0) printer.StretchPicture(picture, area.Width, area.Height);
  if (footer) printer.Text(0, pageHeight - 100, 10, "Zarvo Meteo");
  printer.End();
  return true;
}

bool SavePicture(FileDialogs& dialogs, DialogMemory& memory, const Bitmap& picture,
                 const RowsToSave& rows) {
  const std::optional<SaveChoice> choice = dialogs.SaveFile(FolderOf(memory), memory.LastName);
  if (!choice) return false;
  memory.LastName = choice->Path;
  WriteGreyPicture(choice->Path, picture, rows(), SaveFormat(choice->Path, choice->Filter));
  Remember(memory, choice->Path);
  return true;
}

bool ViewPictureFile(FileDialogs& dialogs, DialogMemory& memory, bool defaultExtension,
                     const std::function<void(const std::string&)>& load) {
  const std::vector<std::string> files =
      dialogs.OpenFiles(FolderOf(memory), memory.LastName, defaultExtension);
  if (files.empty()) return false;
  memory.LastName = files.front();
  load(files.front());
  Remember(memory, files.front());
  return true;
}

namespace {

template <typename Command>
void Reported(Command command) {
  try {
    command();
  } catch (const PlatformError& e) {
    ShowExceptionReport(e.what());
  }
}

}  // namespace

void PrintCommand(const Bitmap& picture, bool footer) {
  if (PrintTarget* printer = CurrentPrintTarget())
    Reported([&] { PrintPicture(*printer, picture, footer); });
}

void SaveCommand(DialogMemory& memory, const Bitmap& picture, const RowsToSave& rows) {
  if (FileDialogs* dialogs = CurrentFileDialogs())
    Reported([&] { SavePicture(*dialogs, memory, picture, rows); });
}

void ViewCommand(DialogMemory& memory, bool defaultExtension,
                 const std::function<void(const std::string&)>& load) {
  if (FileDialogs* dialogs = CurrentFileDialogs())
    Reported([&] { ViewPictureFile(*dialogs, memory, defaultExtension, load); });
}

}  // namespace zarvo
