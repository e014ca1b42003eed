#include "platform/Dialogs.h"

namespace zarvo {
namespace {

FileDialogs* fileDialogs = nullptr;
PrintTarget* printTarget = nullptr;

}  // namespace

void SetFileDialogs(FileDialogs* dialogs) {
  fileDialogs = dialogs;
}
FileDialogs* CurrentFileDialogs() {
  return fileDialogs;
}
void SetPrintTarget(PrintTarget* target) {
  printTarget = target;
}
PrintTarget* CurrentPrintTarget() {
  return printTarget;
}

}  // namespace zarvo
