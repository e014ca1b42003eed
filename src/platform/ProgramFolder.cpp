#include "platform/ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace zarvo {
namespace {

std::string overrideFolder;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string ExecutableFolder() {
  std::vector<char> path(PATH_MAX + 1);
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return {};
  std::string exe(path.data(), static_cast<std::size_t>(n));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

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
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

}  // namespace zarvo
