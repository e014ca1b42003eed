#pragma once
// Where Zarvo.cfg and Auto live. A build tree keeps them beside the program; an installed
// program, with no Zarvo.cfg of its own to write, keeps them in the user's data folder, which
// the first start makes from the installed default.
#include <string>

namespace zarvo {

// The installed program's own read-only files (help pages, the default Zarvo.cfg) for a program
// in `executableFolder`: <prefix>/bin/ gives <prefix>/share/zarvo-meteo/, with a trailing '/'.
std::string InstalledDataFolder(const std::string& executableFolder);

// $XDG_DATA_HOME/zarvo-meteo/, or ~/.local/share/zarvo-meteo/ where that is unset, empty or not
// absolute. An empty `home` is the user's home from the password database.
std::string UserDataFolder(const std::string& xdgDataHome, const std::string& home);

struct DataFolderChoice {
  std::string Folder;       // with a trailing '/'
  bool UserFolder = false;  // the user's data folder, to be made by PrepareDataFolder
};

// --home (`homeOption`) wins; then the program's own folder where it holds `settingsName` as a
// regular file that may be written, in a folder that may be written (Auto goes there too); else,
// for an installed program (its default settings in InstalledDataFolder), the user's data folder
// from XDG_DATA_HOME and HOME; else the program's own folder still.
DataFolderChoice ChooseDataFolder(const std::string& homeOption,
                                  const std::string& executableFolder,
                                  const std::string& settingsName);

struct DataFolderStart {
  bool AutoMade = false;  // Auto was missing: a first start in this folder
  std::string Error;      // what could not be made: its path and the system's reason
};

// Makes `folder`, a copy of `defaultSettings` in it under the same name, and Auto, each only
// where it is missing; stops at the first failure.
DataFolderStart PrepareDataFolder(const std::string& folder, const std::string& defaultSettings);

}  // namespace zarvo
