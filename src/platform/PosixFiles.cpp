#include "platform/PosixFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace zarvo {

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

WriteResult WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                           bool exclusive) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
  const int fd = open(path.c_str(), flags, 0644);
  if (fd < 0) return exclusive && errno == EEXIST ? WriteResult::Exists : WriteResult::Failed;
  int error = WriteAll(fd, bytes) ? 0 : errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);  // no half-written file left behind
    errno = error;
    return WriteResult::Failed;
  }
  return WriteResult::Written;
}

ReadResult ReadWholeFile(const std::string& path, std::size_t maxSize,
                         std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ReadResult::Failed;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::uint64_t>(info.st_size) <= maxSize)
    bytes.reserve(static_cast<std::size_t>(info.st_size));
  std::vector<std::uint8_t> chunk(1 << 16);
  ReadResult result = ReadResult::Read;
  for (;;) {
    const ssize_t n = read(fd, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) result = ReadResult::Failed;  // a folder gives EISDIR here
    if (n <= 0) break;
    if (bytes.size() + static_cast<std::size_t>(n) > maxSize) {
      result = ReadResult::TooLarge;
      break;
    }
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
  }
  close(fd);
  return result;
}

std::string ExecutableFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !exe.has_parent_path()) return {};
  std::string folder = exe.parent_path().string();
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace zarvo
