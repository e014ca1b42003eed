#include "platform/ProgramFolder.h"

#include <filesystem>
#include <system_error>

#include "platform/PosixFiles.h"

namespace zarvo {
namespace {

std::string overrideFolder;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

void SetProgramFolder(const std::string& folder) {
  overrideFolder = folder.empty() ? std::string() : WithSlash(folder);
}

std::string ProgramFolder() {
  return overrideFolder.empty() ? ExecutableFolder() : overrideFolder;
}

std::string ProgramFile(const std::string& name) {
  return ProgramFolder() + name;
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::exists(path, error);
}

}  // namespace zarvo
