#pragma once
// Tells the desktop that a received fax was saved, or why it was not: a desktop notification in
// the program; nothing where none is installed (the command-line tools, most tests).
#include <string>

namespace zarvo {

class FaxAnnouncer {
 public:
  virtual ~FaxAnnouncer() = default;
  // The fax is in the file at `path`.
  virtual void Saved(const std::string& path) = 0;
  // The fax could not be saved; `why` is the error's text.
  virtual void NotSaved(const std::string& why) = 0;
};

// Installs the seam; nullptr leaves none.
void SetFaxAnnouncer(FaxAnnouncer* announcer);
FaxAnnouncer* CurrentFaxAnnouncer();

}  // namespace zarvo
