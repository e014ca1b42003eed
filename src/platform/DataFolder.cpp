#include "platform/DataFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace zarvo {
namespace {

namespace fs = std::filesystem;

// Set by the build from the install layout; this is the usual one.
#ifndef ZARVO_SHARE_FROM_BIN
#define ZARVO_SHARE_FROM_BIN "../share/zarvo-meteo"
#endif

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string PasswordHome() {
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

bool Writable(const std::string& path) {
  return access(path.c_str(), W_OK) == 0;
}

std::string Failure(const std::string& what, const std::string& path, const std::error_code& e) {
  return "Cannot " + what + " \"" + path + "\": " + e.message();
}

}  // namespace

std::string InstalledDataFolder(const std::string& executableFolder) {
  const fs::path folder = fs::path(WithSlash(executableFolder)) / ZARVO_SHARE_FROM_BIN;
  return WithSlash(folder.lexically_normal().string());
}

std::string UserDataFolder(const std::string& xdgDataHome, const std::string& home) {
  // The base directory rules ignore a relative XDG_DATA_HOME.
  const std::string base = !xdgDataHome.empty() && xdgDataHome.front() == '/'
                               ? xdgDataHome
                               : WithSlash(home.empty() ? PasswordHome() : home) + ".local/share";
  return WithSlash(base) + "zarvo-meteo/";
}

DataFolderChoice ChooseDataFolder(const std::string& homeOption,
                                  const std::string& executableFolder,
                                  const std::string& settingsName) {
  if (!homeOption.empty()) return {WithSlash(homeOption), false};
  const std::string beside = WithSlash(executableFolder);
  std::error_code error;
  if (fs::is_regular_file(beside + settingsName, error) && Writable(beside + settingsName) &&
      Writable(beside))
    return {beside, false};
  // Without an installed default this is a build tree that lost its settings: the program
  // reports the missing file there, as it always has.
  if (!fs::is_regular_file(InstalledDataFolder(beside) + settingsName, error))
    return {beside, false};
  return {UserDataFolder(Environment("XDG_DATA_HOME"), Environment("HOME")), true};
}

DataFolderStart PrepareDataFolder(const std::string& folder, const std::string& defaultSettings) {
  DataFolderStart start;
  std::error_code error;
  fs::create_directories(folder, error);  // an existing folder is no error, a file in its place is
  if (error) {
    start.Error = Failure("create the folder", folder, error);
    return start;
  }
  const std::string settings = WithSlash(folder) + fs::path(defaultSettings).filename().string();
  if (!fs::exists(fs::symlink_status(settings, error))) {
    if (!fs::copy_file(defaultSettings, settings, error)) {
      start.Error =
          "Cannot copy \"" + defaultSettings + "\" to \"" + settings + "\": " + error.message();
      return start;
    }
    // The settings are written back at the end of every run, whatever mode the default had.
    fs::permissions(settings, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    error);
  }
  const std::string autoFolder = WithSlash(folder) + "Auto";
  if (!fs::exists(fs::symlink_status(autoFolder, error))) {
    if (!fs::create_directory(autoFolder, error)) {
      start.Error = Failure("create the folder", autoFolder, error);
      return start;
    }
    start.AutoMade = true;
  }
  return start;
}

}  // namespace zarvo
