#include "platform/PictureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/BmpCodec.h"
#include "platform/PlatformError.h"
#include "platform/PngCodec.h"
#include "platform/PosixFiles.h"

namespace zarvo {
namespace {

bool EndsWithNoCase(const std::string& name, const char* tail) {
  const std::size_t n = std::strlen(tail);
  if (name.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if ((name[name.size() - n + i] | 0x20) != tail[i]) return false;
  return true;
}

// The mode a new file gets from open(): 0666 less the umask, read without changing it.
mode_t NewFileMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0)
      return 0666 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  return 0644;
}

}  // namespace

PictureFormat SaveFormat(const std::string& path, PictureFormat filter) {
  if (EndsWithNoCase(path, ".png")) return PictureFormat::Png;
  if (EndsWithNoCase(path, ".bmp")) return PictureFormat::Bmp;
  return filter;
}

void WriteGreyPicture(const std::string& path, const Bitmap& picture, int height,
                      PictureFormat format) {
  const std::vector<std::uint8_t> bytes = format == PictureFormat::Png
                                              ? EncodeGreyPng(picture, height)
                                              : EncodeGreyBmp(picture, height);
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temporary = folder + "." + name + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) throw PlatformError("Cannot create file " + path + ": " + std::strerror(errno));
  // A file replaced keeps its mode; a new one gets the mode open() would give it.
  struct stat old {};
  fchmod(fd, stat(path.c_str(), &old) == 0 ? old.st_mode & 07777 : NewFileMode());
  bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    unlink(temporary.c_str());
    throw PlatformError("Cannot create file " + path + ": " + std::strerror(error));
  }
}

std::optional<Bitmap> DecodeOwnFormats(const std::vector<std::uint8_t>& image) {
  if (image.empty() || (image.size() >= 2 && image[0] == 'B' && image[1] == 'M'))
    return DecodeBmp(image.data(), image.size());
  if (IsPng(image.data(), image.size())) return DecodePng(image.data(), image.size());
  return std::nullopt;
}

std::vector<std::uint8_t> ReadPictureBytes(const std::string& path) {
  std::vector<std::uint8_t> image;
  switch (ReadWholeFile(path, std::size_t{1} << 30, image)) {
    case ReadResult::Read:
      return image;
    case ReadResult::Failed:
      throw PlatformError("Cannot open file " + path);
    case ReadResult::TooLarge:
      break;
  }
  throw PlatformError("Bitmap image is not valid");
}

}  // namespace zarvo
